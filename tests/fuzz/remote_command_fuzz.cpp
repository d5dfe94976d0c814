// Fuzz target for the remote command parser and the cutting of a reply into pieces: any message
// gives one command whose argument is part of the lower-cased message, and the pieces of any reply
// join to it, each at most the piece size and never ending inside a surrogate pair (unless a piece holds
// one character).
#include "core/RemoteCommands.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 1)
        return 0;
    const int piece = 1 + Data[0] % 16;
    // The high bit reads the rest as raw UTF-16, lone surrogates included.
    const QString message =
        (Data[0] & 0x80)
            ? QString::fromUtf16(reinterpret_cast<const char16_t*>(Data + 1), qsizetype(Size - 1) / 2)
            : QString::fromUtf8(reinterpret_cast<const char*>(Data + 1), qsizetype(Size - 1));
    const TRemoteCommand command = ParseRemoteCommand(message);
    const QString lower = message.toLower();
    if (!command.Argument.isEmpty() && !lower.endsWith(command.Argument))
        __builtin_trap();
    if ((command.Kind == TRemoteCommandKind::Groups && lower != QLatin1String("groups")) ||
        (command.Kind == TRemoteCommandKind::LogOfDay && !lower.contains(QLatin1String("log|"))) ||
        (command.Kind == TRemoteCommandKind::GroupStatus && !lower.contains(QLatin1String("status|"))))
        __builtin_trap();

    const QStringList pieces = ReplyPieces(message, piece);
    if (pieces.join(QString()) != message || pieces.isEmpty())
        __builtin_trap();
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString& part = pieces[i];
        if (part.size() > piece)
            __builtin_trap();
        // A pair is split only where a piece holds one character.
        if (i + 1 < pieces.size() && (part.isEmpty() || (piece > 1 && part.back().isHighSurrogate() &&
                                                         pieces[i + 1].front().isLowSurrogate())))
            __builtin_trap();
    }
    return 0;
}
