// Figures of sorting and text files on 100,000 rows: a sort by each sort type, the reverse
// shortcut, and writing and reading a UTF-16 text file.
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rows = 100000;
    TDataGrid grid;
    grid.SetLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    grid.AddColumn<TGxTextColumn>("Text");
    grid.AddColumn<TGxCheckBoxColumn>("Check");
    grid.AddColumn<TGxNumberColumn>("Number");
    grid.AddColumn<TGxDateColumn>("Date");
    grid.AddColumn<TGxTextColumn>("IP").SetSortType(stIP);
    grid.AddColumn<TGxImageColumn>("Custom").SetSortType(stCustom); // integer cells
    std::mt19937 rng(1);
    grid.BeginUpdate();
    grid.AddRow(rows);
    for (int r = 0; r < rows; ++r) {
        grid.Cell(0, r).SetAsString(QStringLiteral("Host %1 name").arg(rng() % 1000000));
        grid.Cell(1, r).SetAsBoolean(rng() % 2);
        grid.Cell(2, r).SetAsFloat((rng() % 1000000) / 100.0);
        grid.Cell(3, r).SetAsDateTime(40000 + (rng() % 5000) + (rng() % 86400) / 86400.0);
        grid.Cell(4, r).SetAsString(QStringLiteral("%1.%2.%3.%4")
                                        .arg(rng() % 256)
                                        .arg(rng() % 256)
                                        .arg(rng() % 256)
                                        .arg(rng() % 256));
        grid.Cell(5, r).SetAsInteger(int(rng() % 100000));
    }
    grid.EndUpdate();
    grid.OnCompare = [](QObject*, TCell& a, TCell& b, int& result) {
        result = a.GetAsInteger() - b.GetAsInteger();
    };

    struct Case {
        const char* Label;
        int Column;
        TSortType Type;
    };
    const Case cases[] = {{"stAlphabetic", 0, stAlphabetic},
                          {"stCaseInsensitive", 0, stCaseInsensitive},
                          {"stBoolean", 1, stBoolean},
                          {"stNumeric", 2, stNumeric},
                          {"stDate", 3, stDate},
                          {"stIP", 4, stIP},
                          {"stCustom", 5, stCustom}};
    for (const Case& c : cases) {
        TGxCustomColumn* column = grid.Columns().GetColumn(c.Column);
        column->SetSortType(c.Type);
        grid.Cell(0, 0).SetAsString(grid.CellText(0, 0)); // a change: the next sort is full
        auto t0 = Clock::now();
        grid.SortColumn(column, true);
        auto t1 = Clock::now();
        std::printf("sort %d rows by %s: %.1f ms\n", rows, c.Label, Ms(t0, t1));
    }
    TGxCustomColumn* text = grid.Columns().GetColumn(0);
    text->SetSortType(stAlphabetic);
    grid.SortColumn(text, true);
    auto t0 = Clock::now();
    grid.SortColumn(text, false);
    auto t1 = Clock::now();
    std::printf("reverse shortcut on %d rows: %.2f ms\n", rows, Ms(t0, t1));

    QTemporaryDir dir;
    const QString file = dir.filePath("grid.txt");
    t0 = Clock::now();
    grid.SaveToTextFile(file, u',', 1, u'|');
    t1 = Clock::now();
    std::printf("write %d rows as UTF-16: %.1f ms\n", rows, Ms(t0, t1));
    TDataGrid loaded;
    for (int c = 0; c < 6; ++c)
        loaded.AddColumn<TGxTextColumn>(QStringLiteral("C%1").arg(c));
    t0 = Clock::now();
    loaded.BeginUpdate();
    loaded.LoadFromTextFile(file, u',', u'|');
    loaded.EndUpdate();
    t1 = Clock::now();
    std::printf("read %d rows from UTF-16: %.1f ms (rows %d)\n", rows, Ms(t0, t1), loaded.RowCount());
    return 0;
}
