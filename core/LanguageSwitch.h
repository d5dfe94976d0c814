// What a language switch changes in data the program compares with language texts: the status
// words already in the host table.
#pragma once

#include <QString>

#include <vector>

class LangTextTable;
class TDataGrid;

// One host cell that a switch rewrote: its column, the host's Kod_ and the new text.
struct TTranslatedCell {
    QString Column;
    QString Kod;
    QString Text;
};

// Rewrites the words of the old language in the host table's status cells (Status, ICMP_Status,
// Http_Status, SNMP_Status, Latency_Status) to those of the new one, so that the filters and the
// check engine, which compare cells with the current words, see a down host as still down. A cell
// is rewritten when it is the old word or starts with the old word and a blank (a down text
// followed by its reason); other cells stay. Returns the cells rewritten.
std::vector<TTranslatedCell> TranslateHostStatusWords(TDataGrid& Hosts, const LangTextTable& Old,
                                                      const LangTextTable& New);
