// Status words of the host table carried over to a newly loaded language.
#include "core/LanguageSwitch.h"

#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "grid/GxGrid.h"

#include <initializer_list>

namespace {

struct TStatusColumn {
    const char16_t* Name;
    bool Prefix; // the word may be followed by a blank and a reason
    std::initializer_list<int> Lines;
};

const TStatusColumn StatusColumns[] = {
    {u"Status",
     false,
     {LangLine::StatusOk, LangLine::StatusPacketLoss, LangLine::StatusDown, LangLine::StatusDisabled,
      LangLine::StatusUnknown}},
    {u"ICMP_Status", true, {LangLine::IcmpDown, LangLine::IcmpUp}},
    {u"Http_Status", true, {LangLine::HttpDown}},
    {u"SNMP_Status", true, {LangLine::SnmpDown, LangLine::SnmpUp}},
    {u"Latency_Status", true, {LangLine::LatencyProblem, LangLine::LatencyNormal}},
};

// The cell's text in the new language, or a null string when it holds none of the column's words.
QString Translated(const QString& Cell, const TStatusColumn& Column, const LangTextTable& Old,
                   const LangTextTable& New) {
    // The longest old word first, so a word that begins another never takes its place.
    int best = -1;
    for (int line : Column.Lines) {
        const QString& word = Old.Text(line);
        if (word.isEmpty() || (best >= 0 && word.size() <= Old.Text(best).size()))
            continue;
        const bool whole = Cell == word;
        const bool prefix = Column.Prefix && Cell.size() > word.size() && Cell.startsWith(word) &&
                            Cell.at(word.size()) == QLatin1Char(' ');
        if (whole || prefix)
            best = line;
    }
    if (best < 0 || Old.Text(best) == New.Text(best))
        return {};
    return New.Text(best) + Cell.mid(Old.Text(best).size());
}

} // namespace

std::vector<TTranslatedCell> TranslateHostStatusWords(TDataGrid& Hosts, const LangTextTable& Old,
                                                      const LangTextTable& New) {
    std::vector<TTranslatedCell> changed;
    const int kod = Hosts.ColumnIndex(u"Kod_");
    for (const TStatusColumn& column : StatusColumns) {
        const int col = Hosts.ColumnIndex(column.Name);
        if (col < 0)
            continue;
        for (int row = 0; row < Hosts.RowCount(); ++row) {
            const QString text = Translated(Hosts.CellText(col, row), column, Old, New);
            if (text.isNull())
                continue;
            Hosts.Cell(col, row).SetAsString(text);
            changed.push_back(
                {QString::fromUtf16(column.Name), kod >= 0 ? Hosts.CellText(kod, row) : QString(), text});
        }
    }
    return changed;
}
