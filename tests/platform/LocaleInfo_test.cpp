// The locale layer: the locale from the environment, the per-thread locale, the code pages of
// the three known locales and the conversions through them, byte for byte.
#include "platform/LocaleInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

namespace {

// Sets an environment variable for one scope (unset for an empty optional).
class ScopedEnv {
public:
    ScopedEnv(const char* Name, std::optional<std::string> Value) : FName(Name) {
        if (const char* old = std::getenv(Name))
            FOld = old;
        if (Value)
            setenv(Name, Value->c_str(), 1);
        else
            unsetenv(Name);
    }
    ~ScopedEnv() {
        if (FOld)
            setenv(FName, FOld->c_str(), 1);
        else
            unsetenv(FName);
    }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

// The environment of a German or Russian or English desktop.
struct LocaleEnv {
    explicit LocaleEnv(const char* Lang)
        : All("LC_ALL", std::nullopt), Messages("LC_MESSAGES", std::nullopt), Lang("LANG", Lang) {}
    ScopedEnv All;
    ScopedEnv Messages;
    ScopedEnv Lang;
};

QByteArray Bytes(std::initializer_list<int> Values) {
    QByteArray bytes;
    for (int value : Values)
        bytes.append(char(value));
    return bytes;
}

} // namespace

TEST(LocaleInfo, SystemLocaleFollowsTheEnvironment) {
    struct Case {
        std::optional<std::string> All, Messages, Lang;
        TLocaleId Expected;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, "de_DE.UTF-8", LocaleGerman},
        {std::nullopt, std::nullopt, "ru_RU.UTF-8", LocaleRussian},
        {std::nullopt, std::nullopt, "fr_FR.UTF-8", LocaleEnglish},
        {std::nullopt, std::nullopt, std::nullopt, LocaleEnglish},
        {std::nullopt, "ru_RU", "de_DE", LocaleRussian},
        {"de_AT", "ru_RU", "en_US", LocaleGerman},
        {"", "", "ru_RU", LocaleRussian}, // empty values count as unset
        {"C", std::nullopt, "de_DE", LocaleEnglish},
    };
    for (const Case& c : cases) {
        ScopedEnv all("LC_ALL", c.All);
        ScopedEnv messages("LC_MESSAGES", c.Messages);
        ScopedEnv lang("LANG", c.Lang);
        EXPECT_EQ(SystemLocaleId(), c.Expected) << c.Lang.value_or("(unset)");
    }
}

TEST(LocaleInfo, ThreadLocaleIsPerThreadAndFallsBackToTheSystem) {
    LocaleEnv env("de_DE.UTF-8");
    EXPECT_EQ(GetThreadLocale(), LocaleGerman);
    SetThreadLocale(LocaleRussian);
    EXPECT_EQ(GetThreadLocale(), LocaleRussian);
    TLocaleId other = 0;
    std::thread([&] { other = GetThreadLocale(); }).join();
    EXPECT_EQ(other, LocaleGerman);
    SetThreadLocale(0);
    EXPECT_EQ(GetThreadLocale(), LocaleGerman);
}

TEST(LocaleInfo, CodePagesOfTheKnownLocales) {
    EXPECT_EQ(GetLocaleInfo(1033, LOCALE_IDEFAULTANSICODEPAGE), "1252");
    EXPECT_EQ(GetLocaleInfo(1033, LOCALE_IDEFAULTCODEPAGE), "437");
    EXPECT_EQ(GetLocaleInfo(1031, LOCALE_IDEFAULTANSICODEPAGE), "1252");
    EXPECT_EQ(GetLocaleInfo(1031, LOCALE_IDEFAULTCODEPAGE), "850");
    EXPECT_EQ(GetLocaleInfo(1049, LOCALE_IDEFAULTANSICODEPAGE), "1251");
    EXPECT_EQ(GetLocaleInfo(1049, LOCALE_IDEFAULTCODEPAGE), "866");
    EXPECT_EQ(GetLocaleInfo(1041, LOCALE_IDEFAULTANSICODEPAGE), "");
    EXPECT_EQ(GetLocaleInfo(0, LOCALE_IDEFAULTANSICODEPAGE), "");
    EXPECT_EQ(GetLocaleInfo(1033, 2), "");
    LocaleEnv env("ru_RU.UTF-8");
    EXPECT_EQ(SystemAnsiCodePage(), 1251u);
    EXPECT_EQ(SystemOemCodePage(), 866u);
}

TEST(LocaleInfo, SingleByteCodePagesConvertByteForByte) {
    // é, € and Ж in each page, and back.
    EXPECT_EQ(WideCharToMultiByte(1252, u"é€a"), Bytes({0xE9, 0x80, 'a'}));
    EXPECT_EQ(MultiByteToWideChar(1252, Bytes({0xE9, 0x80, 'a'})), QString::fromUtf16(u"é€a"));
    EXPECT_EQ(WideCharToMultiByte(1251, u"йЖ"), Bytes({0xE9, 0xC6}));
    EXPECT_EQ(MultiByteToWideChar(1251, Bytes({0xE9, 0xC6})), QString::fromUtf16(u"йЖ"));
    EXPECT_EQ(WideCharToMultiByte(437, u"éÄ"), Bytes({0x82, 0x8E}));
    EXPECT_EQ(WideCharToMultiByte(850, u"éı"), Bytes({0x82, 0xD5}));
    EXPECT_EQ(WideCharToMultiByte(866, u"йЖ"), Bytes({0xA9, 0x86}));
    EXPECT_EQ(MultiByteToWideChar(866, Bytes({0xA9, 0x86})), QString::fromUtf16(u"йЖ"));
    EXPECT_TRUE(IsSingleByteCodePage(1252));
    EXPECT_TRUE(IsSingleByteCodePage(866));
    EXPECT_FALSE(IsSingleByteCodePage(CP_UTF8));
}

TEST(LocaleInfo, MissingCharactersBecomeOneQuestionMarkEach) {
    // Ж is not in 1252; a character beyond U+FFFF is one "?", not two.
    EXPECT_EQ(WideCharToMultiByte(1252, u"aЖb"), QByteArray("a?b"));
    EXPECT_EQ(WideCharToMultiByte(1252, QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
    EXPECT_EQ(WideCharToMultiByte(1251, u"é"), QByteArray("?"));
    // A byte 1252 leaves undefined stands for the character of the same number.
    EXPECT_EQ(MultiByteToWideChar(1252, Bytes({0x81})), QString(QChar(0x81)));
}

TEST(LocaleInfo, MultiByteCodePagesAreSizedByTheConversion) {
    const QString text = QString::fromUtf8("ééé\xF0\x9F\x98\x80");
    const QByteArray utf8 = WideCharToMultiByte(CP_UTF8, text);
    EXPECT_EQ(utf8, text.toUtf8());
    EXPECT_EQ(utf8.size(), 10); // more bytes than the text has characters
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, utf8), text);
    // A bad byte becomes the character of its number and the conversion goes on.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, Bytes({'a', 0xFF, 'b'})), QString::fromUtf16(u"a\u00FFb"));
}

TEST(LocaleInfo, SystemCodePagesAndTheUnknownOnes) {
    LocaleEnv env("de_DE.UTF-8");
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, u"ä"), Bytes({0xE4}));
    EXPECT_EQ(WideCharToMultiByte(CP_OEMCP, u"ä"), Bytes({0x84}));
    // A code page iconv does not know is the system ANSI code page.
    EXPECT_EQ(WideCharToMultiByte(4242, u"ä"), Bytes({0xE4}));
    EXPECT_EQ(MultiByteToWideChar(4242, Bytes({0xE4})), QString::fromUtf16(u"ä"));
    // ANSI to OEM keeps the length: ä ö ü ß in 1252 and 850.
    EXPECT_EQ(CharToOemBuff(Bytes({0xE4, 0xF6, 0xFC, 0xDF, 'x'})), Bytes({0x84, 0x94, 0x81, 0xE1, 'x'}));
}

TEST(LocaleInfo, RussianOemText) {
    LocaleEnv env("ru_RU.UTF-8");
    // "Привет" in 1251 and in 866.
    const QByteArray ansi = WideCharToMultiByte(CP_ACP, u"Привет");
    EXPECT_EQ(ansi, Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}));
    EXPECT_EQ(CharToOemBuff(ansi), Bytes({0x8F, 0xE0, 0xA8, 0xA2, 0xA5, 0xE2}));
}

TEST(LocaleInfo, EmptyInputGivesEmptyOutput) {
    EXPECT_TRUE(WideCharToMultiByte(1252, u"").isEmpty());
    EXPECT_TRUE(MultiByteToWideChar(1252, QByteArray()).isEmpty());
    EXPECT_TRUE(WideCharToMultiByte(CP_UTF8, u"").isEmpty());
    EXPECT_TRUE(CharToOemBuff(QByteArray()).isEmpty());
}
