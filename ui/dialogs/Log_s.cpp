// The per-host event log viewer.
#include "ui/dialogs/Log_s.h"

#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/LogGrids.h"
#include "core/LogPages.h"
#include "core/MonitorServices.h"
#include "grid/GxColumns.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TLogs* Logs = nullptr;

TLogs::TLogs(TMonitorServices& Services, QWidget* parent)
    : QDialog(parent), FGrid(std::make_unique<TDataGrid>()), FServices(&Services) {
    setObjectName(QStringLiteral("Logs"));
    setWindowTitle(QStringLiteral("Logs"));
    resize(760, 420);
    auto* layout = new QVBoxLayout(this);
    // The frame and the clear button show the language lines of the main window's "View Log" and
    // "Clear all logs", so their English captions are those texts.
    GroupBox1 = new QGroupBox(QStringLiteral("View Log"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* box = new QVBoxLayout(GroupBox1);
    FGrid->setObjectName(QStringLiteral("Logs_grid"));
    CreateEventLogGridColumns(*FGrid);
    const QString headers[] = {QStringLiteral("#"), QStringLiteral("Date\\Time"), QStringLiteral("Host Name"),
                               QStringLiteral("IP or domain name"), QStringLiteral("Status")};
    const int widths[] = {40, 140, 160, 150, 220, 0, 0};
    for (int col = 0; col < FGrid->ColumnCount(); ++col) {
        if (col < 5)
            FGrid->Columns().GetColumn(col)->Header().SetCaption(headers[col]);
        FGrid->Columns().GetColumn(col)->SetWidth(widths[col]);
    }
    FGrid->Columns().GetColumn(5)->SetVisible(false);
    FGrid->Columns().GetColumn(6)->SetVisible(false);
    FGrid->SetOptions(FGrid->Options() | goGrid | goSelectFullRow);
    FGrid->SetReadOnly(true);
    Logs_gridView = new TGxGridView(FGrid.get(), GroupBox1);
    Logs_gridView->setObjectName(QStringLiteral("Logs_grid"));
    box->addWidget(Logs_gridView);
    layout->addWidget(GroupBox1, 1);
    auto* row = new QHBoxLayout;
    BitBtn2 = new QPushButton(QStringLiteral("Clear all logs"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn1 = new QPushButton(LangText(136), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    row->addWidget(BitBtn2);
    row->addStretch(1);
    row->addWidget(BitBtn1);
    layout->addLayout(row);
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guarded("TLogs.BitBtn1Click", [this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guarded("TLogs.BitBtn2Click", [this] { BitBtn2Click(); }); });
}

TLogs::~TLogs() = default;

void TLogs::FormCreate() {}

void TLogs::ShowOnlyHost(const QString& HostId) {
    FHostId = HostId;
    LoadLogGrid(lkEvents, HostEventsStatement(HostId), *FGrid);
}

void TLogs::ExecHostLogs(const QString& HostId) {
    ShowOnlyHost(HostId);
    exec();
}

void TLogs::BitBtn1Click() {
    accept();
}

void TLogs::BitBtn2Click() {
    // The host this viewer shows, whichever host the host table has selected meanwhile.
    ClearHostEvents(FHostId, *FGrid, &FServices->DataGrid1());
}
