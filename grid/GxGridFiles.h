// File formats of the table control: the INI form of the layout file (read ignoring case and
// blanks, unknown sections kept, written with CR LF) and the delimited text files in 8-bit,
// UTF-16LE and UTF-16BE form. Files are written to a temporary file renamed over the old one.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

// An INI document kept in file order.
class TGxIniFile {
public:
    struct Entry {
        QString Key;
        QString Value;
    };
    struct Section {
        QString Name;
        std::vector<Entry> Entries;
    };

    // Parses LF or CR LF text (UTF-8, an optional byte-order mark); lines that are neither a
    // section header nor a key are ignored, keys before the first section too.
    static TGxIniFile Parse(const QByteArray& bytes);
    // Writes every section and key with CR LF line ends.
    QByteArray Serialize() const;

    // Section and key names match ignoring case.
    std::optional<QString> Read(const QString& section, const QString& key) const;
    void Write(const QString& section, const QString& key, const QString& value);
    const std::vector<Section>& Sections() const { return FSections; }

private:
    Section* FindSection(const QString& name);
    const Section* FindSection(const QString& name) const;
    std::vector<Section> FSections;
};

// Delimited text: escapes one cell as the writer does.
QString EscapeTextCell(const QString& text, QChar separator, QChar lineBreakChar);
// Encodes text for encoding 0 (UTF-8), 1 (FF FE, UTF-16LE) or 2 (FE FF, UTF-16BE); an
// empty result for other values.
QByteArray EncodeTextFile(const QString& text, int encoding);
// Detects the byte-order mark and decodes; 8-bit text is UTF-8 when valid, else Latin-1.
QString DecodeTextFile(const QByteArray& bytes);
// Splits decoded text into cells the way the reader does; cellDone(col, row, text) is called
// for every complete cell, newRow() before the first cell of each row.
void ParseTextCells(const QString& text, QChar separator, QChar lineBreakChar,
                    const std::function<void()>& newRow,
                    const std::function<void(const QString& cell)>& cellDone);

// Whole-file helpers; both raise EGridError on failure.
QByteArray ReadWholeFile(const QString& fileName);
void WriteFileAtomically(const QString& fileName, const QByteArray& bytes);
