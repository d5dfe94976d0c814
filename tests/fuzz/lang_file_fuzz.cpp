// Fuzz target for the language file reader and loader: any file gives at most 409 lines without
// line ends, loading it replaces exactly the lines it has, and no name reaches outside the folder.
#include "core/LangTexts.h"
#include "core/ProgramLogSink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

// A table whose every line reads "base<n>", so a line the loader left alone is recognised.
std::shared_ptr<const LangTextTable> TaggedTable() {
    static const std::shared_ptr<const LangTextTable> tagged = [] {
        QStringList lines;
        for (int line = 0; line < LangTextCount; ++line)
            lines.append(QStringLiteral("base%1").arg(line));
        return std::make_shared<const LangTextTable>(LangTextTable().WithLines(lines));
    }();
    return tagged;
}

// A name is used only as a plain file name directly inside the language folder.
void CheckNameStaysInside(const QString& folder, const QString& name) {
    const QString path = LangFilePath(folder, name);
    const bool plain = !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
                       !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
    if (plain != !path.isEmpty())
        __builtin_trap();
    if (plain && path != folder + QStringLiteral("/lang_files/") + name)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static QTemporaryDir folder;
    static int logLines = 0;
    static const bool quiet = [] {
        SetProgramLogSink([](const QString&) { ++logLines; });
        return QDir(folder.path()).mkpath(QStringLiteral("lang_files"));
    }();
    if (!quiet)
        return 0;
    const QString path = folder.filePath(QStringLiteral("lang_files/Language"));
    const QByteArray bytes(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
    }
    const LangFileContent content = ReadLangFile(path);
    if (!content.ok || content.lines.size() > LangTextCount)
        __builtin_trap();
    for (const QString& line : content.lines)
        if (line.contains(QLatin1Char('\n')))
            __builtin_trap();
    const LangTextTable table = LangTextTable::BuiltInEnglish()->WithLines(content.lines);
    for (int line = 0; line < LangTextCount; ++line)
        if (LangTextTable::IsComparedLine(line) && table.Text(line).isEmpty())
            __builtin_trap();

    // Loaded over a known table: the file's lines replace theirs, a short file's missing lines
    // keep the old texts, and a readable file writes no log line.
    LangTexts::Install(TaggedTable());
    logLines = 0;
    int lineCount = -1;
    if (!LangTexts::Load(folder.path(), QStringLiteral("Language"), &lineCount) || logLines != 0 ||
        lineCount != content.lines.size())
        __builtin_trap();
    const std::shared_ptr<const LangTextTable> loaded = LangTexts::Snapshot();
    for (int line = 0; line < LangTextCount; ++line) {
        QString expected = TaggedTable()->Text(line);
        if (line < content.lines.size()) {
            const bool english = content.lines[line].isEmpty() && LangTextTable::IsComparedLine(line);
            expected = english ? LangTextTable::BuiltInEnglish()->Text(line) : content.lines[line];
        }
        if (loaded->Text(line) != expected)
            __builtin_trap();
    }

    // The first line taken as a stored language name: it stays a plain name, and a name that
    // names no file is refused with one log line and keeps the current texts.
    const QString name = QString::fromUtf8(bytes.left(bytes.indexOf('\n') < 0 ? 256 : bytes.indexOf('\n')));
    CheckNameStaysInside(folder.path(), name);
    if (name != QLatin1String("Language")) {
        logLines = 0;
        if (LangTexts::Load(folder.path(), name) || logLines != 1 || LangTexts::Snapshot() != loaded)
            __builtin_trap();
    }
    return 0;
}
