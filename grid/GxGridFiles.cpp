// File formats of the table control.
#include "grid/GxGridFiles.h"
#include "grid/GxTypes.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

// ---- INI ------------------------------------------------------------------------------------

TGxIniFile TGxIniFile::Parse(const QByteArray& bytes) {
    TGxIniFile ini;
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    const QString text = QString::fromUtf8(data);
    Section* current = nullptr;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            const QString name = line.mid(1, line.size() - 2).trimmed().toString();
            current = ini.FindSection(name);
            if (!current) {
                ini.FSections.push_back(Section{name, {}});
                current = &ini.FSections.back();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!current || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed().toString();
        const QString value = line.mid(eq + 1).trimmed().toString();
        bool replaced = false;
        for (Entry& e : current->Entries)
            if (e.Key.compare(key, Qt::CaseInsensitive) == 0) {
                e.Value = value; // a repeated key: the last one counts
                replaced = true;
            }
        if (!replaced)
            current->Entries.push_back(Entry{key, value});
    }
    return ini;
}

QByteArray TGxIniFile::Serialize() const {
    QString out;
    for (const Section& s : FSections) {
        out += u'[' + s.Name + QStringLiteral("]\r\n");
        for (const Entry& e : s.Entries)
            out += e.Key + u'=' + e.Value + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

TGxIniFile::Section* TGxIniFile::FindSection(const QString& name) {
    for (Section& s : FSections)
        if (s.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const TGxIniFile::Section* TGxIniFile::FindSection(const QString& name) const {
    return const_cast<TGxIniFile*>(this)->FindSection(name);
}

std::optional<QString> TGxIniFile::Read(const QString& section, const QString& key) const {
    const Section* s = FindSection(section);
    if (!s)
        return std::nullopt;
    for (const Entry& e : s->Entries)
        if (e.Key.compare(key, Qt::CaseInsensitive) == 0)
            return e.Value;
    return std::nullopt;
}

void TGxIniFile::Write(const QString& section, const QString& key, const QString& value) {
    Section* s = FindSection(section);
    if (!s) {
        FSections.push_back(Section{section, {}});
        s = &FSections.back();
    }
    for (Entry& e : s->Entries)
        if (e.Key.compare(key, Qt::CaseInsensitive) == 0) {
            e.Value = value;
            return;
        }
    s->Entries.push_back(Entry{key, value});
}

// ---- delimited text -------------------------------------------------------------------------

QString EscapeTextCell(const QString& text, QChar separator, QChar lineBreakChar) {
    const bool quote = text.contains(separator) || text.contains(u'"');
    QString out;
    out.reserve(text.size() + 2);
    if (quote)
        out += u'"';
    for (QChar c : text) {
        if (c == u'"')
            out += QStringLiteral("\"\"");
        else if (c == u'\r')
            out += lineBreakChar;
        else if (c != u'\n')
            out += c;
    }
    if (quote)
        out += u'"';
    return out;
}

QByteArray EncodeTextFile(const QString& text, int encoding) {
    if (encoding == 0)
        return text.toUtf8();
    if (encoding != 1 && encoding != 2)
        return QByteArray();
    QByteArray out;
    out.resize(2 + text.size() * 2);
    char* p = out.data();
    const bool little = encoding == 1;
    *p++ = little ? char(0xFF) : char(0xFE);
    *p++ = little ? char(0xFE) : char(0xFF);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const char lo = char(u & 0xFF);
        const char hi = char(u >> 8);
        *p++ = little ? lo : hi;
        *p++ = little ? hi : lo;
    }
    return out;
}

QString DecodeTextFile(const QByteArray& bytes) {
    if (bytes.size() > 1) {
        const uchar b0 = uchar(bytes[0]);
        const uchar b1 = uchar(bytes[1]);
        const bool little = b0 == 0xFF && b1 == 0xFE;
        const bool big = b0 == 0xFE && b1 == 0xFF;
        if (little || big) {
            const qsizetype units = (bytes.size() - 2) / 2; // an odd last byte is ignored
            QString text(units, Qt::Uninitialized);
            QChar* out = text.data();
            const uchar* in = reinterpret_cast<const uchar*>(bytes.constData()) + 2;
            for (qsizetype i = 0; i < units; ++i, in += 2)
                out[i] = QChar(little ? char16_t(in[0] | (in[1] << 8)) : char16_t((in[0] << 8) | in[1]));
            return text;
        }
    }
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

void ParseTextCells(const QString& text, QChar separator, QChar lineBreakChar,
                    const std::function<void()>& newRow,
                    const std::function<void(const QString& cell)>& cellDone) {
    QString cell;
    int quotes = 0;
    bool newRowPending = true;
    auto complete = [&](bool endOfLine) {
        quotes = 0;
        if (newRowPending) {
            newRowPending = false;
            newRow();
        }
        cellDone(cell);
        cell.clear();
        if (endOfLine)
            newRowPending = true;
    };
    for (QChar ch : text) {
        if (ch == separator) {
            if (quotes % 2 == 1)
                cell += ch;
            else
                complete(false);
        } else if (ch == lineBreakChar) {
            cell += QStringLiteral("\r\n");
        } else if (ch == u'"') {
            ++quotes;
            if (quotes % 2 == 1 && (!cell.isEmpty() || quotes == 3))
                cell += u'"';
        } else if (ch == u'\r') {
            continue;
        } else if (ch == u'\n') {
            complete(true);
        } else {
            cell += ch;
        }
    }
    if (!cell.isEmpty())
        complete(false);
}

// ---- files ----------------------------------------------------------------------------------

QByteArray ReadWholeFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EGridError(
            GxFormat(QStringLiteral("Cannot open file '%s': %s"), {fileName, file.errorString()}));
    return file.readAll();
}

void WriteFileAtomically(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EGridError(
            GxFormat(QStringLiteral("Cannot write file '%s': %s"), {fileName, file.errorString()}));
}
