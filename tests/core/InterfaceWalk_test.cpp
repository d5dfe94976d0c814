// The interface list's rules: display names, counters, speed, status texts and colours, the
// discovery rule, the two grid layouts and what one walked interface writes into its row.
#include "core/InterfaceWalk.h"

#include "core/LangTexts.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"

#include <gtest/gtest.h>

TEST(InterfaceRules, DisplayName) {
    EXPECT_EQ(InterfaceDisplayName("A", "B", "C"), "A - B - C");
    EXPECT_EQ(InterfaceDisplayName("A", "A", "C"), "A - C");
    EXPECT_EQ(InterfaceDisplayName("", "B", ""), "B");
    EXPECT_EQ(InterfaceDisplayName("A", "", ""), "A");
    EXPECT_EQ(InterfaceDisplayName("A", "B", "A"), "A - B");
    EXPECT_EQ(InterfaceDisplayName("", "B", "C"), "B - C");
    // The alias is compared with ifName only, as the rule says.
    EXPECT_EQ(InterfaceDisplayName("", "B", "B"), "B - B");
    EXPECT_EQ(InterfaceDisplayName("", "", ""), "");
}

TEST(InterfaceRules, CountersKeepTheirLow32Bits) {
    EXPECT_EQ(CounterLow32Text("123"), "123");
    EXPECT_EQ(CounterLow32Text("4294967295"), "4294967295");
    EXPECT_EQ(CounterLow32Text("4294967296"), "0");
    EXPECT_EQ(CounterLow32Text("4294967301"), "5");
    EXPECT_EQ(CounterLow32Text("18446744073709551615"), "4294967295");
    EXPECT_EQ(CounterLow32Text("-1"), "4294967295");
    EXPECT_EQ(CounterLow32Text(""), "");
    EXPECT_EQ(CounterLow32Text("12x"), "");
    EXPECT_EQ(CounterLow32Text(" 12"), "");
    EXPECT_EQ(CounterLow32Text("99999999999999999999"), "");
}

TEST(InterfaceRules, SpeedInWholeMbits) {
    EXPECT_EQ(SpeedMbitText("1000000000"), "1000");
    EXPECT_EQ(SpeedMbitText("4294967295"), "4294");
    EXPECT_EQ(SpeedMbitText("999999"), "0");
    EXPECT_EQ(SpeedMbitText("0"), "0");
    EXPECT_EQ(SpeedMbitText(""), "");
    EXPECT_EQ(SpeedMbitText("fast"), "");
}

TEST(InterfaceRules, StatusTextsAndColours) {
    LangTexts::UseBuiltInEnglish();
    auto expect = [](const std::string& value, bool admin, const char* text, TColor color) {
        const TInterfaceStatus status = InterfaceStatusOf(value, admin);
        EXPECT_EQ(status.Text, text) << value << admin;
        EXPECT_EQ(status.Color, color) << value << admin;
    };
    expect("1", false, "Up", 0x008000);
    expect("2", false, "Down", 0x0000FF);
    expect("3", false, "Testing", 0x00FFFF);
    expect("4", false, "Unknown", 0xFFFFFF);
    expect("7", false, "Unknown", 0xFFFFFF);
    expect("", false, "Unknown", 0xFFFFFF);
    expect("1", true, "Up", 0x008000);
    expect("2", true, "Admin down", 0x0000FF);
    expect("3", true, "Testing", 0x00FFFF);
    expect("x", true, "Unknown", 0xFFFFFF);
    // The words are the current language's lines 395-399.
    const auto english = LangTextTable::BuiltInEnglish();
    QStringList lines;
    for (int i = 0; i < LangTextCount; ++i)
        lines << (i >= 395 && i <= 399 ? QStringLiteral("w%1").arg(i) : english->Text(i));
    LangTexts::Install(std::make_shared<const LangTextTable>(english->WithLines(lines)));
    EXPECT_EQ(InterfaceStatusOf("2", true).Text, "w398");
    EXPECT_EQ(InterfaceStatusOf("2", false).Text, "w396");
    LangTexts::UseBuiltInEnglish();
}

TEST(InterfaceRules, DiscoveryTakesOnlyRisingIndexesOfTheIndexColumn) {
    qint64 index = -1;
    EXPECT_TRUE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.1.1", "1", 0, index));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.1.10001", "10001", 2, index));
    EXPECT_EQ(index, 10001);
    index = -1;
    // Past the column: ifDescr holding a number, ifInOctets (prefix "...1.1" but another column).
    EXPECT_FALSE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.2.1", "7", 2, index));
    EXPECT_FALSE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.10.5", "9", 2, index));
    EXPECT_FALSE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.1.", "9", 2, index));
    EXPECT_FALSE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.1", "9", 2, index));
    // An index that does not rise would loop.
    EXPECT_FALSE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.1.2", "2", 2, index));
    EXPECT_FALSE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.1.3", "1", 2, index));
    EXPECT_FALSE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.1.3", "", 2, index));
    EXPECT_FALSE(NextInterfaceIndex("1.3.6.1.2.1.2.2.1.1.3", "three", 2, index));
    EXPECT_EQ(index, -1);
}

TEST(InterfaceGrid, BothLayouts) {
    TDataGrid selection, snmp;
    CreateInterfaceGridColumns(selection, false);
    CreateInterfaceGridColumns(snmp, true);
    const QStringList selectionNames = {"e1", "p1",  "i_n1",        "t_i1",  "t_o1", "GxTextColumn1",
                                        "s1", "sp1", "AdminStatus", "nomer1"};
    const QStringList snmpNames = {"GxCheckBoxColumn1", "p2", "i_n2", "t_i2",         "t_o2",
                                   "GxTextColumn2",     "s2", "sp2",  "Admin_status", "nomer2",
                                   "GxImageColumn1"};
    ASSERT_EQ(selection.ColumnCount(), selectionNames.size());
    ASSERT_EQ(snmp.ColumnCount(), snmpNames.size());
    for (int i = 0; i < selectionNames.size(); ++i) {
        EXPECT_EQ(selection.Columns().GetColumn(i)->Name(), selectionNames[i]);
        EXPECT_EQ(selection.Columns().GetColumn(i)->Visible(), i != 5) << i;
    }
    for (int i = 0; i < snmpNames.size(); ++i) {
        EXPECT_EQ(snmp.Columns().GetColumn(i)->Name(), snmpNames[i]);
        EXPECT_EQ(snmp.Columns().GetColumn(i)->Visible(), i != 0 && i != 5 && i != 10) << i;
    }
    EXPECT_EQ(selection.Columns().GetColumn(0)->CellKind(), ckBoolean);
    EXPECT_EQ(selection.Columns().GetColumn(9)->CellKind(), ckIncrement);
}

TEST(InterfaceGrid, AWalkedRowFillsItsCells) {
    LangTexts::UseBuiltInEnglish();
    TDataGrid grid;
    CreateInterfaceGridColumns(grid, false);
    grid.AddRow(2);
    grid.Cell(1, 0).SetAsString("1");
    TInterfaceRow up;
    up.Index = 1;
    up.Name = "eth0 - uplink";
    up.InOctets = "5";
    up.OutOctets = "6";
    up.Oper = InterfaceStatusOf("1", false);
    up.Speed = "1000";
    up.Admin = InterfaceStatusOf("2", true);
    WriteInterfaceRow(grid, 0, up);
    EXPECT_EQ(grid.CellText(2, 0), "eth0 - uplink");
    EXPECT_EQ(grid.CellText(3, 0), "5");
    EXPECT_EQ(grid.CellText(4, 0), "6");
    EXPECT_EQ(grid.CellText(6, 0), "Up");
    EXPECT_EQ(grid.Cell(6, 0).Color(), 0x008000);
    EXPECT_EQ(grid.CellText(7, 0), "1000");
    EXPECT_EQ(grid.CellText(8, 0), "Admin down");
    EXPECT_EQ(grid.Cell(8, 0).Color(), 0x0000FF);
    EXPECT_TRUE(grid.Cell(0, 0).GetAsBoolean());

    // Every request failed: only the status cells say so, the others stay empty, no tick.
    TInterfaceRow failed;
    failed.Oper = InterfaceStatusOf("", false);
    failed.Admin = InterfaceStatusOf("", true);
    WriteInterfaceRow(grid, 1, failed);
    for (int col : {2, 3, 4, 7})
        EXPECT_EQ(grid.CellText(col, 1), "") << col;
    EXPECT_EQ(grid.CellText(6, 1), "Unknown");
    EXPECT_EQ(grid.Cell(6, 1).Color(), 0xFFFFFF);
    EXPECT_EQ(grid.CellText(8, 1), "Unknown");
    EXPECT_FALSE(grid.Cell(0, 1).GetAsBoolean());
}
