// Display-free parts of the bulk host dialog and the type list: the hosts an address range or a
// typed list expands to, and the check of a new type name before it becomes a file name.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

struct TBulkHostEntry {
    QString Host;
    QString IP;
    QString Note;
};

// Hosts of one /24 block from the last octet First to Last; a First above Last is clamped to Last,
// so the range is never empty. Names are Prefix + "_" + octet.
std::vector<TBulkHostEntry> ExpandHostRange(int Octet1, int Octet2, int Octet3, int First, int Last,
                                            const QString& Prefix);

// One host per non-blank line of Hosts; names keep the line's index (Prefix + "_" + i), so a
// skipped blank line leaves a gap. A missing description line gives an empty note.
std::vector<TBulkHostEntry> ExpandHostList(const QStringList& Hosts, const QStringList& Descriptions,
                                           const QString& Prefix);

// A type name becomes a file name inside Data/Types: refused when empty, holding "/", "\", NUL or
// control characters, starting with "." or repeating one of Existing.
bool ValidHostTypeName(const QString& Name, const QStringList& Existing);
