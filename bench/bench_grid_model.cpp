// Figures of the grid model on 100,000 rows of 41 columns: filling every cell, look-ups by
// column name, hiding every other row in one update, deleting half the rows, resident memory.
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

long ResidentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

// A host-table-like layout: mostly text, some check boxes and numbers, one running number.
std::unique_ptr<TDataGrid> MakeHostGrid() {
    auto grid = std::make_unique<TDataGrid>();
    grid->AddColumn<TGxIncrementColumn>(QStringLiteral("number_"));
    for (int c = 1; c < 41; ++c) {
        const QString name = QStringLiteral("Col%1").arg(c);
        if (c % 5 == 0)
            grid->AddColumn<TGxCheckBoxColumn>(name);
        else if (c % 7 == 0)
            grid->AddColumn<TGxNumberColumn>(name);
        else
            grid->AddColumn<TGxTextColumn>(name);
    }
    return grid;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rows = 100000;
    const long before = ResidentKb();
    auto grid = MakeHostGrid();

    auto t0 = Clock::now();
    grid->BeginUpdate();
    grid->AddRow(rows);
    const QString texts[] = {QStringLiteral("OK"), QStringLiteral("192.168.100.200"),
                             QStringLiteral("host-01234"), QStringLiteral("Down"), QStringLiteral("0")};
    for (int r = 0; r < rows; ++r) {
        for (int c = 1; c < 41; ++c) {
            TCell& cell = grid->GetCellObject(c, r);
            if (c % 5 == 0)
                cell.SetAsBoolean(r % 2 == 0);
            else if (c % 7 == 0)
                cell.SetAsInteger(r + c);
            else
                cell.SetAsString(texts[(r + c) % 5]);
        }
    }
    grid->EndUpdate();
    auto t1 = Clock::now();
    const long after = ResidentKb();
    std::printf("fill %d rows x 41 columns: %.1f ms\n", rows, Ms(t0, t1));
    std::printf("resident memory after fill: %.1f MB (grew by %.1f MB)\n", after / 1024.0,
                (after - before) / 1024.0);

    const QString names[] = {QStringLiteral("Col3"), QStringLiteral("col17"), QStringLiteral("COL40"),
                             QStringLiteral("number_")};
    t0 = Clock::now();
    long long sum = 0;
    const int lookups = 1000000;
    for (int i = 0; i < lookups; ++i)
        sum += reinterpret_cast<intptr_t>(&grid->Cell(names[i & 3], i % rows)) & 1;
    t1 = Clock::now();
    std::printf("%d Cell look-ups by name: %.1f ms (%.1f ns each) [%lld]\n", lookups, Ms(t0, t1),
                Ms(t0, t1) * 1e6 / lookups, sum);

    t0 = Clock::now();
    for (int i = 0; i < lookups; ++i)
        sum += reinterpret_cast<intptr_t>(&grid->Cell("Col21", i % rows)) & 1;
    t1 = Clock::now();
    std::printf("%d Cell look-ups by a literal name: %.1f ns each [%lld]\n", lookups,
                Ms(t0, t1) * 1e6 / lookups, sum);

    std::vector<int> randomRows(4096);
    std::mt19937 rng(3);
    for (int& r : randomRows)
        r = int(rng() % uint32_t(rows));
    t0 = Clock::now();
    for (int i = 0; i < lookups; ++i)
        sum += reinterpret_cast<intptr_t>(&grid->Cell(names[i & 3], randomRows[size_t(i & 4095)])) & 1;
    t1 = Clock::now();
    std::printf("%d Cell look-ups by name on random rows: %.1f ns each [%lld]\n", lookups,
                Ms(t0, t1) * 1e6 / lookups, sum);

    t0 = Clock::now();
    grid->BeginUpdate();
    for (int r = 0; r < rows; r += 2)
        grid->SetRowVisible(r, false);
    grid->EndUpdate();
    t1 = Clock::now();
    std::printf("hide every other row in one update: %.1f ms (visible %d)\n", Ms(t0, t1),
                grid->VisibleRowCount());

    t0 = Clock::now();
    grid->BeginUpdate();
    for (int r = 0; r < rows / 2; ++r)
        grid->DeleteRow(r); // every other row of the original order
    grid->EndUpdate();
    t1 = Clock::now();
    std::printf("delete half the rows (every other one): %.1f ms (rows %d)\n", Ms(t0, t1), grid->RowCount());

    t0 = Clock::now();
    grid->BeginUpdate();
    while (grid->RowCount() > rows / 4)
        grid->DeleteRow(0);
    grid->EndUpdate();
    t1 = Clock::now();
    std::printf("delete from the top down to a quarter: %.1f ms (rows %d)\n", Ms(t0, t1), grid->RowCount());

    t0 = Clock::now();
    const quint64 handle = grid->RowHandle(grid->RowCount() - 1);
    for (int i = 0; i < lookups; ++i)
        sum += grid->RowByHandle(handle);
    t1 = Clock::now();
    std::printf("%d RowByHandle: %.1f ns each\n", lookups, Ms(t0, t1) * 1e6 / lookups);
    return 0;
}
