// Text through drag and drop: the text formats' sizes and readers, the text data format's two
// forms and conversions, MakeRTF byte for byte, and text passed from a text source's data
// object into a text target.
#include "desktop/DragDropText.h"

#include "dragdrop_helpers.h"

#include <gtest/gtest.h>

using namespace ddtest;

namespace {

QByteArray Utf16(const QString& Text) {
    return QByteArray(reinterpret_cast<const char*>(Text.utf16()), Text.size() * 2);
}

const QByteArray Header = "{\\rtf1\\ansi {\\*\\generator Zorvanite Tarnequill Pro}";

// The text formats' map entries exist while this lives; the thread's locale is English.
class TextTest : public ::testing::Test {
protected:
    void SetUp() override { SetThreadLocale(LocaleEnglish); }
    void TearDown() override { SetThreadLocale(0); }
    TUnitReference unit{DragDropTextUnitStart, DragDropTextUnitStop};
};

// Reads a data object into a text target's data format as a drop would.
bool Receive(TDropTextTarget& Target, IDataObject& Data) {
    TTextDataFormat& format = Target.TextDataFormat();
    return format.HasValidFormats(Data) && format.GetData(Data);
}

} // namespace

TEST_F(TextTest, AnsiTextSizesAndReading) {
    TAnsiTextClipboardFormat text;
    text.SetData("12|3");
    EXPECT_EQ(text.GetSize(), 5);
    text.SetData(QByteArray("12|3\0", 5));
    EXPECT_EQ(text.GetSize(), 5); // already ends in a zero byte
    TStgMedium medium = Global(QByteArray("12|3\0junk", 9));
    ASSERT_TRUE(text.GetDataFromMedium(medium));
    EXPECT_EQ(text.Data(), "12|3"); // cut at the first zero byte
    char buffer[8] = {};
    text.SetData("ab");
    EXPECT_TRUE(text.WriteData(buffer, 3));
    EXPECT_EQ(QByteArray(buffer, 3), QByteArray("ab\0", 3));
    EXPECT_FALSE(text.WriteData(buffer, 4));
}

TEST_F(TextTest, UnicodeTextSizesAndReading) {
    TUnicodeTextClipboardFormat text;
    text.SetText("ab");
    EXPECT_EQ(text.GetSize(), 6);
    text.SetText(QString("ab") + QChar(0));
    EXPECT_EQ(text.GetSize(), 6);
    // Trailing zero characters of the medium are not part of the text; an odd byte is left out.
    TStgMedium medium = Global(Utf16("x|1") + QByteArray(4, '\0') + QByteArray(1, 'z'));
    ASSERT_TRUE(text.GetDataFromMedium(medium));
    EXPECT_EQ(text.Text(), "x|1");
    medium = Global(QByteArray("a", 1));
    ASSERT_TRUE(text.GetDataFromMedium(medium));
    EXPECT_TRUE(text.Text().isEmpty());
    text.SetText("hé");
    char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    ASSERT_TRUE(text.WriteData(buffer, 6));
    EXPECT_EQ(QByteArray(buffer, 6), Utf16("hé") + QByteArray(2, '\0'));
    EXPECT_TRUE(text.WriteData(buffer, 3));
    EXPECT_FALSE(text.WriteData(buffer, 7));
}

TEST_F(TextTest, LocaleUnderFourBytesGivesNoValue) {
    TLocaleClipboardFormat locale;
    TStgMedium medium = Global(QByteArray("\x19\x04", 2));
    EXPECT_FALSE(locale.GetDataFromMedium(medium));
    EXPECT_EQ(locale.Locale(), 0u);
    medium = Global(Le32(1049) + "rest");
    ASSERT_TRUE(locale.GetDataFromMedium(medium));
    EXPECT_EQ(locale.Locale(), 1049u);
    EXPECT_EQ(locale.ClipboardFormat(), CF_LOCALE);
}

TEST_F(TextTest, SettingTextTakesTheThreadLocaleAndDerivesUnicode) {
    TTextDataFormat format(csSource);
    EXPECT_FALSE(format.HasData());
    EXPECT_TRUE(format.NeedsData());
    SetThreadLocale(LocaleRussian);
    format.SetAnsiText("\xcf\xf0\xe8\xe2\xe5\xf2"); // "Привет" in 1251
    SetThreadLocale(LocaleEnglish);
    EXPECT_EQ(format.GetLocale(), 1049u); // the thread's locale when the text was set
    EXPECT_EQ(format.GetCodePage(), 1251u);
    EXPECT_EQ(format.GetUnicodeText(), QString::fromUtf8("Привет"));
    EXPECT_TRUE(format.HasData());
    EXPECT_FALSE(format.AnsiDerived());
    EXPECT_TRUE(format.UnicodeDerived());
    format.Clear();
    EXPECT_TRUE(format.GetAnsiText().isEmpty());
    EXPECT_EQ(format.GetLocale(), 1049u); // the locale stays
    // An unknown locale converts in the system code page.
    format.SetLocale(1041);
    EXPECT_EQ(format.GetCodePage(), 0u);
}

TEST_F(TextTest, AnsiMadeFromUnicodeIsSizedByTheConversion) {
    TTextDataFormat format(csTarget);
    TUnicodeTextClipboardFormat unicode;
    unicode.SetText(QString::fromUtf8("é€ Ж"));
    ASSERT_TRUE(format.Assign(unicode));
    EXPECT_TRUE(format.AnsiDerived());
    EXPECT_EQ(format.GetAnsiText(), QByteArray("\xe9\x80 ?"));
    format.SetLocale(LocaleRussian);
    EXPECT_EQ(format.GetAnsiText(), QByteArray("?\x88 \xc6")); // 1251 has the euro sign at 0x88
}

TEST_F(TextTest, MakeRTF) {
    EXPECT_EQ(MakeRTF("a{b}\\c", 1252), Header + "a\\{b\\}\\\\c}");
    EXPECT_EQ(MakeRTF("{\\RTF1 already}", 1252), "{\\RTF1 already}");
    EXPECT_EQ(MakeRTF("{\\rtf", 1252), "{\\rtf");
    EXPECT_EQ(MakeRTF("{\\rt", 1252), Header + "\\{\\\\rt}");
    EXPECT_EQ(MakeRTF("\xe9", 1252), Header + "\\u233\xe9}");
    EXPECT_EQ(MakeRTF("\x80", 1252), Header + "\\u8364\x80}"); // the euro sign's code, not 128
    EXPECT_EQ(MakeRTF("\xe9", 1251), Header + "\\u1081\xe9}"); // 'й'
    EXPECT_EQ(MakeRTF(QByteArray("t\tc\rl\nz\x7f\x01", 10), 1252),
              Header + "t\\tab c\\par l\\'0az\\'7f\\'01\\'00}");
    EXPECT_EQ(MakeRTF("", 1252), Header + "}");
    // Codes are signed 16-bit; characters beyond U+FFFF are two codes, each with "?".
    EXPECT_EQ(MakeRTF("\xef\xbf\xbd", CP_UTF8), Header + "\\u-3?}");
    EXPECT_EQ(MakeRTF("\xf0\x9f\x98\x80", CP_UTF8), Header + "\\u-10179?\\u-8704?}");
}

TEST_F(TextTest, TheSourceOffersItsTextInEveryFormat) {
    TDropTextSource source;
    source.SetText("12|3");
    EXPECT_EQ(source.Locale(), LocaleEnglish);
    const TClipFormat rtf = Named("Rich Text Format");
    EXPECT_EQ(Enumerated(source),
              (std::vector<TClipFormat>{CF_OEMTEXT, CF_LOCALE, CF_TEXT, rtf, CF_UNICODETEXT}));
    EXPECT_EQ(Bytes(source, CF_TEXT), QByteArray("12|3\0", 5));
    EXPECT_EQ(Bytes(source, CF_OEMTEXT), QByteArray("12|3\0", 5));
    EXPECT_EQ(Bytes(source, CF_UNICODETEXT), Utf16("12|3") + QByteArray(2, '\0'));
    EXPECT_EQ(Bytes(source, CF_LOCALE), Le32(1033));
    EXPECT_EQ(Bytes(source, rtf), Header + "12|3}" + QByteArray(1, '\0'));
    // The same through a stream and for "any medium".
    EXPECT_EQ(Bytes(source, CF_TEXT, TYMED_ISTREAM), QByteArray("12|3\0", 5));
    EXPECT_EQ(Bytes(source, CF_TEXT, TYMED_ANY), QByteArray("12|3\0", 5));
    HRESULT result = S_OK;
    Bytes(source, Named("CSV"), TYMED_HGLOBAL, &result);
    EXPECT_EQ(result, DV_E_FORMATETC);
}

TEST_F(TextTest, OemTextIsTheAnsiTextInTheOemCodePage) {
    TDropTextSource source;
    source.SetAnsiText("\xe4\xf6\xfc"); // äöü in the system ANSI code page
    const QByteArray expected = CharToOemBuff("\xe4\xf6\xfc") + QByteArray(1, '\0');
    EXPECT_EQ(Bytes(source, CF_OEMTEXT), expected);
    EXPECT_EQ(expected.size(), 4);
}

TEST_F(TextTest, ASourceWithoutTextEnumeratesNothingButAnswersForCfText) {
    TDropTextSource source;
    EXPECT_TRUE(Enumerated(source).empty());
    EXPECT_EQ(source.QueryGetData(Format(CF_TEXT)), S_OK);
    EXPECT_EQ(source.QueryGetData(Format(CF_TEXT, TYMED_ISTORAGE)), DV_E_FORMATETC);
    EXPECT_EQ(source.QueryGetData(Format(CF_HDROP)), DV_E_FORMATETC);
    HRESULT result = S_OK;
    Bytes(source, CF_TEXT, TYMED_HGLOBAL, &result);
    EXPECT_EQ(result, DV_E_FORMATETC);
}

TEST_F(TextTest, TextFromATextSourceReachesATextTarget) {
    TDropTextSource source;
    source.SetText("12|3");
    TDropTextTarget target;
    ASSERT_TRUE(Receive(target, source));
    EXPECT_EQ(target.Text(), "12|3");
    EXPECT_EQ(target.AnsiText(), "12|3");
    EXPECT_EQ(target.TextDataFormat().GetLocale(), 1033u);
}

TEST_F(TextTest, OemOrRtfAloneGiveNoText) {
    TDropTextTarget target;
    TStaticDataObject oem;
    oem.Put(CF_OEMTEXT, QByteArray("12|3\0", 5));
    EXPECT_FALSE(Receive(target, oem));
    EXPECT_TRUE(target.Text().isEmpty());
    TStaticDataObject rtf;
    rtf.Put(Named("Rich Text Format"), "{\\rtf1 12|3}");
    EXPECT_FALSE(Receive(target, rtf));
    EXPECT_TRUE(target.Text().isEmpty());
}

TEST_F(TextTest, AnsiAndLocaleFirstThenUnicodeThenTheTransferStops) {
    TDropTextTarget target;
    TStaticDataObject both;
    both.Put(CF_UNICODETEXT, Utf16(QString::fromUtf8("Приветx")) + QByteArray(2, '\0'));
    both.Put(CF_TEXT, QByteArray("\xcf\xf0\xe8\0tail", 8));
    both.Put(CF_LOCALE, Le32(1049));
    both.Put(CF_OEMTEXT, "ignored");
    ASSERT_TRUE(Receive(target, both));
    EXPECT_EQ(target.AnsiText(), "\xcf\xf0\xe8"); // as received, cut at its first zero
    EXPECT_EQ(target.Text(), QString::fromUtf8("При"));
    EXPECT_EQ(target.TextDataFormat().GetUnicodeText(), QString::fromUtf8("Приветx"));
    EXPECT_EQ(target.TextDataFormat().GetLocale(), 1049u);
}

TEST_F(TextTest, UnicodeAloneIsTheTargetsText) {
    TDropTextTarget target;
    TStaticDataObject unicode;
    unicode.Put(CF_UNICODETEXT, Utf16(QString::fromUtf8("Ж|5")) + QByteArray(2, '\0'));
    ASSERT_TRUE(Receive(target, unicode));
    EXPECT_EQ(target.Text(), QString::fromUtf8("Ж|5"));
    EXPECT_EQ(target.AnsiText(), "?|5"); // the ANSI form made in 1252
    // An empty block is success without data: no text.
    TStaticDataObject empty;
    empty.Put(CF_TEXT, QByteArray());
    EXPECT_FALSE(Receive(target, empty));
    EXPECT_TRUE(target.Text().isEmpty());
}
