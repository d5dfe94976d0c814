// Fuzz target for dropped text: a data object whose media (global memory or streams, any
// sizes) come from the input is read by the text formats, the text data format, the CSV format
// and the feedback format; what comes out keeps the readers' promises.
#include "desktop/DragDropText.h"

#include <cstddef>
#include <cstdint>

namespace {

// The formats the input may fill, in the order of its flag bits.
TClipFormat FormatOf(int Index) {
    switch (Index) {
    case 0:
        return CF_TEXT;
    case 1:
        return CF_UNICODETEXT;
    case 2:
        return CF_LOCALE;
    case 3:
        return CF_OEMTEXT;
    case 4:
        return RegisterClipboardFormat(QStringLiteral("Rich Text Format"));
    case 5:
        return RegisterClipboardFormat(QStringLiteral("CSV"));
    case 6:
        return RegisterClipboardFormat(QStringLiteral("Performed DropEffect"));
    default:
        return RegisterClipboardFormat(QStringLiteral("TargetCLSID"));
    }
}

void Check(bool Condition) {
    if (!Condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static TUnitReference unit{DragDropTextUnitStart, DragDropTextUnitStop};
    if (Size < 2)
        return 0;
    const uint8_t present = Data[0];
    const uint8_t streams = Data[1];
    size_t at = 2;
    TStaticDataObject object;
    for (int i = 0; i < 8; ++i) {
        if (!(present & (1u << i)) || at >= Size)
            continue;
        const size_t wanted = Data[at];
        ++at;
        const size_t length = std::min(wanted, Size - at);
        const QByteArray bytes(reinterpret_cast<const char*>(Data + at), qsizetype(length));
        at += length;
        object.Put(FormatOf(i), bytes, (streams & (1u << i)) ? TYMED_ISTREAM : TYMED_HGLOBAL);
    }

    // The target's way: the text data format takes what it can.
    TTextDataFormat text(csTarget);
    if (text.HasValidFormats(object))
        text.GetData(object);
    const QByteArray ansi = text.GetAnsiText();
    const QString unicode = text.GetUnicodeText();
    if (!text.AnsiDerived())
        Check(!ansi.contains('\0')); // CF_TEXT is cut at its first zero byte
    if (!text.UnicodeDerived())
        Check(!unicode.endsWith(QChar(0)));
    const QByteArray rtf = MakeRTF(ansi, text.GetCodePage());
    Check(rtf.size() >= 5 && qstrnicmp(rtf.constData(), 5, "{\\rtf", 5) == 0);

    // Each reader alone, on the same media.
    TCSVClipboardFormat csv;
    if (csv.GetData(object))
        for (const QByteArray& line : csv.Lines())
            Check(!line.contains('\r') && !line.contains('\n') && !line.contains('\0'));
    TUnicodeTextClipboardFormat utf16;
    if (utf16.GetData(object))
        text.Assign(utf16);
    TAnsiTextClipboardFormat cfText;
    if (cfText.GetData(object))
        text.Assign(cfText);
    TLocaleClipboardFormat locale;
    if (locale.GetData(object))
        text.Assign(locale);
    text.GetAnsiText();
    text.GetUnicodeText();

    TFeedbackDataFormat feedback(csTarget);
    feedback.GetData(object);
    return 0;
}
