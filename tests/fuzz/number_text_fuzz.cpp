// Fuzz target for the number readers that take stored or received text: TextToInt64 never fails and
// reads only a leading number, and hexadecimal text decodes to at most half its length and back.
#include "core/TextConversions.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QByteArray raw(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    const QString text = QString::fromUtf8(raw);
    const qint64 value = TextToInt64(text);
    // The number of its own text is itself.
    if (TextToInt64(Int64ToText(value)) != value)
        __builtin_trap();
    // A tail after the number changes nothing.
    if (TextToInt64(Int64ToText(value) + QStringLiteral("x") + text) != value)
        __builtin_trap();
    const QByteArray bytes = HexTextToBytes(text);
    if (bytes.size() > text.size() / 2)
        __builtin_trap();
    if (HexTextToBytes(BytesToHexText(raw)) != raw)
        __builtin_trap();
    return 0;
}
