// The hosts page: the chosen group's hosts in the host list, with the default columns.
#include "core/ColumnVisibility.h"
#include "core/DatabaseLoader.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "core/SettingsModel.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "ui/main/main_form.h"

#include <QApplication>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::shared_ptr<TGroupNodeRecord> Group(const char* Name, const char* Number) {
    auto record = std::make_shared<TGroupNodeRecord>();
    record->Name = QString::fromUtf8(Name);
    record->Group = QString::fromLatin1(Number);
    return record;
}

QStringList ShownHosts(TDataGrid& Grid) {
    QStringList hosts;
    for (int r = 0; r < Grid.RowCount(); ++r) {
        if (Grid.GetRowVisible(r)) {
            hosts << Grid.CellText(Grid.ColumnIndex(u"Host"), r) + QLatin1Char('#') +
                         Grid.CellText(Grid.ColumnIndex(u"number_"), r);
        }
    }
    return hosts;
}

} // namespace

TEST(HostList, ChoosingAGroupShowsItsHostsNumberedFromOne) {
    LangTexts::UseBuiltInEnglish();
    TMonitorServices services{MonitorDatabase, QString()};
    TForm1 form(services);
    form.FormCreate();
    TDataGrid& hosts = services.DataGrid1();
    const char* rows[][3] = {
        {"web", "127.0.0.2", "1"}, {"Принтер \"2\"", "127.0.0.3", "2"}, {"mail", "127.0.0.4", "1"}};
    for (const auto& row : rows) {
        const int r = hosts.AddRow();
        hosts.Cell(u"Host", r).SetAsString(QString::fromUtf8(row[0]));
        hosts.Cell(u"IP", r).SetAsString(QString::fromLatin1(row[1]));
        hosts.Cell(u"N_group", r).SetAsString(QString::fromLatin1(row[2]));
        hosts.Cell(u"Status", r).SetAsString(QStringLiteral("OK"));
    }
    ApplyColumnVisibility(hosts, TSettings{});
    form.ShowGroupTree({{-1, QStringLiteral("Servers"), Group("Servers", "1")},
                        {0, QStringLiteral("Printers"), Group("Printers", "2")}});
    EXPECT_EQ(ShownHosts(hosts), (QStringList{"web#1", "mail#2"}));

    form.TreeView1->setCurrentItem(form.TreeView1->topLevelItem(0)->child(0));
    EXPECT_EQ(ShownHosts(hosts), (QStringList{"Принтер \"2\"#1"}));
    // The running number as the list paints it.
    EXPECT_EQ(hosts.GetCellDisplayText(hosts.ColumnIndex(u"number_"), 1), "1");

    form.resize(760, 420);
    form.PageControl1->setCurrentWidget(form.TabSheet1);
    form.show();
    QApplication::processEvents();
    EXPECT_TRUE(form.HostGridView->isVisible());
    EXPECT_GT(form.HostGridView->width(), form.TreeView1->width());
    if (const char* dir = std::getenv("ZT_SCREENSHOTS")) {
        form.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/HostList.png"));
    }
    form.hide();
}
