// Typed cells and the cell store: conversions with their exact error texts under two locales,
// cell classes per column kind, change reports, and the store's row operations.
#include "grid/GxConvert.h"
#include "grid_helpers.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace gridtest;

namespace {

struct LocaleCase {
    const char* Name;
    QLocale Locale;
    QString Half;     // 2.5 as text
    QString DateOnly; // 2023-03-15 as text
    QString DateTime; // 2023-03-15 12:30:15 as text
};

std::vector<LocaleCase> Locales() {
    return {{"English", English(), "2.5", "3/15/2023", "3/15/2023 12:30:15"},
            {"German", German(), "2,5", "15.03.2023", "15.03.2023 12:30:15"}};
}

class CellsByLocale : public ::testing::TestWithParam<LocaleCase> {
protected:
    void SetUp() override {
        grid = std::make_unique<TDataGrid>();
        grid->setObjectName("DataGrid1");
        grid->SetLocale(GetParam().Locale);
        grid->AddColumn<TGxTextColumn>("Text");
        grid->AddColumn<TGxCheckBoxColumn>("Bool");
        grid->AddColumn<TGxDateColumn>("Date");
        grid->AddColumn<TGxCustomNumberColumn>("Float");
        grid->AddColumn<TGxImageColumn>("Int");
        grid->AddColumn<TGxIncrementColumn>("Inc");
        auto& guid = grid->AddColumn<TGxTextColumn>("Guid");
        guid.SetCellKind(ckGuid);
        grid->Columns().RemoveColumn(&guid); // re-add so the store makes GUID cells
        auto column = std::make_unique<TGxTextColumn>();
        column->SetName("Guid");
        column->SetCellKind(ckGuid);
        grid->Columns().AddColumn(std::move(column));
        grid->AddRow(3);
    }
    TCell& C(const char* col, int row = 0) { return grid->Cell(col, row); }
    std::unique_ptr<TDataGrid> grid;
    const double march15 = double(QDate(1899, 12, 30).daysTo(QDate(2023, 3, 15)));
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Locales, CellsByLocale, ::testing::ValuesIn(Locales()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_P(CellsByLocale, CellClassFollowsColumnKind) {
    EXPECT_NE(dynamic_cast<TStringCell*>(&C("Text")), nullptr);
    EXPECT_NE(dynamic_cast<TBooleanCell*>(&C("Bool")), nullptr);
    EXPECT_NE(dynamic_cast<TDateTimeCell*>(&C("Date")), nullptr);
    EXPECT_NE(dynamic_cast<TFloatCell*>(&C("Float")), nullptr);
    EXPECT_NE(dynamic_cast<TIntegerCell*>(&C("Int")), nullptr);
    EXPECT_NE(dynamic_cast<TIncrementCell*>(&C("Inc")), nullptr);
    EXPECT_NE(dynamic_cast<TGuidCell*>(&C("Guid")), nullptr);
}

TEST_P(CellsByLocale, BooleanCellTakesTrueOneAnyCaseAndNeverFails) {
    TCell& b = C("Bool");
    for (const char* text : {"TRUE", "True", "1", "true"}) {
        b.SetAsBoolean(false);
        b.SetAsString(text);
        EXPECT_TRUE(b.GetAsBoolean()) << text;
    }
    for (const char* text : {"yes", "0", "", "2"}) {
        b.SetAsBoolean(true);
        b.SetAsString(text);
        EXPECT_FALSE(b.GetAsBoolean()) << text;
    }
    b.SetAsBoolean(true);
    EXPECT_EQ(b.GetAsString(), "True");
    EXPECT_EQ(b.GetAsInteger(), 1);
    EXPECT_EQ(b.GetAsFloat(), 1.0);
    EXPECT_EQ(b.GetAsDateTime(), 0.0);
    b.SetAsFloat(0.0);
    EXPECT_EQ(b.GetAsString(), "False");
    b.SetAsInteger(-3);
    EXPECT_TRUE(b.GetAsBoolean());
    b.SetAsDateTime(5.0);
    EXPECT_FALSE(b.GetAsBoolean());
}

TEST_P(CellsByLocale, StringCellConversionErrorsNameTheText) {
    TCell& s = C("Text");
    s.SetAsString("abc");
    EXPECT_EQ(ErrorOf([&] { s.GetAsInteger(); }), "'abc' is not a valid integer value");
    EXPECT_EQ(ErrorOf([&] { s.GetAsFloat(); }), "'abc' is not a valid floating point value");
    EXPECT_EQ(ErrorOf([&] { s.GetAsBoolean(); }), "'abc' is not a valid boolean value");
    EXPECT_EQ(ErrorOf([&] { s.GetAsDateTime(); }), "'abc' is not a valid date and time");
    s.SetAsString("");
    EXPECT_EQ(ErrorOf([&] { s.GetAsInteger(); }), "'' is not a valid integer value");
    EXPECT_EQ(s.GetAsDateTime(), 0.0);
    for (const char* text : {"nan", "inf", "-inf", "NaN", "Infinity"}) {
        s.SetAsString(text);
        EXPECT_EQ(ErrorOf([&] { s.GetAsFloat(); }),
                  QString("'%1' is not a valid floating point value").arg(text));
    }
    s.SetAsString("fAlSe");
    EXPECT_FALSE(s.GetAsBoolean());
    s.SetAsString("-7");
    EXPECT_TRUE(s.GetAsBoolean());
    EXPECT_EQ(s.GetAsInteger(), -7);
    s.SetAsString("2147483648");
    EXPECT_EQ(ErrorOf([&] { s.GetAsInteger(); }), "'2147483648' is not a valid integer value");
}

TEST_P(CellsByLocale, StringCellWritesLocaleTexts) {
    TCell& s = C("Text");
    s.SetAsFloat(2.5);
    EXPECT_EQ(s.GetAsString(), GetParam().Half);
    EXPECT_EQ(s.GetAsFloat(), 2.5);
    s.SetAsBoolean(false);
    EXPECT_EQ(s.GetAsString(), "False");
    s.SetAsInteger(-12);
    EXPECT_EQ(s.GetAsString(), "-12");
    s.SetAsDateTime(march15);
    EXPECT_EQ(s.GetAsString(), GetParam().DateOnly); // midnight: no time part
    s.SetAsDateTime(march15 + (12 * 3600 + 30 * 60 + 15) / 86400.0);
    EXPECT_EQ(s.GetAsString(), GetParam().DateTime);
    EXPECT_NEAR(s.GetAsDateTime(), march15 + (12 * 3600 + 30 * 60 + 15) / 86400.0, 1e-9);
}

TEST_P(CellsByLocale, IntegerCellRoundsHalvesToEven) {
    TCell& i = C("Int");
    i.SetAsInteger(-5);
    EXPECT_FALSE(i.GetAsBoolean());
    i.SetAsFloat(2.5);
    EXPECT_EQ(i.GetAsInteger(), 2);
    i.SetAsFloat(3.5);
    EXPECT_EQ(i.GetAsInteger(), 4);
    i.SetAsFloat(-2.5);
    EXPECT_EQ(i.GetAsInteger(), -2);
    i.SetAsBoolean(true);
    EXPECT_EQ(i.GetAsInteger(), 1);
    i.SetAsDateTime(44.0);
    EXPECT_EQ(i.GetAsInteger(), 0);
    i.SetAsString("");
    EXPECT_EQ(i.GetAsInteger(), 0);
    EXPECT_EQ(ErrorOf([&] { i.SetAsString("x1"); }), "'x1' is not a valid integer value");
    EXPECT_EQ(ErrorOf([&] { i.SetAsFloat(3e10); }), "'30000000000' is not a valid integer value");
    EXPECT_EQ(i.GetAsDateTime(), 0.0);
    i.SetAsInteger(7);
    EXPECT_EQ(i.GetAsString(), "7");
}

TEST_P(CellsByLocale, FloatCellConversions) {
    TCell& f = C("Float");
    f.SetAsString(GetParam().Half);
    EXPECT_EQ(f.GetAsFloat(), 2.5);
    EXPECT_EQ(f.GetAsInteger(), 2);
    EXPECT_EQ(f.GetAsString(), GetParam().Half);
    EXPECT_FALSE(f.GetAsBoolean());
    f.SetAsFloat(3.5);
    EXPECT_EQ(f.GetAsInteger(), 4);
    f.SetAsFloat(1e20);
    EXPECT_EQ(f.GetAsString(), "1E20");
    EXPECT_EQ(ErrorOf([&] { f.GetAsInteger(); }), "'1E20' is not a valid integer value");
    f.SetAsFloat(0.1 + 0.2);
    EXPECT_EQ(f.GetAsString(), GetParam().Locale.decimalPoint() == "," ? "0,3" : "0.3"); // 15 digits
    EXPECT_EQ(ErrorOf([&] { f.SetAsString("1x"); }), "'1x' is not a valid floating point value");
    EXPECT_EQ(ErrorOf([&] { f.SetAsString("nan"); }), "'nan' is not a valid floating point value");
    f.SetAsBoolean(true);
    EXPECT_EQ(f.GetAsFloat(), 0.0);
}

TEST_P(CellsByLocale, DateTimeCellConversions) {
    TCell& d = C("Date");
    d.SetAsString(GetParam().DateTime);
    EXPECT_NEAR(d.GetAsDateTime(), march15 + (12 * 3600 + 30 * 60 + 15) / 86400.0, 1e-9);
    EXPECT_EQ(d.GetAsString(), GetParam().DateTime);
    EXPECT_EQ(d.GetAsInteger(), int(march15));
    d.SetAsString(GetParam().DateOnly);
    EXPECT_EQ(d.GetAsDateTime(), march15);
    EXPECT_EQ(d.GetAsString(), GetParam().DateOnly);
    d.SetAsString("12:30:15");
    EXPECT_NEAR(d.GetAsDateTime(), (12 * 3600 + 30 * 60 + 15) / 86400.0, 1e-9);
    d.SetAsString("not a date");
    EXPECT_EQ(d.GetAsDateTime(), 0.0);
    d.SetAsString("");
    EXPECT_EQ(d.GetAsDateTime(), 0.0);
    d.SetAsBoolean(false);
    EXPECT_EQ(d.GetAsDateTime(), TodayDate());
    EXPECT_FALSE(d.GetAsBoolean());
    d.SetAsInteger(2);
    EXPECT_EQ(d.GetAsFloat(), 2.0);
    EXPECT_EQ(d.GetAsString().right(4), "1900"); // four-digit years always
}

TEST_P(CellsByLocale, GuidCellRegistryForm) {
    TCell& g = C("Guid");
    const QString text = g.GetAsString();
    EXPECT_EQ(text.size(), 38);
    EXPECT_EQ(text, text.toUpper());
    EXPECT_NE(text, C("Guid", 1).GetAsString()); // a new GUID per cell
    g.SetAsString("{0123ABCD-4567-89AB-CDEF-0123456789AB}");
    EXPECT_EQ(g.GetAsString(), "{0123ABCD-4567-89AB-CDEF-0123456789AB}");
    g.SetAsString("{0123abcd-4567-89ab-cdef-0123456789ab}");
    EXPECT_EQ(g.GetAsString(), "{0123ABCD-4567-89AB-CDEF-0123456789AB}");
    for (const char* bad :
         {"0123ABCD-4567-89AB-CDEF-0123456789AB", "{0123ABCD-4567-89AB-CDEF-0123456789AG}", ""})
        EXPECT_EQ(ErrorOf([&] { g.SetAsString(bad); }), QString("'%1' is not a valid GUID value").arg(bad));
    EXPECT_EQ(ErrorOf([&] { g.SetAsInteger(5); }), "'5' is not a valid GUID value");
    EXPECT_EQ(ErrorOf([&] { g.GetAsInteger(); }),
              "'{0123ABCD-4567-89AB-CDEF-0123456789AB}' is not a valid integer value");
}

TEST_P(CellsByLocale, IncrementCellReadsItsRowPlusOne) {
    EXPECT_EQ(C("Inc", 0).GetAsInteger(), 1);
    EXPECT_EQ(C("Inc", 2).GetAsString(), "3");
    EXPECT_EQ(C("Inc", 1).GetAsFloat(), 2.0);
    TCell& first = C("Inc", 0);
    grid->MoveRow(0, 2);
    EXPECT_EQ(first.GetAsInteger(), 3); // the same cell, renumbered by its new place
    first.SetAsInteger(99);             // stores nothing
    EXPECT_EQ(first.GetAsInteger(), 3);
    grid->InsertRow(1);
    EXPECT_NE(dynamic_cast<TIntegerCell*>(&C("Inc", 1)), nullptr);
    EXPECT_EQ(C("Inc", 1).GetAsInteger(), 0);
    EXPECT_EQ(dynamic_cast<TStringCell*>(&C("Guid", 1)) != nullptr, true); // inserted rows: text
}

TEST_P(CellsByLocale, ChangesReportOncePerSetAndNotWhileMade) {
    int changes = 0;
    int lastCol = -1, lastRow = -1;
    grid->OnChange = [&](QObject*, int col, int row) {
        ++changes;
        lastCol = col;
        lastRow = row;
    };
    C("Float", 2).SetCellColor(clRed);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(lastCol, 3);
    EXPECT_EQ(lastRow, 2);
    EXPECT_EQ(C("Float", 2).Color(), clRed);
    grid->AddRow(1); // cells get the column colour while being made: no report
    EXPECT_EQ(changes, 1);
    C("Text", 1).SetAsString("x");
    C("Bool", 0).SetAsInteger(1);
    EXPECT_EQ(changes, 3);
    C("Inc", 0).Clear(); // increment clear reports nothing
    EXPECT_EQ(changes, 3);
    C("Text", 1).Clear();
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(C("Text", 1).GetAsString(), "");
    // The store's own text write reports as SetAsString does; a cell of another kind converts.
    grid->Cells().SetCellText(0, 2, u"a text past the inline room");
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(lastCol, 0);
    EXPECT_EQ(lastRow, 2);
    EXPECT_EQ(C("Text", 2).GetAsString(), "a text past the inline room");
    grid->Cells().SetCellText(1, 2, u"True");
    EXPECT_TRUE(C("Bool", 2).GetAsBoolean());
    EXPECT_EQ(changes, 6);
    grid->Cells().SetCellText(C("Text", 1), QLatin1StringView("0d 1h 2m 3s"));
    EXPECT_EQ(changes, 7);
    EXPECT_EQ(lastCol, 0);
    EXPECT_EQ(lastRow, 1);
}

TEST_P(CellsByLocale, CellKnowsItsOwnPositionWhateverWasLookedUpLast) {
    TCell& a = C("Float", 2);
    C("Text", 0); // another lookup in between
    EXPECT_EQ(a.Column(), 3);
    EXPECT_EQ(a.Row(), 2);
    grid->InsertRow(0);
    EXPECT_EQ(a.Row(), 3);
}

TEST(CellStore, ClearRowsKeepsColumns) {
    auto grid = MakeGrid();
    grid->AddRow(5);
    grid->SetRowVisible(1, false);
    grid->ClearRows();
    EXPECT_EQ(grid->RowCount(), 0);
    EXPECT_EQ(grid->VisibleRowCount(), 0);
    EXPECT_EQ(grid->ColumnCount(), 7);
    EXPECT_EQ(grid->Cells().ColumnCount(), 7);
}

TEST(CellStore, HintsAndReferencesFollowTheirCell) {
    auto grid = MakeGrid();
    grid->AddRow(2);
    grid->Cell("Name", 1).SetHint("tip");
    grid->Cell("Name", 1).SetObjectReference(42);
    grid->AddColumn<TGxTextColumn>("Extra"); // rebuilds every row's cells
    EXPECT_EQ(grid->Cell("Name", 1).Hint(), "tip");
    EXPECT_EQ(grid->Cell("Name", 1).ObjectReference(), 42);
    EXPECT_EQ(grid->Cell("Name", 0).Hint(), "");
    grid->Columns().RemoveColumn(grid->Columns().ColumnByName("Enabled"));
    EXPECT_EQ(grid->Cell("Name", 1).Hint(), "tip");
    EXPECT_EQ(grid->Cell("Extra", 1).Column(), 6);
    grid->DeleteRow(1);
    EXPECT_EQ(grid->Cell("Name", 0).Hint(), "");
}

TEST(CellStore, ColumnChangesKeepValues) {
    auto grid = MakeGrid();
    grid->AddRow(2);
    grid->Cell("Status", 1).SetAsString("a long status text that lives on the heap");
    grid->Cell("Count", 1).SetAsFloat(3.25);
    grid->Cells().ColumnMoved(6, 0); // store-level slot move
    EXPECT_EQ(grid->Cells().GetCell(0, 1).GetAsString(), "a long status text that lives on the heap");
    grid->Cells().ColumnMoved(0, 6);
    grid->Columns().RemoveColumn(grid->Columns().GetColumn(0));
    EXPECT_EQ(grid->Cell("Status", 1).GetAsString(), "a long status text that lives on the heap");
    EXPECT_EQ(grid->Cell("Count", 1).GetAsFloat(), 3.25);
    while (grid->ColumnCount() > 0)
        grid->Columns().RemoveColumn(grid->Columns().GetColumn(0));
    EXPECT_EQ(grid->RowCount(), 0);
}

TEST(CellStore, VirtualCellsAskTheirColumn) {
    TDataGrid grid;
    auto column = std::make_unique<TGxTextColumn>();
    column->SetName("V");
    column->SetCellKind(ckVirtual);
    QString stored;
    column->OnGetCellValue = [](TGxCustomColumn*, int row, QString& value) {
        value = QString("row %1").arg(row);
    };
    column->OnSetCellValue = [&](TGxCustomColumn*, int row, const QString& value) {
        stored = QString("%1=%2").arg(row).arg(value);
    };
    grid.Columns().AddColumn(std::move(column));
    grid.AddRow(3);
    EXPECT_EQ(grid.Cell("V", 2).GetAsString(), "row 2");
    grid.Cell("V", 1).SetAsInteger(9);
    EXPECT_EQ(stored, "1=9");
}

TEST(CellStore, RowsKeepTheirCellsWhileChunksEmptyAndFill) {
    auto grid = MakeGrid();
    grid->AddRow(6000); // chunks of growing size, the large ones mapped
    for (int r = 0; r < 6000; ++r)
        grid->Cell("Name", r).SetAsString(QString("host %1 with a long name").arg(r));
    for (int r = 5999; r >= 0; --r)
        if (r % 2000 != 1)
            grid->DeleteRow(r); // frees most chunks whole, the rest block by block
    grid->AddRow(3000);
    grid->AddColumn<TGxTextColumn>("Extra"); // moves every row into blocks of another size
    ASSERT_EQ(grid->RowCount(), 3003);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(grid->Cell("Name", i).GetAsString(), QString("host %1 with a long name").arg(i * 2000 + 1));
    EXPECT_EQ(grid->Cell("Name", 3002).GetAsString(), "");
    EXPECT_EQ(grid->Cell("number_", 3002).GetAsInteger(), 3003);
}

TEST(CellStore, LongTextsReuseOrGrowTheirBuffer) {
    auto grid = MakeGrid();
    grid->AddRow(1);
    TCell& cell = grid->Cell("Status", 0);
    // Inside the cell: 23 Latin-1 characters or 11 UTF-16 units; every form gives way to each other.
    for (const char* text :
         {"12d 23h 59m 59s", "1d 0h 0m 0s", "9d 23h 59m 9s", "9d 23h 59m 59s",
          "a text longer than the buffer before it", "7s", "", "23 characters of Latin1",
          "24 characters of Latin-1", "d\xc3\xa9j\xc3\xa0 vu",
          "\xd0\xa1\xd1\x82\xd0\xb0\xd1\x82\xd1\x83\xd1\x81",
          "\xd0\xa1\xd1\x82\xd0\xb0\xd1\x82\xd1\x83\xd1\x81 \xd1\x85\xd0\xbe\xd1\x81\xd1\x82\xd0\xb0",
          "OK"}) {
        cell.SetAsString(QString::fromUtf8(text));
        EXPECT_EQ(cell.GetAsString(), QString::fromUtf8(text));
    }
    // Latin-1 bytes written as they are, accented ones too, and a cell's text written onto itself.
    for (const QString& text :
         {QString::fromUtf8("9d 23h 59m 59s"), QString::fromUtf8("d\xc3\xa9j\xc3\xa0 vu \xc3\xbf"),
          QStringLiteral("23 characters of Latin1"), QStringLiteral("24 characters of Latin-1"), QString()}) {
        const QByteArray bytes = text.toLatin1();
        grid->Cells().SetCellText(cell, QLatin1StringView(bytes));
        EXPECT_EQ(cell.GetAsString(), text);
        grid->Cells().SetCellText(cell, static_cast<const TStringCell&>(cell).View());
        EXPECT_EQ(cell.GetAsString(), text);
    }
}
