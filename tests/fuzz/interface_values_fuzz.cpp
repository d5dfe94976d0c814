// Fuzz target for the value decoders of the interface walk: counters give the decimal text of a
// 32-bit number or nothing, speeds a whole number or nothing, statuses one of their five words, and
// the discovery rule takes only a larger index from the ifIndex column.
#include "core/InterfaceWalk.h"
#include "core/LangTexts.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

bool Digits(const QString& Text, bool Signed) {
    qsizetype at = Signed && Text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (at >= Text.size())
        return false;
    for (; at < Text.size(); ++at)
        if (!Text[at].isDigit() || Text[at].unicode() > 0x7F)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static const bool english = (LangTexts::UseBuiltInEnglish(), true);
    (void)english;
    if (Size < 9)
        return 0;
    // Eight bytes of the last index taken, then the value; a zero byte in the value starts the OID.
    qint64 last = 0;
    for (int i = 0; i < 8; ++i)
        last = qint64(quint64(last) << 8 | Data[i]);
    const std::string rest(reinterpret_cast<const char*>(Data + 8), Size - 8);
    const size_t zero = rest.find('\0');
    const std::string value = rest.substr(0, zero);
    const std::string oid =
        zero == std::string::npos ? std::string(IfIndexOid) + value : rest.substr(zero + 1);

    const QString counter = CounterLow32Text(value);
    if (!counter.isEmpty() && (!Digits(counter, false) || counter.toULongLong() > 0xFFFFFFFFull))
        __builtin_trap();
    const QString speed = SpeedMbitText(value);
    if (!speed.isEmpty() && !Digits(speed, true))
        __builtin_trap();
    static const QStringList words{LangText(395), LangText(396), LangText(397), LangText(398), LangText(399)};
    for (const bool administrative : {false, true}) {
        const TInterfaceStatus status = InterfaceStatusOf(value, administrative);
        if (!words.contains(status.Text))
            __builtin_trap();
    }
    qint64 index = last;
    if (NextInterfaceIndex(oid, value, last, index) &&
        (index <= last || oid.rfind(IfIndexOid, 0) != 0 || oid.size() <= std::string(IfIndexOid).size()))
        __builtin_trap();

    const QString name = QString::fromUtf8(value.data(), qsizetype(value.size()));
    const QString descr = QString::fromUtf8(oid.data(), qsizetype(oid.size()));
    const QString shown = InterfaceDisplayName(name, descr, name.left(name.size() / 2));
    if ((!name.isEmpty() && !shown.startsWith(name)) || (name.isEmpty() && !shown.startsWith(descr)))
        __builtin_trap();
    return 0;
}
