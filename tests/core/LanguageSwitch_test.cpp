// A language switch rewrites the status words already in the host table, so later comparisons
// with the new words still see a down host as down.
#include "core/LanguageSwitch.h"

#include "core/HostGrid.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "grid/GxGrid.h"

#include <gtest/gtest.h>

namespace {

LangTextTable Table(std::initializer_list<std::pair<int, const char*>> Texts) {
    QStringList lines;
    for (int i = 0; i < LangTextCount; ++i)
        lines << QStringLiteral("unused %1").arg(i);
    for (const auto& [line, text] : Texts)
        lines[line] = QString::fromUtf8(text);
    return LangTextTable().WithLines(lines);
}

class HostStatusWords : public ::testing::Test {
protected:
    void SetUp() override { CreateHostGridColumns(Hosts); }
    int AddHost(const char* Kod, std::initializer_list<std::pair<const char16_t*, const char*>> Cells) {
        const int row = Hosts.AddRow();
        Hosts.Cell(Hosts.ColumnIndex(u"Kod_"), row).SetAsString(QString::fromLatin1(Kod));
        for (const auto& [column, text] : Cells)
            Hosts.Cell(Hosts.ColumnIndex(column), row).SetAsString(QString::fromUtf8(text));
        return row;
    }
    QString Cell(const char16_t* Column, int Row) const {
        return Hosts.CellText(Hosts.ColumnIndex(Column), Row);
    }
    TDataGrid Hosts;
};

const LangTextTable English = Table({{LangLine::StatusOk, "OK"},
                                     {LangLine::StatusDown, "Down"},
                                     {LangLine::StatusDisabled, "Disabled"},
                                     {LangLine::StatusPacketLoss, "Packet loss"},
                                     {LangLine::StatusUnknown, "Unknown"},
                                     {LangLine::IcmpDown, "ICMP check failed!"},
                                     {LangLine::IcmpUp, "ICMP check OK"},
                                     {LangLine::HttpDown, "HTTP check failed"},
                                     {LangLine::SnmpDown, "SNMP down"},
                                     {LangLine::SnmpUp, "SNMP"},
                                     {LangLine::LatencyProblem, "Latency problem"},
                                     {LangLine::LatencyNormal, "Latency normal"}});
const LangTextTable German = Table({{LangLine::StatusOk, "OK"},
                                    {LangLine::StatusDown, "Ausgefallen"},
                                    {LangLine::StatusDisabled, "Deaktiviert"},
                                    {LangLine::StatusPacketLoss, "Paketverlust"},
                                    {LangLine::StatusUnknown, "Unbekannt"},
                                    {LangLine::IcmpDown, "ICMP-Prüfung fehlgeschlagen!"},
                                    {LangLine::IcmpUp, "ICMP-Prüfung OK"},
                                    {LangLine::HttpDown, "HTTP-Prüfung fehlgeschlagen"},
                                    {LangLine::SnmpDown, "SNMP aus"},
                                    {LangLine::SnmpUp, "SNMP an"},
                                    {LangLine::LatencyProblem, "Latenzproblem"},
                                    {LangLine::LatencyNormal, "Latenz normal"}});

TEST_F(HostStatusWords, EachColumnsWordsAreRewrittenWithTheirReasonsAndOnlyTheyAre) {
    const int down = AddHost("7", {{u"Status", "Down"},
                                   {u"ICMP_Status", "ICMP check failed! Request timed out"},
                                   {u"Http_Status", "HTTP check failed 404"},
                                   {u"SNMP_Status", "SNMP down"},
                                   {u"Latency_Status", "Latency problem average of the last 3"}});
    const int up =
        AddHost("8", {{u"Status", "OK"}, {u"ICMP_Status", "ICMP check OK"}, {u"SNMP_Status", "SNMP"}});
    // Words of no language line, a word inside a longer word, a word of another column.
    const int other = AddHost("9", {{u"Status", "Downtime"},
                                    {u"ICMP_Status", "ICMP check failed!x"},
                                    {u"Http_Status", "HTTP check http://h/ 200"},
                                    {u"SNMP_Status", "Down"}});

    const std::vector<TTranslatedCell> cells = TranslateHostStatusWords(Hosts, English, German);

    EXPECT_EQ(Cell(u"Status", down), "Ausgefallen");
    EXPECT_EQ(Cell(u"ICMP_Status", down), "ICMP-Prüfung fehlgeschlagen! Request timed out");
    EXPECT_EQ(Cell(u"Http_Status", down), "HTTP-Prüfung fehlgeschlagen 404");
    EXPECT_EQ(Cell(u"SNMP_Status", down), "SNMP aus");
    EXPECT_EQ(Cell(u"Latency_Status", down), "Latenzproblem average of the last 3");
    EXPECT_EQ(Cell(u"Status", up), "OK");
    EXPECT_EQ(Cell(u"ICMP_Status", up), "ICMP-Prüfung OK");
    // "SNMP" begins "SNMP down": the longer word is the one a cell holds.
    EXPECT_EQ(Cell(u"SNMP_Status", up), "SNMP an");
    EXPECT_EQ(Cell(u"Status", other), "Downtime");
    EXPECT_EQ(Cell(u"ICMP_Status", other), "ICMP check failed!x");
    EXPECT_EQ(Cell(u"Http_Status", other), "HTTP check http://h/ 200");
    EXPECT_EQ(Cell(u"SNMP_Status", other), "Down");

    // What changed, for the database: OK is the same word in both and is not rewritten.
    ASSERT_EQ(cells.size(), 7u);
    EXPECT_EQ(cells[0].Column, "Status");
    EXPECT_EQ(cells[0].Kod, "7");
    EXPECT_EQ(cells[0].Text, "Ausgefallen");
    EXPECT_EQ(cells.back().Column, "Latency_Status");

    // Back again: the words are those of the start.
    TranslateHostStatusWords(Hosts, German, English);
    EXPECT_EQ(Cell(u"ICMP_Status", down), "ICMP check failed! Request timed out");
    EXPECT_EQ(Cell(u"SNMP_Status", up), "SNMP");
    EXPECT_TRUE(TranslateHostStatusWords(Hosts, English, English).empty());
}

} // namespace
