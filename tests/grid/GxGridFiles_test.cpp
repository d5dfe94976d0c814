// Layout files and delimited text files: exact bytes, every encoding, reading back what is
// written, bad cells while loading, malformed layouts, and atomic saves.
#include "grid/GxGridFiles.h"
#include "grid_helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace gridtest;

namespace {

std::unique_ptr<TDataGrid> TextGrid(int cols = 3) {
    auto grid = std::make_unique<TDataGrid>();
    grid->setObjectName("LogGrid");
    for (int c = 0; c < cols; ++c)
        grid->AddColumn<TGxTextColumn>(QString("C%1").arg(c));
    return grid;
}

// The fixture: a comma, a quote, a line break, Cyrillic text and an empty cell.
std::unique_ptr<TDataGrid> FixtureGrid() {
    auto grid = TextGrid();
    grid->AddRow(2);
    grid->Cell(0, 0).SetAsString("a,b");
    grid->Cell(1, 0).SetAsString("say \"hi\"");
    grid->Cell(2, 0).SetAsString("line1\r\nline2");
    grid->Cell(0, 1).SetAsString(QString::fromUtf8("Привет"));
    grid->Cell(1, 1).SetAsString("");
    grid->Cell(2, 1).SetAsString("plain");
    return grid;
}

QStringList Rows(const TDataGrid& grid) {
    QStringList rows;
    for (int r = 0; r < grid.RowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid.ColumnCount(); ++c)
            cells << grid.CellText(c, r);
        rows << cells.join(u'|');
    }
    return rows;
}

QByteArray FixtureBytes() {
    QFile f(QStringLiteral(ZT_SOURCE_DIR "/tests/grid/data/fixture_comma_utf16le.txt"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

} // namespace

TEST(GridTextFiles, FixtureIsByteIdenticalAndReloadsFromEveryEncoding) {
    auto grid = FixtureGrid();
    QTemporaryDir dir;
    const QString file = dir.filePath("export.txt");
    grid->SaveToTextFile(file, u',', 1, u'|');
    EXPECT_EQ(ReadWholeFile(file), FixtureBytes());
    const QStringList expected = Rows(*grid);
    for (uint8_t encoding : {0, 1, 2}) {
        grid->SaveToTextFile(file, u',', encoding, u'|');
        auto loaded = TextGrid();
        loaded->LoadFromTextFile(file, u',', u'|');
        EXPECT_EQ(Rows(*loaded), expected) << int(encoding);
    }
    const QByteArray be = grid->TextFileBytes(u',', 2, u'|');
    EXPECT_EQ(be.left(4), QByteArray("\xFE\xFF\x00\"", 4));
    EXPECT_EQ(grid->TextFileBytes(u',', 0, u'|'),
              QString::fromUtf8("\"a,b\",\"say \"\"hi\"\"\",line1|line2\r\n"
                                "Привет,,plain\r\n")
                  .toUtf8());
}

TEST(GridTextFiles, EscapingRules) {
    EXPECT_EQ(EscapeTextCell("a,b", u',', u'|'), "\"a,b\"");
    EXPECT_EQ(EscapeTextCell("q\"", u',', u'|'), "\"q\"\"\"");
    EXPECT_EQ(EscapeTextCell("x\r\ny", u',', u'|'), "x|y"); // line breaks alone stay unquoted
    EXPECT_EQ(EscapeTextCell("x\ny", u',', u'|'), "xy");
    EXPECT_EQ(EscapeTextCell("a;b", u';', u'|'), "\"a;b\"");
    EXPECT_EQ(EscapeTextCell("a;b", u',', u'|'), "a;b");
}

TEST(GridTextFiles, HiddenRowsAndColumnsAreWrittenAndOtherEncodingsWriteNothing) {
    auto grid = TextGrid(2);
    grid->AddRow(2);
    grid->Cell(0, 0).SetAsString("x");
    grid->Cell(1, 1).SetAsString("y");
    grid->SetRowVisible(0, false);
    grid->Columns().GetColumn(1)->SetVisible(false);
    EXPECT_EQ(grid->TextFileBytes(u',', 0, u'|'), "x,\r\n,y\r\n");
    QTemporaryDir dir;
    grid->SaveToTextFile(dir.filePath("none.txt"), u',', 3, u'|');
    EXPECT_FALSE(QFile::exists(dir.filePath("none.txt")));
}

TEST(GridTextFiles, ReaderEdgeCases) {
    auto grid = TextGrid();
    grid->LoadFromTextBytes(QByteArray(), u',', u'|');
    EXPECT_EQ(grid->RowCount(), 0);
    grid->LoadFromTextBytes("a,b,c\r\nlast", u',', u'|'); // no final line break
    EXPECT_EQ(Rows(*grid), QStringList({"a|b|c", "last||"}));
    grid->LoadFromTextBytes("a,b,c,d,e\n", u',', u'|'); // extra cells are dropped, LF alone ends a row
    EXPECT_EQ(Rows(*grid), QStringList({"a|b|c"}));
    grid->LoadFromTextBytes("\xE4\xF6\xFC,x\r\n", u',', u'|'); // not UTF-8: Latin-1
    EXPECT_EQ(Rows(*grid), QStringList({QString::fromUtf8("äöü|x|")}));
    grid->LoadFromTextBytes("\xEF\xBB\xBF\xC3\xA4,x\r\n", u',', u'|'); // UTF-8 with its mark
    EXPECT_EQ(Rows(*grid), QStringList({QString::fromUtf8("ä|x|")}));
    grid->LoadFromTextBytes(QByteArray("\xFF\xFE"
                                       "a\0,\0b\0\n",
                                       10),
                            u',', u'|');
    EXPECT_EQ(Rows(*grid), QStringList({"a|b|"}));
    grid->LoadFromTextBytes(QByteArray("\xFF", 1), u',', u'|'); // one byte: 8-bit text
    EXPECT_EQ(Rows(*grid), QStringList({QString::fromUtf8("ÿ||")}));
}

TEST(GridTextFiles, BadCellIsClearedTheLoadGoesOnAndTheFirstErrorIsRaisedAtTheEnd) {
    auto grid = MakeGrid(); // Name, Enabled, Count (number), ...
    int progress = 0;
    grid->OnLoadProgress = [&](QObject*, int, int) {
        ++progress;
    };
    const QString message =
        ErrorOf([&] { grid->LoadFromTextBytes("a,True,x1\r\nb,False,2.5\r\nc,1,y\r\n", u',', u'|'); });
    EXPECT_EQ(message, "'x1' is not a valid floating point value");
    ASSERT_EQ(grid->RowCount(), 3);
    EXPECT_EQ(grid->Cell("Count", 0).GetAsFloat(), 0.0);
    EXPECT_EQ(grid->Cell("Count", 1).GetAsFloat(), 2.5);
    EXPECT_EQ(grid->Cell("Name", 2).GetAsString(), "c");
    EXPECT_EQ(progress, 9);
}

TEST(GridTextFiles, MissingFileKeepsTheRows) {
    auto grid = TextGrid();
    grid->AddRow(2);
    EXPECT_TRUE(ErrorOf([&] {
                    grid->LoadFromTextFile("/nonexistent/dir/file.txt", u',', u'|');
                }).startsWith("Cannot open file '/nonexistent/dir/file.txt'"));
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_TRUE(
        ErrorOf([&] { grid->SaveToTextFile("/nonexistent/dir/file.txt"); }).startsWith("Cannot write file"));
}

TEST(GridTextFiles, AllCellsText) {
    auto grid = TextGrid(2);
    grid->AddRow(2);
    grid->Cell(0, 0).SetAsString("a\r\nb");
    grid->Cell(1, 0).SetAsString("c");
    grid->Cell(0, 1).SetAsString(QString::fromUtf8("д"));
    QByteArray text;
    grid->GetAllCellsText(';', text);
    EXPECT_EQ(text, QString::fromUtf8(";a%\r\nb;c;\r\nд;").toUtf8());
}

// ---- layout ---------------------------------------------------------------------------------

TEST(GridLayout, WrittenInOrderWithCrLf) {
    auto grid = TextGrid(2);
    grid->Columns().GetColumn(1)->SetSortKind(skDescending);
    grid->Columns().GetColumn(1)->SetWidth(120);
    grid->Columns().GetColumn(0)->SetVisible(false);
    EXPECT_EQ(grid->LayoutToIniBytes(), "[Common]\r\nColumnsCount=2\r\n"
                                        "[Columns Sort Kind]\r\nColumn0=Ascending\r\nColumn1=Descending\r\n"
                                        "[Visible Columns]\r\nColumn0=0\r\nColumn1=1\r\n"
                                        "[Sorted]\r\nColumn0=0\r\nColumn1=0\r\n"
                                        "[Positions]\r\nColumn0=0\r\nColumn1=1\r\n"
                                        "[Columns Sizes]\r\nColumn0=80\r\nColumn1=120\r\n");
    EXPECT_EQ(grid->LayoutToIniBytes("X").left(10), "[CommonX]\r");
}

TEST(GridLayout, RoundTripKeepsUnknownSectionsAndIsAtomic) {
    QTemporaryDir dir;
    const QString file = dir.filePath("GSettings.cnfg");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Other]\nkey = value\n");
    }
    auto grid = TextGrid(3);
    grid->Columns().ChangePosition(2, 0);
    grid->Columns().GetColumn(1)->SetWidth(44);
    grid->SaveLayoutToIni(file);
    const QByteArray saved = ReadWholeFile(file);
    EXPECT_TRUE(saved.startsWith("[Other]\r\nkey=value\r\n[Common]\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"GSettings.cnfg"})); // no temp left
    auto other = TextGrid(3);
    other->LoadLayoutFromIni(file);
    EXPECT_EQ(other->Columns().PositionItem(0), other->Columns().GetColumn(2));
    EXPECT_EQ(other->Columns().GetColumn(1)->Width(), 44);
}

TEST(GridLayout, MissingFileAndLooseForms) {
    auto grid = TextGrid(3);
    grid->Columns().GetColumn(0)->SetVisible(false);
    grid->Columns().GetColumn(1)->SetWidth(55);
    grid->Columns().ChangePosition(0, 2);
    grid->LoadLayoutFromIni("/nonexistent/GSettings.cnfg");
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(grid->Columns().GetColumn(i)->Visible());
        EXPECT_FALSE(grid->Columns().GetColumn(i)->Sorted());
        EXPECT_EQ(grid->Columns().GetColumn(i)->Position(), i);
    }
    EXPECT_EQ(grid->Columns().GetColumn(1)->Width(), 55);
    grid->LoadLayoutFromIniBytes("[columns sort kind]\n column0 = descending \ncolumn1=Ascending\r\n"
                                 "column2=ASCENDING\n[VISIBLE COLUMNS]\ncolumn1 = 0\ncolumn2=7\n");
    EXPECT_EQ(grid->Columns().GetColumn(0)->SortKind(), skDescending);
    EXPECT_EQ(grid->Columns().GetColumn(1)->SortKind(), skAscending);
    EXPECT_EQ(grid->Columns().GetColumn(2)->SortKind(), skDescending);
    EXPECT_FALSE(grid->Columns().GetColumn(1)->Visible());
    EXPECT_TRUE(grid->Columns().GetColumn(2)->Visible());
}

TEST(GridLayout, PositionsApplyAsOnePermutation) {
    std::mt19937 rng(99);
    auto grid = TextGrid(41);
    for (int round = 0; round < 200; ++round) {
        std::vector<int> perm(41);
        for (int i = 0; i < 41; ++i)
            perm[size_t(i)] = i;
        std::shuffle(perm.begin(), perm.end(), rng);
        auto source = TextGrid(41);
        ASSERT_TRUE(source->Columns().ApplyPositions(perm));
        grid->LoadLayoutFromIniBytes(source->LayoutToIniBytes());
        for (int i = 0; i < 41; ++i)
            ASSERT_EQ(grid->Columns().GetColumn(i)->Position(), perm[size_t(i)]) << round;
    }
    for (const char* bad : {"[Positions]\nColumn0=1\nColumn1=1\nColumn2=0\n", "[Positions]\nColumn0=5\n",
                            "[Positions]\nColumn0=-1\nColumn1=0\n", "[Positions]\nColumn0=x\nColumn1=0\n"}) {
        auto g = TextGrid(3);
        g->Columns().ChangePosition(0, 2);
        g->LoadLayoutFromIniBytes(bad);
        std::vector<bool> seen(3, false);
        for (int p = 0; p < 3; ++p)
            seen[size_t(g->Columns().PositionItem(p)->Index())] = true;
        EXPECT_EQ(seen, std::vector<bool>(3, true)) << bad;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(g->Columns().GetColumn(i)->Position(), i) << bad;
    }
}

TEST(GridLayout, AHugeWidthIsCutOnLoadAndSavedCut) {
    auto grid = TextGrid(2);
    grid->LoadLayoutFromIniBytes("[Columns Sizes]\nColumn0=2147483647\nColumn1=120\n");
    EXPECT_EQ(grid->Columns().GetColumn(0)->Width(), 10000);
    EXPECT_EQ(grid->Columns().GetColumn(1)->Position(), 1);
    EXPECT_TRUE(grid->LayoutToIniBytes().endsWith("[Columns Sizes]\r\nColumn0=10000\r\nColumn1=120\r\n"));
}

TEST(GridLayout, SortedFlagSortsTheRows) {
    auto grid = TextGrid(2);
    grid->AddRow(3);
    for (int r = 0; r < 3; ++r)
        grid->Cell(1, r).SetAsString(QString("v%1").arg(3 - r));
    grid->LoadLayoutFromIniBytes("[Sorted]\nColumn1=1\n[Columns Sort Kind]\nColumn1=Ascending\n");
    EXPECT_TRUE(grid->Columns().GetColumn(1)->Sorted());
    EXPECT_EQ(grid->Cell(1, 0).GetAsString(), "v1");
}

TEST(GridTextFiles, TypedCellsRoundTripUnderBothLocalesAndOtherSeparators) {
    for (const QLocale& locale : {English(), German()}) {
        auto grid = MakeGrid(locale);
        grid->AddRow(2);
        grid->Cell("Count", 0).SetAsFloat(2.5);
        grid->Cell("Enabled", 0).SetAsBoolean(true);
        grid->Cell("When", 1).SetAsDateTime(45000.5);
        grid->Cell("Kind", 1).SetAsInteger(2);
        grid->Cell("Name", 1).SetAsString("semi;colon\r\nand \"quote\"");
        for (const auto& [separator, lineBreak] : {std::pair{u',', u'|'}, std::pair{u';', u'~'}}) {
            for (uint8_t encoding : {0, 1, 2}) {
                auto loaded = MakeGrid(locale);
                loaded->LoadFromTextBytes(grid->TextFileBytes(separator, encoding, lineBreak), separator,
                                          lineBreak);
                ASSERT_EQ(loaded->RowCount(), 2);
                EXPECT_EQ(loaded->Cell("Count", 0).GetAsFloat(), 2.5) << locale.name().toStdString();
                EXPECT_TRUE(loaded->Cell("Enabled", 0).GetAsBoolean());
                EXPECT_EQ(loaded->Cell("When", 1).GetAsDateTime(), 45000.5);
                EXPECT_EQ(loaded->Cell("Kind", 1).GetAsInteger(), 2);
                EXPECT_EQ(loaded->Cell("Name", 1).GetAsString(), "semi;colon\r\nand \"quote\"");
            }
        }
    }
}
