// The shared language table: reading language files (line ends, byte-order mark, short and
// missing files, unsafe names), the built-in English fallback, concurrent reading while a reload
// runs, and the first-start language from the locale environment.
#include "core/LangTexts.h"

#include "core/ProgramLogSink.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

using zt::test::TempDir;
using zt::test::WriteFile;

// n lines "<prefix><index>" joined with the given line end.
std::string NumberedLines(int n, const std::string& prefix, const std::string& lineEnd = "\r\n") {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += prefix + std::to_string(i) + lineEnd;
    return text;
}

// A Data folder with a lang_files folder, and program-log lines captured for the test's lifetime.
class LangTextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(QString::fromStdString(dir_.file("lang_files")));
        SetProgramLogSink([this](const QString& line) {
            std::lock_guard lock(logMutex_);
            log_.append(line);
        });
        LangTexts::UseBuiltInEnglish();
    }
    void TearDown() override {
        SetProgramLogSink({});
        LangTexts::UseBuiltInEnglish();
    }
    void WriteLanguage(const std::string& name, const std::string& bytes) {
        WriteFile(dir_.file("lang_files/" + name), bytes);
    }
    QString Folder() const { return QString::fromStdString(dir_.path()); }
    QStringList Log() {
        std::lock_guard lock(logMutex_);
        return log_;
    }

    TempDir dir_;
    std::mutex logMutex_;
    QStringList log_;
};

TEST_F(LangTextsTest, BuiltInEnglishIsCurrentAtStart) {
    EXPECT_EQ(LangText(277), "OK");
    EXPECT_EQ(LangText(280), "Down");
    EXPECT_EQ(LangText(399), "Unknown");
    EXPECT_EQ(LangText(-1), "");
    EXPECT_EQ(LangText(409), "");
    EXPECT_EQ(LangText(1000000), "");
}

TEST_F(LangTextsTest, ReadsAllLinesWithCrLfOrLf) {
    for (const std::string lineEnd : {"\r\n", "\n"}) {
        WriteLanguage("Test", NumberedLines(408, "text ", lineEnd));
        ASSERT_TRUE(LangTexts::Load(Folder(), "Test"));
        EXPECT_EQ(LangText(0), "text 0");
        EXPECT_EQ(LangText(277), "text 277");
        EXPECT_EQ(LangText(407), "text 407");
        EXPECT_FALSE(LangText(12).contains(QLatin1Char('\r')));
    }
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(LangTextsTest, StripsByteOrderMarkAndKeepsUtf8) {
    WriteLanguage("Russian", "\xEF\xBB\xBF"
                             "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB\r\n" +
                                 NumberedLines(407, "x"));
    ASSERT_TRUE(LangTexts::Load(Folder() + "/", "Russian"));
    EXPECT_EQ(LangText(0), QString::fromUtf8("Файл"));
    EXPECT_EQ(LangText(1), "x0");
}

TEST_F(LangTextsTest, KeepsBlanksInsideLinesAndEmptyLines) {
    WriteLanguage("Test", "Host Alert: \r\n\r\n changed state: \r\nlast");
    ASSERT_TRUE(LangTexts::Load(Folder(), "Test"));
    EXPECT_EQ(LangText(0), "Host Alert: ");
    EXPECT_EQ(LangText(1), "");
    EXPECT_EQ(LangText(2), " changed state: ");
    EXPECT_EQ(LangText(3), "last") << "a last line without a line end still counts";
}

TEST_F(LangTextsTest, ShortFileFillsWhatItHasAndKeepsTheRest) {
    WriteLanguage("Short", NumberedLines(10, "short "));
    ASSERT_TRUE(LangTexts::Load(Folder(), "Short"));
    EXPECT_EQ(LangText(9), "short 9");
    EXPECT_EQ(LangText(10), LangTextTable::BuiltInEnglish()->Text(10));
    EXPECT_EQ(LangText(277), "OK") << "the status word keeps its text; an empty one would match every cell";

    // After another language, a short file keeps that language's texts beyond its end.
    WriteLanguage("Full", NumberedLines(408, "full "));
    ASSERT_TRUE(LangTexts::Load(Folder(), "Full"));
    ASSERT_TRUE(LangTexts::Load(Folder(), "Short"));
    EXPECT_EQ(LangText(3), "short 3");
    EXPECT_EQ(LangText(200), "full 200");
}

TEST_F(LangTextsTest, EmptyLinesNeverEmptyTheWordsThatCellsAreComparedWith) {
    // Status words, filter words, the echo error's replacement and the checks' down texts: an empty
    // one would match (or never match) every cell, so an empty line keeps the built-in English text.
    const int compared[] = {277, 278, 279, 280, 281, 282, 283, 289, 291, 294, 296, 298, 399};
    WriteLanguage("German", NumberedLines(408, "de "));
    ASSERT_TRUE(LangTexts::Load(Folder(), "German"));
    WriteLanguage("Blank", std::string(408, '\n'));
    ASSERT_TRUE(LangTexts::Load(Folder(), "Blank"));
    for (int line : compared) {
        EXPECT_EQ(LangText(line), LangTextTable::BuiltInEnglish()->Text(line)) << "line " << line;
        EXPECT_FALSE(LangText(line).isEmpty()) << "line " << line;
    }
    // Every other line is the file's, empty or not.
    EXPECT_EQ(LangText(290), "");
    EXPECT_EQ(LangText(293), "");
    EXPECT_EQ(LangText(10), "");
    EXPECT_EQ(LangText(276), "");
}

TEST_F(LangTextsTest, LinesBeyond409AreIgnored) {
    WriteLanguage("Long", NumberedLines(500, "long "));
    ASSERT_TRUE(LangTexts::Load(Folder(), "Long"));
    EXPECT_EQ(LangText(408), "long 408");
    EXPECT_EQ(LangText(407), "long 407");
    EXPECT_EQ(LangText(409), "");
    const LangFileContent content = ReadLangFile(Folder() + "/lang_files/Long");
    EXPECT_TRUE(content.ok);
    EXPECT_EQ(content.lines.size(), 409);
}

TEST_F(LangTextsTest, ApplyingTheSameLanguageTwiceChangesNothing) {
    WriteLanguage("Test", NumberedLines(408, "t"));
    ASSERT_TRUE(LangTexts::Load(Folder(), "Test"));
    const auto first = LangTexts::Snapshot();
    ASSERT_TRUE(LangTexts::Load(Folder(), "Test"));
    const auto second = LangTexts::Snapshot();
    for (int line = 0; line < LangTextCount; ++line)
        EXPECT_EQ(first->Text(line), second->Text(line));
}

// The texts already shown came from the last file read: a bad file must not mix in English.
TEST_F(LangTextsTest, MissingFileKeepsTheCurrentTextsWithOneLogLine) {
    WriteLanguage("Test", NumberedLines(408, "t"));
    ASSERT_TRUE(LangTexts::Load(Folder(), "Test"));
    EXPECT_FALSE(LangTexts::Load(Folder(), "Klingon"));
    EXPECT_EQ(LangText(277), "t277");
    EXPECT_EQ(LangText(0), "t0");
    const QStringList log = Log();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0], "Language file \"" + Folder() +
                          "/lang_files/Klingon\" could not be read (the file does not exist); the current "
                          "texts are kept.");
}

TEST_F(LangTextsTest, UnreadableFileKeepsTheCurrentTexts) {
    // A folder of the language's name cannot be read as a file.
    QDir().mkpath(Folder() + "/lang_files/Folder");
    EXPECT_FALSE(LangTexts::Load(Folder(), "Folder"));
    EXPECT_EQ(LangText(280), "Down");
    EXPECT_EQ(Log().size(), 1);
    EXPECT_FALSE(ReadLangFile(Folder() + "/lang_files/Folder").ok);
    EXPECT_FALSE(ReadLangFile(Folder() + "/lang_files/none").ok);

    WriteLanguage("Huge", std::string(2 * 1024 * 1024, 'x'));
    EXPECT_FALSE(LangTexts::Load(Folder(), "Huge"));
    EXPECT_EQ(LangText(0), "File");
    EXPECT_EQ(Log().size(), 2);
}

TEST_F(LangTextsTest, NamesThatLeaveTheFolderAreRefused) {
    WriteFile(dir_.file("outside"), NumberedLines(408, "outside "));
    for (const char* name : {"../outside", "", ".", "..", "a/b"}) {
        EXPECT_TRUE(LangFilePath(Folder(), QString::fromUtf8(name)).isEmpty()) << name;
        EXPECT_FALSE(LangTexts::Load(Folder(), QString::fromUtf8(name))) << name;
        EXPECT_EQ(LangText(0), "File");
    }
    EXPECT_EQ(Log().size(), 5);
    EXPECT_EQ(LangFilePath("/data", "German"), "/data/lang_files/German");
    EXPECT_EQ(LangFilePath("/data/", "German"), "/data/lang_files/German");
}

TEST_F(LangTextsTest, SnapshotStaysWholeAcrossAReload) {
    WriteLanguage("A", NumberedLines(408, "a"));
    ASSERT_TRUE(LangTexts::Load(Folder(), "A"));
    const auto held = LangTexts::Snapshot();
    WriteLanguage("B", NumberedLines(408, "b"));
    ASSERT_TRUE(LangTexts::Load(Folder(), "B"));
    EXPECT_EQ(held->Text(100), "a100");
    EXPECT_EQ(LangText(100), "b100");
}

// A reader thread (the check thread) looks words up while the GUI thread switches languages; every
// text it sees is whole and belongs to one of the languages (run under ThreadSanitizer too).
TEST_F(LangTextsTest, ReadersSeeWholeTextsDuringReloads) {
    WriteLanguage("A", NumberedLines(408, "alpha "));
    WriteLanguage("B", NumberedLines(408, "bravo "));
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        for (int round = 0; round < 200000 && !stop.load(); ++round) {
            const int line = round % LangTextCount;
            const QString text = LangText(line);
            const QString number = QString::number(line);
            if (text != "alpha " + number && text != "bravo " + number &&
                text != LangTextTable::BuiltInEnglish()->Text(line))
                bad.fetch_add(1);
        }
    });
    for (int i = 0; i < 200; ++i)
        LangTexts::Load(Folder(), i % 2 ? "A" : "B");
    stop.store(true);
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}

// Sets or clears one environment variable for the test's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct LocaleCase {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    int id;
    const char* name;
};

TEST(SystemLanguage, FirstLanguageFollowsTheLocaleEnvironment) {
    const LocaleCase cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", LangIdGerman, "German"},
        {nullptr, nullptr, "de_AT", LangIdGerman, "German"},
        {nullptr, nullptr, "ru_RU.UTF-8", LangIdRussian, "Russian"},
        {nullptr, nullptr, "en_GB.UTF-8", LangIdEnglish, "English"},
        {nullptr, nullptr, "fr_FR.UTF-8", LangIdEnglish, "English"},
        {nullptr, nullptr, "C", LangIdEnglish, "English"},
        {nullptr, nullptr, nullptr, LangIdEnglish, "English"},
        // LC_MESSAGES before LANG, LC_ALL before both; empty values count as unset.
        {nullptr, "ru_RU.UTF-8", "de_DE.UTF-8", LangIdRussian, "Russian"},
        {"de_DE.UTF-8", "ru_RU.UTF-8", "en_US.UTF-8", LangIdGerman, "German"},
        {"C.UTF-8", "ru_RU.UTF-8", "de_DE.UTF-8", LangIdEnglish, "English"},
        {"", "", "ru_RU.UTF-8", LangIdRussian, "Russian"},
    };
    for (const LocaleCase& c : cases) {
        ScopedEnv all("LC_ALL", c.lcAll);
        ScopedEnv messages("LC_MESSAGES", c.lcMessages);
        ScopedEnv lang("LANG", c.lang);
        SCOPED_TRACE(std::string("LANG=") + (c.lang ? c.lang : "(unset)"));
        EXPECT_EQ(SystemLanguageId(), c.id);
        EXPECT_EQ(FirstLanguageName(), c.name);
    }
}

TEST(SystemLanguage, NamesOfIdentifiers) {
    EXPECT_EQ(LanguageNameForId(1031), "German");
    EXPECT_EQ(LanguageNameForId(1049), "Russian");
    EXPECT_EQ(LanguageNameForId(1033), "English");
    EXPECT_EQ(LanguageNameForId(0), "English");
}

// The first-start name is a file the program ships.
TEST(SystemLanguage, ShippedFilesLoadByTheirNames) {
    const QString data = QString::fromStdString(zt::test::SourcePath("Data"));
    for (const char* name : {"English", "German", "Russian"}) {
        EXPECT_TRUE(LangTexts::Load(data, QString::fromUtf8(name))) << name;
        EXPECT_FALSE(LangText(277).isEmpty());
    }
    EXPECT_EQ(LangText(280), QString::fromUtf8("Недоступен"));
    LangTexts::UseBuiltInEnglish();
}

} // namespace
