// Shared helpers of the grid model tests.
#include "grid_helpers.h"

namespace gridtest {

std::unique_ptr<TDataGrid> MakeGrid(const QLocale& locale) {
    auto grid = std::make_unique<TDataGrid>();
    grid->setObjectName(QStringLiteral("DataGrid1"));
    grid->SetLocale(locale);
    grid->AddColumn<TGxTextColumn>(QStringLiteral("Name"));
    grid->AddColumn<TGxCheckBoxColumn>(QStringLiteral("Enabled"));
    grid->AddColumn<TGxNumberColumn>(QStringLiteral("Count"));
    grid->AddColumn<TGxIncrementColumn>(QStringLiteral("number_"));
    grid->AddColumn<TGxListColumn>(QStringLiteral("Kind")).SetItems({"alpha", "beta", "gamma"});
    grid->AddColumn<TGxDateColumn>(QStringLiteral("When"));
    grid->AddColumn<TGxTextColumn>(QStringLiteral("Status"));
    return grid;
}

} // namespace gridtest
