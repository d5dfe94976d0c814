// Text through drag and drop: the text clipboard formats (ANSI, OEM, RTF, Unicode, locale,
// CSV), the text data format that converts one text between them, the RTF wrapper, and the
// two components a window places: a text drag source and a text drop target.
#pragma once

#include "desktop/DragDropFormats.h"
#include "desktop/DropSource.h"
#include "desktop/DropTarget.h"
#include "platform/LocaleInfo.h"

#include <QByteArray>
#include <QString>

// 8-bit text cut at its first zero byte; the size offered counts a closing zero.
class TCustomAnsiTextClipboardFormat : public TCustomAnsiStringClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TCustomAnsiTextClipboardFormat();
    // The length plus one, or the length alone when the text already ends in a zero byte.
    qsizetype GetSize() override;
};

class TAnsiTextClipboardFormat : public TCustomAnsiTextClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override { return CF_TEXT; }
};

class TOEMTextClipboardFormat : public TCustomAnsiTextClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override { return CF_OEMTEXT; }
};

class TRichTextClipboardFormat : public TCustomAnsiTextClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override;
};

// UTF-16 text, low byte first.
class TCustomUnicodeTextClipboardFormat : public TCustomSimpleClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    const QString& Text() const { return FText; }
    void SetText(const QString& Value) { FText = Value; }

    // Twice the characters plus one, or twice the characters when the last one is zero.
    qsizetype GetSize() override;
    // Size div 2 characters; the zero characters at the end of the medium are not text.
    bool ReadData(const char* Buffer, qsizetype Size) override;
    // Copies Size bytes of the text and its closing zero when Size is at most twice the length
    // plus 2.
    bool WriteData(char* Buffer, qsizetype Size) override;
    void Clear() override { FText.clear(); }
    bool HasData() override { return !FText.isEmpty(); }

private:
    QString FText;
};

class TUnicodeTextClipboardFormat : public TCustomUnicodeTextClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override { return CF_UNICODETEXT; }
};

// The locale id of the text beside it.
class TLocaleClipboardFormat : public TCustomDWORDClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override { return CF_LOCALE; }
    TLocaleId Locale() const { return Value(); }
    void SetLocale(TLocaleId Locale) { SetValue(Locale); }
};

class TCSVClipboardFormat : public TCustomStringListClipboardFormat {
    ZT_CLIPBOARD_FORMAT_CLASS
public:
    TClipFormat GetClipboardFormat() override;
};

// One text held in an ANSI and a Unicode form; a derived form is made from the other one (in
// the ANSI code page of the locale) when asked for.
class TTextDataFormat : public TCustomDataFormat {
    ZT_DATA_FORMAT_CLASS
public:
    explicit TTextDataFormat(TDragDropComponent* Owner);
    explicit TTextDataFormat(TConversionSide Side);

    // Both texts emptied, both forms derived.
    void Clear() override;
    // The ANSI form is held, the Unicode one derived; a locale not set yet becomes the thread's.
    void SetAnsiText(const QByteArray& Text);
    // Made from the Unicode text when derived; the conversion sizes the result.
    QByteArray GetAnsiText();
    QString GetUnicodeText();
    // The locale, or the thread's while none is set.
    TLocaleId GetLocale();
    void SetLocale(TLocaleId Value);
    // The ANSI code page of the locale; 0 (the system's) when the locale names none.
    unsigned GetCodePage();
    bool AnsiDerived() const { return FAnsiDerived; }
    bool UnicodeDerived() const { return FUnicodeDerived; }

    bool HasData() override;
    bool NeedsData() override;
    // Takes CF_TEXT, CF_UNICODETEXT and CF_LOCALE; other formats bring nothing.
    bool Assign(TClipboardFormat& Format) override;
    // Renders CF_TEXT, "Rich Text Format", CF_UNICODETEXT, CF_OEMTEXT and CF_LOCALE.
    bool AssignTo(TClipboardFormat& Format) override;

private:
    QByteArray FAnsiText;
    QString FUnicodeText;
    TLocaleId FLocale = 0;
    bool FAnsiDerived = true;
    bool FUnicodeDerived = true;
};

// Text as an RTF document: unchanged when it already starts with "{\rtf" (any case); else a
// header, the text with RTF's escapes, and "}". A character above 127 is written as \u with its
// signed 16-bit UTF-16 code, followed by its byte in the code page or "?".
QByteArray MakeRTF(QByteArrayView Text, unsigned CodePage = CP_ACP);
// The generator named in the header.
inline constexpr const char* RTFGenerator = "Zorvanite Tarnequill Pro";

void DragDropTextUnitStart();
void DragDropTextUnitStop();

// Offers one text to any drop target; copy only unless DragTypes says otherwise.
class TDropTextSource : public TCustomDropMultiSource {
    Q_OBJECT
public:
    explicit TDropTextSource(QObject* Owner = nullptr);
    ~TDropTextSource() override;

    // The text in the ANSI code page of Locale (characters it lacks become "?").
    QString Text();
    void SetText(const QString& Value);
    QByteArray AnsiText() { return FTextFormat->GetAnsiText(); }
    void SetAnsiText(const QByteArray& Value) { FTextFormat->SetAnsiText(Value); }
    // 0 until a text is set: then the thread's locale.
    TLocaleId Locale() { return FTextFormat->GetLocale(); }
    void SetLocale(TLocaleId Value) { FTextFormat->SetLocale(Value); }
    TTextDataFormat& TextDataFormat() { return *FTextFormat; }

private:
    TUnitReference FUnit{DragDropTextUnitStart, DragDropTextUnitStop};
    std::unique_ptr<TTextDataFormat> FTextFormat;
};

// Accepts text dropped on its controls; copy or link.
class TDropTextTarget : public TCustomDropMultiTarget {
    Q_OBJECT
public:
    explicit TDropTextTarget(QObject* Owner = nullptr);
    ~TDropTextTarget() override;

    // The text of the last drop: the ANSI text as received (in the code page of its locale),
    // or the Unicode text when only that came.
    QString Text();
    QByteArray AnsiText() { return FTextFormat->GetAnsiText(); }
    TTextDataFormat& TextDataFormat() { return *FTextFormat; }

private:
    TUnitReference FUnit{DragDropTextUnitStart, DragDropTextUnitStop};
    std::unique_ptr<TTextDataFormat> FTextFormat;
};
