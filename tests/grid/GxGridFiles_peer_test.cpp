// Real peers read and write our files: python3's csv module reads the UTF-16LE export,
// python3's configparser reads the layout file and writes one we load, sort(1) gives the
// reference order of addresses, and file(1) names the export's form.
#include "grid/GxGridFiles.h"
#include "grid_helpers.h"
#include "tests/support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace gridtest;
using zt::test::HaveProgram;
using zt::test::RunCommand;

namespace {

std::string Quote(const QString& s) {
    return "'" + s.toStdString() + "'";
}

std::unique_ptr<TDataGrid> Grid(int cols, int rows) {
    auto grid = std::make_unique<TDataGrid>();
    for (int c = 0; c < cols; ++c)
        grid->AddColumn<TGxTextColumn>(QString("C%1").arg(c));
    grid->AddRow(rows);
    return grid;
}

} // namespace

TEST(GridFilePeers, PythonCsvReadsOurUtf16Export) {
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 missing";
    const QStringList samples = {
        "plain",  "a,b",   "say \"hi\"", QString::fromUtf8("Привет, мир"), "", "\"quoted\"",
        "x\r\ny", " lead", "tab\tin",    QString::fromUtf8("日本")};
    auto grid = Grid(4, 30);
    std::mt19937 rng(3);
    for (int r = 0; r < 30; ++r)
        for (int c = 0; c < 4; ++c)
            grid->Cell(c, r).SetAsString(samples[int(rng() % uint32_t(samples.size()))]);
    QTemporaryDir dir;
    const QString file = dir.filePath("log.txt");
    grid->SaveToTextFile(file, u',', 1, u'|');
    int rc = -1;
    const std::string out =
        RunCommand("python3 -c 'import csv,json,sys; print(json.dumps(list(csv.reader(open(sys.argv[1], "
                   "encoding=\"utf-16\", "
                   "newline=\"\")))))' " +
                       Quote(file),
                   &rc);
    ASSERT_EQ(rc, 0) << out;
    const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(out)).array();
    ASSERT_EQ(rows.size(), 30);
    for (int r = 0; r < 30; ++r)
        for (int c = 0; c < 4; ++c) {
            const QString expected = grid->CellText(c, r).replace("\r\n", "|");
            EXPECT_EQ(rows[r].toArray()[c].toString(), expected) << r << "," << c;
        }
}

// file(1) names the form of the fixture export and of a one-column log export. (Its CSV
// heuristic calls some multi-column exports "CSV text" instead, which is right as well.)
TEST(GridFilePeers, FileNamesTheExportForm) {
    if (!HaveProgram("file"))
        GTEST_SKIP() << "file missing";
    auto fixture = Grid(3, 2);
    fixture->Cell(0, 0).SetAsString("a,b");
    fixture->Cell(1, 0).SetAsString("say \"hi\"");
    fixture->Cell(2, 0).SetAsString("line1\r\nline2");
    fixture->Cell(0, 1).SetAsString(QString::fromUtf8("Привет"));
    fixture->Cell(2, 1).SetAsString("plain");
    auto log = Grid(1, 3);
    log->Cell(0, 0).SetAsString("Program started");
    log->Cell(0, 1).SetAsString(QString::fromUtf8("Ёж, host down"));
    log->Cell(0, 2).SetAsString("Error! Failed to load database!");
    QTemporaryDir dir;
    for (TDataGrid* grid : {fixture.get(), log.get()}) {
        const QString file = dir.filePath("export.txt");
        grid->SaveToTextFile(file);
        const QString out = QString::fromStdString(RunCommand("file -b " + Quote(file)));
        EXPECT_TRUE(out.contains("UTF-16, little-endian text")) << out.toStdString();
        EXPECT_TRUE(out.contains("with CRLF line terminators")) << out.toStdString();
    }
}

TEST(GridFilePeers, ConfigParserReadsOurLayoutAndWritesOneWeLoad) {
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 missing";
    auto grid = Grid(41, 0);
    std::mt19937 rng(5);
    std::vector<int> perm(41);
    for (int i = 0; i < 41; ++i)
        perm[size_t(i)] = i;
    std::shuffle(perm.begin(), perm.end(), rng);
    ASSERT_TRUE(grid->Columns().ApplyPositions(perm));
    grid->Columns().GetColumn(3)->SetVisible(false);
    grid->Columns().GetColumn(4)->SetSortKind(skDescending);
    grid->Columns().GetColumn(5)->SetWidth(123);
    QTemporaryDir dir;
    const QString ours = dir.filePath("GSettings.cnfg");
    grid->SaveLayoutToIni(ours);
    int rc = -1;
    const std::string read = RunCommand(
        "python3 -c 'import configparser,json,sys; c=configparser.ConfigParser(); c.read(sys.argv[1], "
        "encoding=\"utf-8\"); print(json.dumps({s: dict(c[s]) for s in c.sections()}))' " +
            Quote(ours),
        &rc);
    ASSERT_EQ(rc, 0) << read;
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(read)).object();
    EXPECT_EQ(doc["Common"].toObject()["columnscount"].toString(), "41");
    EXPECT_EQ(doc["Visible Columns"].toObject()["column3"].toString(), "0");
    EXPECT_EQ(doc["Columns Sort Kind"].toObject()["column4"].toString(), "Descending");
    EXPECT_EQ(doc["Columns Sizes"].toObject()["column5"].toString(), "123");
    for (int i = 0; i < 41; ++i)
        EXPECT_EQ(doc["Positions"].toObject()[QString("column%1").arg(i)].toString(),
                  QString::number(perm[size_t(i)]));

    // configparser writes lower-case keys, blanks around "=" and LF line ends.
    std::shuffle(perm.begin(), perm.end(), rng);
    QString positions;
    for (int i = 0; i < 41; ++i)
        positions += QString("c['Positions']['Column%1']='%2';").arg(i).arg(perm[size_t(i)]);
    const QString theirs = dir.filePath("theirs.cnfg");
    const std::string script =
        "import configparser,sys; c=configparser.ConfigParser(); c['Common']={'ColumnsCount':'41'}; "
        "c['Positions']={}; " +
        positions.toStdString() +
        " c['Visible Columns']={'Column7':'0'}; c['Columns Sizes']={'Column8':'77'}; "
        "c['Columns Sort Kind']={'Column9':'descending'}; c.write(open(sys.argv[1],'w'))";
    RunCommand("python3 -c \"" + script + "\" " + Quote(theirs), &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_TRUE(ReadWholeFile(theirs).contains(" = "));
    auto loaded = Grid(41, 0);
    loaded->LoadLayoutFromIni(theirs);
    for (int i = 0; i < 41; ++i)
        EXPECT_EQ(loaded->Columns().GetColumn(i)->Position(), perm[size_t(i)]);
    EXPECT_FALSE(loaded->Columns().GetColumn(7)->Visible());
    EXPECT_EQ(loaded->Columns().GetColumn(8)->Width(), 77);
    EXPECT_EQ(loaded->Columns().GetColumn(9)->SortKind(), skDescending);
    EXPECT_EQ(loaded->Columns().GetColumn(10)->SortKind(), skAscending);
}

TEST(GridFilePeers, IpSortMatchesSortCommand) {
    if (!HaveProgram("sort"))
        GTEST_SKIP() << "sort missing";
    std::mt19937 rng(11);
    auto grid = Grid(1, 10000);
    grid->Columns().GetColumn(0)->SetSortType(stIP);
    QByteArray input;
    for (int r = 0; r < 10000; ++r) {
        const QString address =
            QString("%1.%2.%3.%4").arg(rng() % 256).arg(rng() % 256).arg(rng() % 16).arg(rng() % 256);
        grid->Cell(0, r).SetAsString(address);
        input += address.toUtf8() + '\n';
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("addresses.txt");
    WriteFileAtomically(file, input);
    int rc = -1;
    const std::string out = RunCommand("LC_ALL=C sort -t. -k1,1n -k2,2n -k3,3n -k4,4n " + Quote(file), &rc);
    ASSERT_EQ(rc, 0);
    const QStringList expected = QString::fromStdString(out).split('\n', Qt::SkipEmptyParts);
    grid->SortColumn(grid->Columns().GetColumn(0), true);
    ASSERT_EQ(expected.size(), grid->RowCount());
    for (int r = 0; r < grid->RowCount(); ++r)
        ASSERT_EQ(grid->CellText(0, r), expected[r]) << r;
}
