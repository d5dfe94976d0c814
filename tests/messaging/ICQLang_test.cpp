// The error texts: the English table exactly, the four translations complete, empty outside 1..26.
#include "messaging/ICQLang.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {
const TICQLangType AllLanguages[] = {LANG_EN, LANG_RU, LANG_HU, LANG_NO, LANG_DE};
}

TEST(ErrorTexts, EnglishTable) {
    const char* expected[] = {
        "Length of incoming packet exceeds maximum supported by protocol",
        "Could not initialize connection through HTTP proxy, please retry",
        "Received malformed packet",
        "Could not add user for sending/receiving files",
        "Received malformed login packet",
        "Bad password",
        "Too often logins",
        "Cannot establish direct connection because remote client uses unknown proxy type",
        "Connection timed out",
        "Could not send data",
        "Could not resolve host",
        "Could not connect",
        "Could not receive data",
        "Could not create stream socket",
        "SOCKS4 server cannot connect to remote server",
        "Auth methods are not supported by SOCKS5 server",
        "SOCKS5 server cannot authenticate",
        "SOCKS5 server cannot connect to remote server",
        "Http proxy returned invalid status: ",
        "Http proxy buffer overflow",
        "Could not accept incoming client",
        "Could not bind server",
        "Could not listen incoming connections",
        "Could not open database files",
        "Dat version not supported",
        "You have been disconnected from the ICQ network because you logged on from another location using "
        "the "
        "same ICQ number",
    };
    for (int n = 1; n <= 26; ++n)
        EXPECT_EQ(GetICQErrorText(LANG_EN, n), QString::fromLatin1(expected[n - 1])) << n;
}

TEST(ErrorTexts, EmptyOutsideTheTable) {
    for (const TICQLangType language : AllLanguages)
        for (const int n : {0, 27, -1, 1000})
            EXPECT_TRUE(GetICQErrorText(language, n).isEmpty()) << language << " " << n;
    EXPECT_TRUE(GetICQErrorText(static_cast<TICQLangType>(5), 1).isEmpty());
}

TEST(ErrorTexts, TranslationsAreCompleteAndOurOwn) {
    for (const TICQLangType language : {LANG_RU, LANG_HU, LANG_NO, LANG_DE}) {
        QSet<QString> seen;
        for (int n = 1; n <= 26; ++n) {
            const QString text = GetICQErrorText(language, n);
            EXPECT_FALSE(text.isEmpty()) << language << " " << n;
            EXPECT_NE(text, GetICQErrorText(LANG_EN, n)) << language << " " << n;
            EXPECT_FALSE(text.contains(QChar::ReplacementCharacter)) << language << " " << n;
            seen.insert(text);
        }
        // 15/18 and 16/17 differ by their SOCKS version or failure: all 26 are distinct.
        EXPECT_EQ(seen.size(), 26) << language;
        // The proxy status is appended to text 19.
        EXPECT_TRUE(GetICQErrorText(language, 19).endsWith(": ")) << language;
    }
    EXPECT_EQ(GetICQErrorText(LANG_DE, 12), QString::fromUtf8("Verbindung konnte nicht hergestellt werden"));
    EXPECT_EQ(GetICQErrorText(LANG_RU, 9), QString::fromUtf8("Время ожидания соединения истекло"));
    EXPECT_EQ(GetICQErrorText(LANG_HU, 6), QString::fromUtf8("Hibás jelszó"));
    EXPECT_EQ(GetICQErrorText(LANG_NO, 11), QString::fromUtf8("Kunne ikke slå opp vertsnavnet"));
}
