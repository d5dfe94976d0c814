// Text clipboard formats, the text data format with its conversions, the RTF wrapper and the
// text source and target.
#include "desktop/DragDropText.h"

#include <cstring>

const TClipboardFormatClassInfo TCustomAnsiTextClipboardFormat::ClassInfo{
    "TCustomAnsiTextClipboardFormat", &TCustomAnsiStringClipboardFormat::ClassInfo, nullptr, ddRead};
const TClipboardFormatClassInfo TAnsiTextClipboardFormat::ClassInfo{
    "TAnsiTextClipboardFormat", &TCustomAnsiTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TAnsiTextClipboardFormat>, ddRead};
const TClipboardFormatClassInfo TOEMTextClipboardFormat::ClassInfo{
    "TOEMTextClipboardFormat", &TCustomAnsiTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TOEMTextClipboardFormat>, ddRead};
const TClipboardFormatClassInfo TRichTextClipboardFormat::ClassInfo{
    "TRichTextClipboardFormat", &TCustomAnsiTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TRichTextClipboardFormat>, ddRead};
const TClipboardFormatClassInfo TCustomUnicodeTextClipboardFormat::ClassInfo{
    "TCustomUnicodeTextClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo, nullptr, ddRead};
const TClipboardFormatClassInfo TUnicodeTextClipboardFormat::ClassInfo{
    "TUnicodeTextClipboardFormat", &TCustomUnicodeTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TUnicodeTextClipboardFormat>, ddRead};
const TClipboardFormatClassInfo TLocaleClipboardFormat::ClassInfo{
    "TLocaleClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TLocaleClipboardFormat>, ddRead};
const TClipboardFormatClassInfo TCSVClipboardFormat::ClassInfo{
    "TCSVClipboardFormat", &TCustomStringListClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TCSVClipboardFormat>, ddRead};

// ---- text clipboard formats --------------------------------------------------------------

TCustomAnsiTextClipboardFormat::TCustomAnsiTextClipboardFormat() {
    SetTrimZeroes(true);
}

qsizetype TCustomAnsiTextClipboardFormat::GetSize() {
    const QByteArray& text = Data();
    return text.endsWith('\0') ? text.size() : text.size() + 1;
}

TClipFormat TRichTextClipboardFormat::GetClipboardFormat() {
    static const TClipFormat id = RegisterClipboardFormat(QStringLiteral("Rich Text Format"));
    return id;
}

TClipFormat TCSVClipboardFormat::GetClipboardFormat() {
    static const TClipFormat id = RegisterClipboardFormat(QStringLiteral("CSV"));
    return id;
}

qsizetype TCustomUnicodeTextClipboardFormat::GetSize() {
    const qsizetype length = FText.size();
    return length > 0 && FText.back() == QChar(0) ? 2 * length : 2 * (length + 1);
}

bool TCustomUnicodeTextClipboardFormat::ReadData(const char* Buffer, qsizetype Size) {
    qsizetype count = Size / 2;
    FText = QString(count, Qt::Uninitialized);
    std::memcpy(FText.data(), Buffer, size_t(count) * 2);
    while (count > 0 && FText[count - 1] == QChar(0))
        --count;
    FText.truncate(count);
    return true;
}

bool TCustomUnicodeTextClipboardFormat::WriteData(char* Buffer, qsizetype Size) {
    if (Size > 2 * FText.size() + 2)
        return false;
    // utf16() ends in a zero character, so the closing zero is part of what may be copied.
    std::memcpy(Buffer, FText.utf16(), size_t(Size));
    return true;
}

// ---- text data format --------------------------------------------------------------------

const TDataFormatClassInfo TTextDataFormat::ClassInfo{
    "TTextDataFormat", &TCustomDataFormat::ClassInfo, [] {
        const TDataDirections both = ddRead | ddWrite;
        const TDataFormatClass text = &TTextDataFormat::ClassInfo;
        RegisterDataConversion(text, &TAnsiTextClipboardFormat::ClassInfo, -1, both);
        RegisterDataConversion(text, &TLocaleClipboardFormat::ClassInfo, -1, both);
        RegisterDataConversion(text, &TUnicodeTextClipboardFormat::ClassInfo, 0, both);
        RegisterDataConversion(text, &TOEMTextClipboardFormat::ClassInfo, -1, both);
        RegisterDataConversion(text, &TRichTextClipboardFormat::ClassInfo, 0, both);
    }};

TTextDataFormat::TTextDataFormat(TDragDropComponent* Owner) : TCustomDataFormat(Owner) {}

TTextDataFormat::TTextDataFormat(TConversionSide Side) : TCustomDataFormat(Side) {}

void TTextDataFormat::Clear() {
    Changing();
    FAnsiText.clear();
    FUnicodeText.clear();
    FAnsiDerived = true;
    FUnicodeDerived = true;
}

void TTextDataFormat::SetAnsiText(const QByteArray& Text) {
    Changing();
    FAnsiText = Text;
    FUnicodeText.clear();
    FAnsiDerived = false;
    FUnicodeDerived = true;
    const TDragDropComponent* owner = Owner();
    if (FLocale == 0 && !(owner && owner->Designing()))
        FLocale = GetThreadLocale();
}

QByteArray TTextDataFormat::GetAnsiText() {
    if (FAnsiDerived && !FUnicodeDerived)
        FAnsiText = WideCharToMultiByte(GetCodePage(), FUnicodeText);
    return FAnsiText;
}

QString TTextDataFormat::GetUnicodeText() {
    if (FUnicodeDerived && !FAnsiDerived)
        FUnicodeText = MultiByteToWideChar(GetCodePage(), FAnsiText);
    return FUnicodeText;
}

TLocaleId TTextDataFormat::GetLocale() {
    if (FLocale != 0)
        return FLocale;
    const TDragDropComponent* owner = Owner();
    return owner && owner->Designing() ? 0 : GetThreadLocale();
}

void TTextDataFormat::SetLocale(TLocaleId Value) {
    Changing();
    FLocale = Value;
}

unsigned TTextDataFormat::GetCodePage() {
    bool ok = false;
    const unsigned codePage = GetLocaleInfo(GetLocale(), LOCALE_IDEFAULTANSICODEPAGE).left(6).toUInt(&ok);
    return ok ? codePage : CP_ACP;
}

bool TTextDataFormat::HasData() {
    return (!FAnsiDerived && !FAnsiText.isEmpty()) || (!FUnicodeDerived && !FUnicodeText.isEmpty());
}

bool TTextDataFormat::NeedsData() {
    return (FAnsiDerived && FAnsiText.isEmpty()) || (FUnicodeDerived && FUnicodeText.isEmpty());
}

bool TTextDataFormat::Assign(TClipboardFormat& Format) {
    if (auto* ansi = dynamic_cast<TAnsiTextClipboardFormat*>(&Format)) {
        Changing();
        FAnsiText = ansi->Data();
        FAnsiDerived = false;
        FUnicodeDerived = FUnicodeDerived || (!FAnsiText.isEmpty() && FUnicodeText.isEmpty());
        return true;
    }
    if (auto* unicode = dynamic_cast<TUnicodeTextClipboardFormat*>(&Format)) {
        Changing();
        FUnicodeText = unicode->Text();
        FUnicodeDerived = false;
        FAnsiDerived = FAnsiDerived || (!FUnicodeText.isEmpty() && FAnsiText.isEmpty());
        return true;
    }
    if (auto* locale = dynamic_cast<TLocaleClipboardFormat*>(&Format)) {
        SetLocale(locale->Locale());
        return true;
    }
    return TCustomDataFormat::Assign(Format);
}

bool TTextDataFormat::AssignTo(TClipboardFormat& Format) {
    if (auto* ansi = dynamic_cast<TAnsiTextClipboardFormat*>(&Format))
        ansi->SetData(GetAnsiText());
    else if (auto* rtf = dynamic_cast<TRichTextClipboardFormat*>(&Format))
        rtf->SetData(MakeRTF(GetAnsiText(), GetCodePage()));
    else if (auto* unicode = dynamic_cast<TUnicodeTextClipboardFormat*>(&Format))
        unicode->SetText(GetUnicodeText());
    else if (auto* oem = dynamic_cast<TOEMTextClipboardFormat*>(&Format))
        oem->SetData(HasData() ? CharToOemBuff(GetAnsiText()) : QByteArray());
    else if (auto* locale = dynamic_cast<TLocaleClipboardFormat*>(&Format))
        locale->SetLocale(GetLocale());
    else
        return TCustomDataFormat::AssignTo(Format);
    return true;
}

// ---- RTF ---------------------------------------------------------------------------------

namespace {

// Writes into a buffer sized for the worst case, so the loop never grows it.
class TRTFWriter {
public:
    explicit TRTFWriter(qsizetype Capacity) : FOut(Capacity, Qt::Uninitialized), FAt(FOut.data()) {}

    void Append(const char* Text) {
        while (*Text)
            *FAt++ = *Text++;
    }
    void AppendByte(char Byte) { *FAt++ = Byte; }
    // One byte below 128 with RTF's escapes.
    void AppendText(char Byte) {
        static const char hex[] = "0123456789abcdef";
        const auto value = static_cast<uint8_t>(Byte);
        if (value >= 32 && value != 127 && Byte != '\\' && Byte != '{' && Byte != '}') {
            *FAt++ = Byte;
            return;
        }
        if (Byte == '\t')
            Append("\\tab ");
        else if (Byte == '\r')
            Append("\\par ");
        else if (value >= 32 && value != 127) {
            *FAt++ = '\\';
            *FAt++ = Byte;
        } else {
            Append("\\'");
            *FAt++ = hex[value >> 4];
            *FAt++ = hex[value & 15];
        }
    }
    // "\u" and the signed 16-bit code.
    void AppendCode(char16_t Unit) {
        Append("\\u");
        int code = int16_t(Unit);
        if (code < 0) {
            *FAt++ = '-';
            code = -code;
        }
        char digits[6];
        int count = 0;
        do {
            digits[count++] = char('0' + code % 10);
            code /= 10;
        } while (code > 0);
        while (count > 0)
            *FAt++ = digits[--count];
    }
    QByteArray Take() {
        FOut.truncate(FAt - FOut.constData());
        return std::move(FOut);
    }

private:
    QByteArray FOut;
    char* FAt;
};

// The most one input character can become: "\u-32768" and its byte.
constexpr qsizetype MaxRTFPerCharacter = 9;

} // namespace

QByteArray MakeRTF(QByteArrayView Text, unsigned CodePage) {
    if (Text.size() >= 5 && qstrnicmp(Text.data(), 5, "{\\rtf", 5) == 0)
        return Text.toByteArray();
    const QByteArray generator = QByteArray("{\\rtf1\\ansi {\\*\\generator ") + RTFGenerator + "}";
    const bool singleByte = IsSingleByteCodePage(CodePage);
    // A single-byte text needs the code of each byte; other texts are read as characters.
    const QString characters = MultiByteToWideChar(CodePage, singleByte ? QByteArrayView() : Text);
    const qsizetype count = singleByte ? Text.size() : characters.size();
    TRTFWriter out(generator.size() + MaxRTFPerCharacter * count + 1);
    out.Append(generator.constData());
    if (singleByte) {
        QString table;
        for (qsizetype i = 0; i < Text.size(); ++i) {
            const char byte = Text[i];
            if (static_cast<uint8_t>(byte) < 128) {
                out.AppendText(byte);
                continue;
            }
            if (table.isEmpty()) { // the codes of the upper 128 bytes, once
                QByteArray upper(128, Qt::Uninitialized);
                for (int b = 0; b < 128; ++b)
                    upper[b] = char(128 + b);
                table = MultiByteToWideChar(CodePage, upper);
            }
            out.AppendCode(table[static_cast<uint8_t>(byte) - 128].unicode());
            out.AppendByte(byte);
        }
    } else {
        for (qsizetype i = 0; i < characters.size(); ++i) {
            const char16_t unit = characters[i].unicode();
            if (unit < 128) {
                out.AppendText(char(unit));
                continue;
            }
            out.AppendCode(unit);
            const bool surrogate = unit >= 0xD800 && unit < 0xE000;
            const QByteArray byte =
                surrogate ? QByteArray() : WideCharToMultiByte(CodePage, QStringView(&unit, 1));
            out.AppendByte(byte.size() == 1 ? byte[0] : '?');
        }
    }
    out.AppendByte('}');
    return out.Take();
}

// ---- unit --------------------------------------------------------------------------------

namespace {

int TextStartCount = 0;

} // namespace

void DragDropTextUnitStart() {
    DragDropFormatsUnitStart();
    if (TextStartCount++ > 0)
        return;
    RegisterDataFormatClass(&TTextDataFormat::ClassInfo);
    TRichTextClipboardFormat().ClipboardFormat();
    TCSVClipboardFormat().ClipboardFormat();
}

void DragDropTextUnitStop() {
    if (TextStartCount > 0)
        --TextStartCount;
    DragDropFormatsUnitStop();
}

// ---- components --------------------------------------------------------------------------

TDropTextSource::TDropTextSource(QObject* Owner)
    : TCustomDropMultiSource(Owner), FTextFormat(std::make_unique<TTextDataFormat>(this)) {
    SetDragTypes({dtCopy});
}

TDropTextSource::~TDropTextSource() {
    DoFlush(); // while the text is still here to be rendered
}

QString TDropTextSource::Text() {
    return MultiByteToWideChar(FTextFormat->GetCodePage(), FTextFormat->GetAnsiText());
}

void TDropTextSource::SetText(const QString& Value) {
    // Encoded in the locale the text will carry (the thread's when none is set yet).
    FTextFormat->SetAnsiText(WideCharToMultiByte(FTextFormat->GetCodePage(), Value));
}

TDropTextTarget::TDropTextTarget(QObject* Owner)
    : TCustomDropMultiTarget(Owner), FTextFormat(std::make_unique<TTextDataFormat>(this)) {}

TDropTextTarget::~TDropTextTarget() {
    // Unregister while the text format is still here for a drag that might end now.
    Unregister();
}

QString TDropTextTarget::Text() {
    TTextDataFormat& format = *FTextFormat;
    if (format.AnsiDerived() && !format.UnicodeDerived())
        return format.GetUnicodeText();
    return MultiByteToWideChar(format.GetCodePage(), format.GetAnsiText());
}
