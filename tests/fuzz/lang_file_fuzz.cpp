// Fuzz target for the language file reader: any file gives at most 408 lines without line ends, and
// the table made of them keeps every compared word non-empty.
#include "core/LangTexts.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Language"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(Data), static_cast<qint64>(Size));
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
    return 0;
}
