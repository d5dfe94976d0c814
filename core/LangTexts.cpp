// The shared language table: reading language files, the built-in English fallback, and the
// first-start language taken from the locale environment.
#include "core/LangTexts.h"

#include "core/ProgramLogSink.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <mutex>
#include <shared_mutex>

namespace {

#include "core/LangTextsEnglish.inc"

static_assert(sizeof(LangTextsEnglishLines) / sizeof(LangTextsEnglishLines[0]) == LangTextCount,
              "the built-in English table must hold every language line");

// Far above any real language file (about 16 KiB); keeps a wrong file from filling the memory.
constexpr qint64 kMaxLangFileBytes = 1024 * 1024;

const QString& EmptyText() {
    static const QString empty;
    return empty;
}

// The current table. Readers copy a text under the shared lock; a reload swaps the pointer under
// the exclusive lock, so a reader never sees a half-built table.
struct CurrentTable {
    std::shared_mutex mutex;
    std::shared_ptr<const LangTextTable> table = LangTextTable::BuiltInEnglish();
};

CurrentTable& Current() {
    static CurrentTable current;
    return current;
}

QByteArray StripLineEnd(QByteArray line) {
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool IsPlainFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool StartsWithLanguage(const QString& locale, const char* language) {
    return locale.startsWith(QLatin1String(language), Qt::CaseInsensitive);
}

} // namespace

std::shared_ptr<const LangTextTable> LangTextTable::BuiltInEnglish() {
    static const std::shared_ptr<const LangTextTable> english = [] {
        auto table = std::make_shared<LangTextTable>();
        for (int line = 0; line < LangTextCount; ++line)
            table->texts_[line] = QString::fromUtf8(LangTextsEnglishLines[line]);
        return std::shared_ptr<const LangTextTable>(std::move(table));
    }();
    return english;
}

const QString& LangTextTable::Text(int line) const {
    if (line < 0 || line >= LangTextCount)
        return EmptyText();
    return texts_[line];
}

bool LangTextTable::IsComparedLine(int line) {
    // 277-283 status and filter words, 289 the text of a failed echo, 291/294/296/298 the texts a
    // down status holds, 399 the Unknown word.
    return (line >= 277 && line <= 283) || line == 289 || line == 291 || line == 294 || line == 296 ||
           line == 298 || line == 399;
}

LangTextTable LangTextTable::WithLines(const QStringList& lines) const {
    LangTextTable result = *this;
    const int count = std::min<int>(lines.size(), LangTextCount);
    for (int line = 0; line < count; ++line) {
        const bool keepEnglish = lines[line].isEmpty() && IsComparedLine(line);
        result.texts_[line] = keepEnglish ? BuiltInEnglish()->Text(line) : lines[line];
    }
    return result;
}

LangFileContent ReadLangFile(const QString& path) {
    LangFileContent content;
    const QFileInfo info(path);
    if (!info.exists()) {
        content.error = QStringLiteral("the file does not exist");
        return content;
    }
    if (!info.isFile()) {
        content.error = QStringLiteral("it is not a file");
        return content;
    }
    if (info.size() > kMaxLangFileBytes) {
        content.error = QStringLiteral("the file is larger than %1 bytes").arg(kMaxLangFileBytes);
        return content;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        content.error = file.errorString();
        return content;
    }
    while (content.lines.size() < LangTextCount && !file.atEnd()) {
        QByteArray line = StripLineEnd(file.readLine());
        if (file.error() != QFileDevice::NoError) {
            content.lines.clear();
            content.error = file.errorString();
            return content;
        }
        if (content.lines.isEmpty() && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        content.lines.append(QString::fromUtf8(line));
    }
    content.ok = true;
    return content;
}

QString LangFilePath(const QString& dataFolder, const QString& languageName) {
    if (!IsPlainFileName(languageName))
        return QString();
    QString folder = dataFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("lang_files/") + languageName;
}

QString LangTexts::Text(int line) {
    CurrentTable& current = Current();
    std::shared_lock lock(current.mutex);
    return current.table->Text(line);
}

std::shared_ptr<const LangTextTable> LangTexts::Snapshot() {
    CurrentTable& current = Current();
    std::shared_lock lock(current.mutex);
    return current.table;
}

bool LangTexts::Load(const QString& dataFolder, const QString& languageName, int* LineCount) {
    const QString path = LangFilePath(dataFolder, languageName);
    LangFileContent content;
    if (path.isEmpty())
        content.error = QStringLiteral("the name is not a plain file name");
    else
        content = ReadLangFile(path);

    // The current texts stay: captions set from them and from the last file keep one language.
    if (!content.ok) {
        WriteProgramLogSink(QStringLiteral("Language file \"%1\" could not be read (%2); the "
                                           "current texts are kept.")
                                .arg(path.isEmpty() ? languageName : path, content.error));
        return false;
    }

    if (LineCount)
        *LineCount = static_cast<int>(std::min<qsizetype>(content.lines.size(), LangTextCount));
    CurrentTable& current = Current();
    std::unique_lock lock(current.mutex);
    current.table = std::make_shared<const LangTextTable>(current.table->WithLines(content.lines));
    return true;
}

void LangTexts::UseBuiltInEnglish() {
    Install(LangTextTable::BuiltInEnglish());
}

void LangTexts::Install(std::shared_ptr<const LangTextTable> table) {
    if (!table)
        table = LangTextTable::BuiltInEnglish();
    CurrentTable& current = Current();
    std::unique_lock lock(current.mutex);
    current.table = std::move(table);
}

QString LangText(int line) {
    return LangTexts::Text(line);
}

int SystemLanguageId() {
    // POSIX order: LC_ALL overrides LC_MESSAGES, which overrides LANG; an empty value counts as unset.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString locale = qEnvironmentVariable(variable);
        if (locale.isEmpty())
            continue;
        if (StartsWithLanguage(locale, "de"))
            return LangIdGerman;
        if (StartsWithLanguage(locale, "ru"))
            return LangIdRussian;
        return LangIdEnglish;
    }
    return LangIdEnglish;
}

QString LanguageNameForId(int languageId) {
    if (languageId == LangIdGerman)
        return QStringLiteral("German");
    if (languageId == LangIdRussian)
        return QStringLiteral("Russian");
    return QStringLiteral("English");
}

QString FirstLanguageName() {
    return LanguageNameForId(SystemLanguageId());
}
