// Fuzzes the RTF reduction: the input is message text (UTF-8, or UCS-2BE when the first byte is odd),
// made to qualify by a leading "{\rtf" when the first byte's second bit is set. The reduction never
// makes a text longer, and a text that does not qualify comes back unchanged.
#include "messaging/ICQClient.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(Data + 1), static_cast<qsizetype>(Size - 1));
    QString text = Data[0] & 1 ? DecodeUCS2BE(bytes) : DecodeMessageText(bytes);
    if (Data[0] & 2)
        text.prepend(QStringLiteral("{\\rtf1 "));
    const QString plain = RTFToPlainText(text);
    if (plain.size() > text.size())
        std::abort();
    if (!text.startsWith(QStringLiteral("{\\rtf")) && plain != text)
        std::abort();
    return 0;
}
