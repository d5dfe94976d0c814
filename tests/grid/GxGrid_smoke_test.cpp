// First check that the grid model stands: columns by name, typed cells, rows.
#include "grid_helpers.h"

#include <gtest/gtest.h>

using namespace gridtest;

TEST(GridSmoke, AddWriteReadByName) {
    auto grid = MakeGrid();
    EXPECT_EQ(grid->AddRow(3), 2);
    grid->Cell("status", 1).SetAsString(QStringLiteral("OK"));
    grid->Cell(u"Count", 2).SetAsInteger(5);
    EXPECT_EQ(grid->Cell("Status", "1").GetAsString(), QStringLiteral("OK"));
    EXPECT_EQ(grid->Cell("Count", 2).GetAsString(), QStringLiteral("5"));
    EXPECT_EQ(grid->Cell("number_", "Last").GetAsInteger(), 3);
    const quint64 h = grid->RowHandle(2);
    grid->InsertRow(0);
    EXPECT_EQ(grid->RowByHandle(h), 3);
    grid->DeleteRow(3);
    EXPECT_EQ(grid->RowByHandle(h), -1);
}
