// Fuzz target for the recipient list of the e-mail alarm: every address is trimmed and not empty, a
// list without "<" or ">" keeps its pieces as they are, and an address holding a line break or NUL
// always stops the message.
#include "core/MailMessage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const QStringList addresses = ParseRecipientList(text);
    if (addresses.size() > text.count(QLatin1Char(',')) + 1)
        __builtin_trap();
    qsizetype characters = 0;
    for (const QString& address : addresses) {
        if (address.isEmpty() || address != address.trimmed() || address.contains(QLatin1Char(',')))
            __builtin_trap();
        characters += address.size();
    }
    if (characters > text.size())
        __builtin_trap();
    if (!text.contains(QLatin1Char('<')) && !text.contains(QLatin1Char('>'))) {
        QStringList pieces;
        for (const QString& piece : text.split(QLatin1Char(',')))
            if (!piece.trimmed().isEmpty())
                pieces << piece.trimmed();
        if (pieces != addresses)
            __builtin_trap();
    }
    TMailMessage message;
    message.SenderAddress = QStringLiteral("monitor@example.org");
    message.Recipients = addresses;
    const bool broken = std::any_of(addresses.begin(), addresses.end(), HasLineBreakOrNul);
    if (broken && MailMessageProblem(message).isEmpty())
        __builtin_trap();
    return 0;
}
