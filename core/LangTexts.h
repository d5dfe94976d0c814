// The texts of the current language (lines 0-407 of a file in <Data folder>/lang_files/): status
// words, event and message texts, captions. Any thread may read them while the GUI thread reloads.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <memory>

// Number of lines of a language file; lines are addressed 0 .. LangTextCount - 1.
inline constexpr int LangTextCount = 409;

// System language identifiers, as the first-start choice knows them.
inline constexpr int LangIdEnglish = 1033;
inline constexpr int LangIdGerman = 1031;
inline constexpr int LangIdRussian = 1049;

// One complete set of the 409 texts. Never changed after it is built, so a thread may keep a
// reference to it for as long as it likes (for example for one whole check pass).
class LangTextTable {
public:
    // Every text empty.
    LangTextTable() = default;

    // The English texts compiled into the program; used until a file is loaded and whenever the
    // chosen file cannot be read.
    static std::shared_ptr<const LangTextTable> BuiltInEnglish();

    // The text of one line; a line outside 0-407 gives an empty text.
    const QString& Text(int line) const;

    // A copy of this table whose first lines.size() texts (at most 409) are replaced by lines;
    // the other texts stay as they are here. An empty line of a text that cells are compared with
    // (IsComparedLine) takes the built-in English text instead.
    LangTextTable WithLines(const QStringList& lines) const;

    // Status and filter words, the echo error's replacement and the checks' down texts: the
    // program looks for them in cells, so none of them may ever be empty.
    static bool IsComparedLine(int line);

private:
    std::array<QString, LangTextCount> texts_;
};

// What one language file holds.
struct LangFileContent {
    bool ok = false;   // the file could be opened and read
    QStringList lines; // at most 409 lines, without their line ends
    QString error;     // why the file could not be read
};

// Reads up to the first 409 lines of a language file: UTF-8, CR LF or LF line ends, a leading
// byte-order mark stripped. A file with fewer lines gives fewer entries.
LangFileContent ReadLangFile(const QString& path);

// "<dataFolder>/lang_files/<languageName>"; empty when the name is not a plain file name (empty,
// ".", "..", or holding "/" or a NUL), so a stored name can never reach outside the folder.
QString LangFilePath(const QString& dataFolder, const QString& languageName);

// The shared table of the current language.
class LangTexts {
public:
    // The text of one line of the current language; empty outside 0-407.
    static QString Text(int line);

    // The current table as a whole, for readers that want one consistent set of words.
    static std::shared_ptr<const LangTextTable> Snapshot();

    // Reads <dataFolder>/lang_files/<languageName> and makes it current. Every line the file has
    // replaces the current text of that line; lines a short file lacks keep their current text.
    // A missing, unreadable or unsafe file keeps the current texts and writes one program-log
    // line. Returns whether the file was read; LineCount, when given, receives the number of
    // lines it held (at most 409).
    static bool Load(const QString& dataFolder, const QString& languageName, int* LineCount = nullptr);

    // Makes the built-in English texts current (the state at program start).
    static void UseBuiltInEnglish();

    // Makes the given table current (tests, and callers that build a table themselves).
    static void Install(std::shared_ptr<const LangTextTable> table);
};

// Shorthand for LangTexts::Text.
QString LangText(int line);

// The system's language: LC_ALL, else LC_MESSAGES, else LANG (the first one set and not empty);
// a name starting with "de" is German (1031), "ru" Russian (1049), anything else English (1033).
int SystemLanguageId();

// "German" for 1031, "Russian" for 1049, "English" for every other identifier: the names of the
// language files.
QString LanguageNameForId(int languageId);

// The language of a first start, when no settings file names one yet.
QString FirstLanguageName();
