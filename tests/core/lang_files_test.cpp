// Lint of the shipped language files: their format, the words the engine and the filters compare,
// the texts the program joins with numbers and names, and agreement with the master table.
#include "core/LangTexts.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <set>
#include <string>
#include <vector>

namespace {

const char* const kLanguages[] = {"English", "German", "Russian"};

// Lines whose text is joined to the next piece without a blank: the blank is part of the text.
const std::set<int> kNeedTrailingBlank = {264, 265, 269, 293};
const std::set<int> kNeedLeadingBlank = {265};
// Captions quoted with a trailing blank (a spin edit follows); translations may drop it.
const std::set<int> kMayTrailBlank = {69, 71, 76, 221, 222, 237, 373};

struct LangFile {
    std::string bytes;
    std::vector<QString> lines;
};

LangFile ReadShipped(const std::string& language) {
    LangFile file;
    file.bytes = zt::test::ReadFile(zt::test::SourcePath("Data/lang_files/" + language));
    size_t start = 0;
    while (start < file.bytes.size()) {
        const size_t end = file.bytes.find("\r\n", start);
        if (end == std::string::npos) {
            file.lines.push_back(QString::fromStdString(file.bytes.substr(start)));
            break;
        }
        file.lines.push_back(QString::fromStdString(file.bytes.substr(start, end - start)));
        start = end + 2;
    }
    return file;
}

// Line numbers the master table marks as read by nothing.
std::set<int> UnusedLines() {
    const std::string master = zt::test::ReadFile(zt::test::SourcePath("tools/lang/master.tsv"));
    std::set<int> unused;
    for (const QString& row : QString::fromStdString(master).split(QLatin1Char('\n'))) {
        const QStringList fields = row.split(QLatin1Char('\t'));
        bool isNumber = false;
        const int line = fields.value(0).toInt(&isNumber);
        if (isNumber && fields.value(1) == QLatin1String("unused"))
            unused.insert(line);
    }
    return unused;
}

class ShippedLanguage : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { file_ = ReadShipped(GetParam()); }
    QString T(int line) const {
        return line < static_cast<int>(file_.lines.size()) ? file_.lines[line] : QString();
    }
    LangFile file_;
};

// A text the program builds from language lines, numbers and names must read as one sentence:
// no blank at either end, no doubled blank, no blank before punctuation.
void ExpectSentence(const QString& text, const QString& what) {
    SCOPED_TRACE(what.toStdString() + ": \"" + text.toStdString() + "\"");
    EXPECT_EQ(text, text.trimmed());
    EXPECT_FALSE(text.contains(QLatin1String("  ")));
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral(" [,.:;!?)]"))));
}

TEST_P(ShippedLanguage, FileFormat) {
    EXPECT_FALSE(file_.bytes.rfind("\xEF\xBB\xBF", 0) == 0) << "no byte-order mark";
    EXPECT_EQ(file_.lines.size(), 409u);
    ASSERT_GE(file_.bytes.size(), 2u);
    EXPECT_EQ(file_.bytes.substr(file_.bytes.size() - 2), "\r\n") << "the last line ends with CR LF";
    // Every line break is a CR LF pair.
    for (size_t i = 0; i < file_.bytes.size(); ++i) {
        if (file_.bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && file_.bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
        if (file_.bytes[i] == '\r') {
            ASSERT_TRUE(i + 1 < file_.bytes.size() && file_.bytes[i + 1] == '\n');
        }
    }
    const QByteArray raw = QByteArray::fromStdString(file_.bytes);
    EXPECT_EQ(QString::fromUtf8(raw).toUtf8(), raw) << "valid UTF-8";
    for (int line = 0; line < LangTextCount; ++line) {
        for (const QChar c : T(line))
            EXPECT_TRUE(c.unicode() >= 0x20 && c.unicode() != 0x7F) << "control character, line " << line;
    }
}

TEST_P(ShippedLanguage, EveryLineWithARoleHasItsText) {
    const std::set<int> unused = UnusedLines();
    ASSERT_FALSE(unused.empty());
    for (int line = 0; line < LangTextCount; ++line) {
        if (unused.count(line)) {
            EXPECT_TRUE(T(line).isEmpty()) << "unused line " << line;
        } else {
            EXPECT_FALSE(T(line).trimmed().isEmpty()) << "line " << line;
        }
    }
}

TEST_P(ShippedLanguage, BlanksOnlyWhereTheRoleNeedsThem) {
    for (int line = 0; line < LangTextCount; ++line) {
        const QString text = T(line);
        if (text.isEmpty())
            continue;
        SCOPED_TRACE("line " + std::to_string(line) + ": \"" + text.toStdString() + "\"");
        if (kNeedTrailingBlank.count(line)) {
            EXPECT_TRUE(text.endsWith(QLatin1Char(' ')));
        } else if (!kMayTrailBlank.count(line)) {
            EXPECT_FALSE(text.endsWith(QLatin1Char(' ')));
        }
        EXPECT_EQ(text.startsWith(QLatin1Char(' ')), kNeedLeadingBlank.count(line) == 1);
        EXPECT_FALSE(text.endsWith(QLatin1String("  ")));
    }
}

TEST_P(ShippedLanguage, StatusAndFilterWords) {
    std::set<QString> words;
    for (int line = 277; line <= 283; ++line) {
        EXPECT_FALSE(T(line).isEmpty()) << line;
        words.insert(T(line));
    }
    EXPECT_EQ(words.size(), 7u) << "the seven filter items are told apart by their text";
    EXPECT_EQ(T(279), T(399)) << "one Unknown word for the filter and the Enabled column";
}

// The engine decides a check's state by whether its status cell contains the down text, so no
// up text may contain the down text of its check.
TEST_P(ShippedLanguage, UpTextsDoNotContainDownTexts) {
    const QString icmpDown = T(291);
    const QString httpDown = T(294);
    const QString snmpDown = T(296);
    const QString latencyProblem = T(298);
    for (const QString& down : {icmpDown, httpDown, snmpDown, latencyProblem})
        ASSERT_FALSE(down.trimmed().isEmpty());

    EXPECT_FALSE(T(290).contains(icmpDown));
    for (const char* result :
         {"200 OK", "301 Moved Permanently", "404 Not Found", "500 Internal Server Error"}) {
        // The up status is the literal "HTTP check " and the result; the up event uses line 293.
        EXPECT_FALSE((QStringLiteral("HTTP check ") + QLatin1String(result)).contains(httpDown));
        EXPECT_FALSE((T(293) + QLatin1String(result)).contains(httpDown));
    }
    EXPECT_FALSE(T(297).contains(snmpDown));
    for (const char* samples : {"0", "3", "10"}) {
        const QString normal = T(299) + " " + T(300) + " " + samples + " " + T(368) + " 42 " + T(65);
        EXPECT_FALSE(normal.contains(latencyProblem)) << normal.toStdString();
    }
    // A raised status (down text, a blank and the reason) is recognised again.
    EXPECT_TRUE((icmpDown + " " + T(289)).contains(icmpDown));
    EXPECT_TRUE((httpDown + " ").contains(httpDown));
}

TEST_P(ShippedLanguage, JoinedTextsReadAsSentences) {
    const QString host = QStringLiteral("web-1");
    const QString queued = QStringLiteral("12:00:01 - web-1, 192.0.2.7");
    const std::vector<std::pair<QString, QString>> joined = {
        {"countdown", T(377) + " 5 " + T(347)},
        {"traffic sample countdown", T(347) + " 58 " + T(346)},
        {"OK count", "5 " + T(306)},
        {"one OK", "1 " + T(307)},
        {"down count", "3 " + T(308)},
        {"one down", "1 " + T(309)},
        {"disabled count", "2 " + T(311)},
        {"one disabled", "1 " + T(312)},
        {"tray count line",
         T(376) + " 12, " + T(314) + " 9, " + T(315) + " 1, " + T(316) + " 1, " + T(317) + " 1"},
        {"latency problem", T(298) + " " + T(300) + " 3 " + T(368) + " 250 " + T(65)},
        {"latency normal", T(299) + " " + T(300) + " 3 " + T(368) + " 40 " + T(65)},
        {"inbound drop", T(301) + " eth0 " + T(303) + " 70%!"},
        {"outbound drop", T(302) + " eth0 " + T(303) + " 70%!"},
        {"ICMP down", T(291) + " " + T(289)},
        {"HTTP up event", T(293) + "200 OK"},
        {"mail subject", T(264) + queued + T(265) + T(291)},
        {"ICQ sent", T(269) + queued + " - " + T(291)},
        {"ICQ received", T(348) + " 123456789 " + T(349) + " status"},
        {"help last line", T(355) + "07.12.2026)"},
        {"load progress", "Zorvanite Tarnequill Pro - " + T(243) + " 45%"},
        {"host box", T(10) + ": Servers\\Office"},
        {"host box at dialog creation", T(123) + " Servers"},
        {"edit caption", T(287) + " " + host},
        {"menu ping", T(330) + " " + host},
        {"menu trace", T(331) + " " + host},
        {"trace box", T(319) + " " + host},
        {"ping box", T(321) + " " + host},
        {"traffic caption", T(345) + " " + host},
        {"latency box", T(249) + " " + host},
        {"average latency", T(374) + " 35 " + T(65)},
        {"ICMP progress", T(378) + " " + host},
        {"HTTP progress", T(292) + " " + host},
        {"SNMP progress", T(295) + " " + host},
    };
    for (const auto& [what, text] : joined)
        ExpectSentence(text, what);
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedLanguage, ::testing::ValuesIn(kLanguages));

TEST(ShippedLanguages, EnglishKeepsTheSystemsOwnWords) {
    const LangFile english = ReadShipped("English");
    ASSERT_EQ(english.lines.size(), 409u);
    const std::vector<std::pair<int, const char*>> pinned = {
        {277, "OK"},
        {278, "Packet loss"},
        {279, "Unknown"},
        {280, "Down"},
        {281, "Disabled"},
        {282, "Not Up"},
        {283, "All"},
        {399, "Unknown"},
        {30, "Add Host"},
        {284, "New Host"},
        {2, "Exit"},
        {9, "About..."},
        {56, "Refresh now"},
        {291, "ICMP check failed!"},
        {402, "Warning!"},
        {69, "Delete logs older then "},
        {86, "Vertical lines"},
        {403, "The next hosts is UP:"},
        {46, "Enable\\Disable host"},
    };
    for (const auto& [line, text] : pinned)
        EXPECT_EQ(english.lines[line].toStdString(), text) << "line " << line;
}

TEST(ShippedLanguages, BuiltInEnglishEqualsTheEnglishFile) {
    const LangFile english = ReadShipped("English");
    ASSERT_EQ(english.lines.size(), 409u);
    const auto builtIn = LangTextTable::BuiltInEnglish();
    for (int line = 0; line < LangTextCount; ++line)
        EXPECT_EQ(builtIn->Text(line), english.lines[line]) << "line " << line;
}

TEST(ShippedLanguages, SameLinesEmptyInEveryLanguage) {
    const LangFile english = ReadShipped("English");
    for (const char* language : {"German", "Russian"}) {
        const LangFile other = ReadShipped(language);
        ASSERT_EQ(other.lines.size(), english.lines.size());
        for (size_t line = 0; line < english.lines.size(); ++line)
            EXPECT_EQ(english.lines[line].isEmpty(), other.lines[line].isEmpty())
                << language << " line " << line;
    }
}

TEST(ShippedLanguages, GeneratedFilesMatchTheMasterTable) {
    if (!zt::test::HaveProgram("python3"))
        GTEST_SKIP() << "python3 not installed";
    int rc = -1;
    const std::string output = zt::test::RunCommand(
        "python3 '" + zt::test::SourcePath("tools/lang/generate.py") + "' --check 2>&1", &rc);
    EXPECT_EQ(rc, 0) << output;
}

} // namespace
