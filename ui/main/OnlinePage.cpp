// The online monitoring page's widgets and handlers; the refresh itself is core/OnlineMonitor.
#include "ui/main/OnlinePage.h"

#include "core/AlertPopupLogic.h"
#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/OnlineMonitor.h"
#include "core/SettingsModel.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "ui/main/HostActions.h"
#include "ui/main/LanguageTargets.h"
#include "ui/main/SettingsBinding.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace {

// The tree's two images: 0 a plain group, 1 a group with a down host.
QIcon GroupImage(int Index) {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.setBrush(Index == 1 ? QColor(0xE0, 0x20, 0x20) : QColor(0xE8, 0xC8, 0x60));
    painter.drawRoundedRect(QRectF(1.5, 3.5, 13, 10), 2, 2);
    return QIcon(picture);
}

} // namespace

TOnlinePage::TOnlinePage(QWidget& Page, TParts Parts) : FParts(std::move(Parts)) {
    auto* pageLayout = new QVBoxLayout(&Page);
    GroupBox5 = new QGroupBox(&Page);
    GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
    pageLayout->addWidget(GroupBox5);
    auto* box = new QVBoxLayout(GroupBox5);

    DownGrid = std::make_unique<TDataGrid>();
    DownGrid->setObjectName(QStringLiteral("DownGrid"));
    CreateDownGridColumns(*DownGrid);
    DownGridView = new TGxGridView(DownGrid.get(), GroupBox5);
    DownGridView->setObjectName(QStringLiteral("DownGrid"));
    DownGridView->setContextMenuPolicy(Qt::CustomContextMenu);
    // The viewport's own resize: its width is final by then.
    FViewport = DownGridView->viewport();
    FViewport->installEventFilter(this);
    Label20 = new QLabel(GroupBox5);
    Label20->setObjectName(QStringLiteral("Label20"));
    Label20->setTextFormat(Qt::PlainText);
    box->addWidget(Label20);
    box->addWidget(DownGridView, 1);
    DownGrid->OnSelectCell = [this](QObject*, int Col, int Row) {
        Guarded("TForm1.DownGridSelectCell", [&] { DownGridSelectCell(Col, Row); });
    };
    DownGrid->OnCellDblClick = [this](QObject*, int Col, int Row) {
        Guarded("TForm1.DownGridCellDblClick", [&] { DownGridCellDblClick(Col, Row); });
    };

    auto* row = new QHBoxLayout;
    AutoUpdate_CheckBox1 = new QCheckBox(GroupBox5);
    AutoUpdate_CheckBox1->setObjectName(QStringLiteral("AutoUpdate_CheckBox1"));
    AutoUpdate_CheckBox1->setChecked(true);
    SpinEdit1 = new QSpinBox(GroupBox5);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(1, 10000);
    SpinEdit1->setValue(30);
    Label19 = new QLabel(GroupBox5);
    Label19->setObjectName(QStringLiteral("Label19"));
    BitBtn35 = new QPushButton(GroupBox5);
    BitBtn35->setObjectName(QStringLiteral("BitBtn35"));
    BitBtn35->setAutoDefault(false);
    row->addWidget(AutoUpdate_CheckBox1);
    row->addWidget(SpinEdit1);
    row->addWidget(Label19);
    row->addStretch(1);
    row->addWidget(BitBtn35);
    box->addLayout(row);
    connect(BitBtn35, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.Timer7Timer", [this] { Timer7Timer(); }); });

    PopupMenu1 = new QMenu(DownGridView);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* Name, void (TOnlinePage::*Handler)()) {
        QAction* action = PopupMenu1->addAction(QString());
        action->setObjectName(QLatin1String(Name));
        connect(action, &QAction::triggered, this,
                [this, Name, Handler] { Guarded(Name, [&] { (this->*Handler)(); }); });
        return action;
    };
    MenuItem2 = item("MenuItem2", &TOnlinePage::MenuItem2Click);
    MenuItem3 = item("MenuItem3", &TOnlinePage::MenuItem3Click);
    MenuItem4 = item("MenuItem4", &TOnlinePage::MenuItem4Click);
    MenuItem5 = item("MenuItem5", &TOnlinePage::MenuItem5Click);
    MenuItem6 = item("MenuItem6", &TOnlinePage::MenuItem6Click);
    MenuItem7 = item("MenuItem7", &TOnlinePage::MenuItem7Click);
    MenuItem8 = item("MenuItem8", &TOnlinePage::MenuItem8Click);
    PopupMenu1->addSeparator();
    MenuItem1 = item("MenuItem1", &TOnlinePage::MenuItem1Click);
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        Guarded("TForm1.PopupMenu2Popup", [this] {
            if (FParts.PopupMenu2Popup)
                FParts.PopupMenu2Popup();
        });
    });
    connect(DownGridView, &QWidget::customContextMenuRequested, this, [this](const QPoint& At) {
        // The row under the pointer becomes the chosen one before the menu shows.
        const QPoint cell = DownGridView->GetCellAt(At);
        if (cell.y() >= 0 && cell.y() < DownGrid->RowCount())
            DownGrid->SelectCell(std::max(cell.x(), 0), cell.y());
        PopupMenu1->popup(DownGridView->mapToGlobal(At));
    });

    Timer7.setInterval(30000);
    Timer8.setInterval(5000);
    connect(&Timer7, &QTimer::timeout, this,
            [this] { Guarded("TForm1.Timer7Timer", [this] { Timer7Timer(); }); });
    connect(&Timer8, &QTimer::timeout, this,
            [this] { Guarded("TForm1.Timer8Timer", [this] { Timer8Timer(); }); });
    TranslateCaptions();
}

TOnlinePage::~TOnlinePage() {
    // The view stays with the page's widgets and follows the grid's end; a resize it makes then
    // must not reach this half-gone page.
    if (FViewport)
        FViewport->removeEventFilter(this);
}

void TOnlinePage::FormCreate(TSettingsModel& Settings) {
    BindCheckBox(*AutoUpdate_CheckBox1, Settings, &TSettings::AutoUpdate_CheckBox1);
    BindSpinBox(*SpinEdit1, Settings, &TSettings::SpinEdit1);
    Timer7.start();
    Timer8.start();
}

void TOnlinePage::TranslateCaptions() {
    GroupBox5->setTitle(LangText(17));
    AutoUpdate_CheckBox1->setText(LangText(54));
    Label19->setText(LangText(55));
    Label20->setText(LangText(57));
    BitBtn35->setText(LangText(56));
    MenuItem2->setText(LangText(252));
    MenuItem3->setText(LangText(254));
    MenuItem4->setText(LangText(255));
    MenuItem5->setText(LangText(256));
    MenuItem6->setText(LangText(259));
    MenuItem7->setText(LangText(260));
    MenuItem8->setText(LangText(261));
    MenuItem1->setText(LangText(32));
    const std::pair<int, int> headers[] = {{1, 47}, {4, 49}, {5, 52}, {9, 50}, {12, 45}, {18, 51}, {19, 53}};
    const QFontMetrics metrics(DownGridView->font());
    for (const auto& [column, line] : headers) {
        TGxCustomColumn* shown = DownGrid->Columns().GetColumn(column);
        shown->Header().SetCaption(LangText(line));
        // Wide enough for its caption, except the description, which takes the rest.
        if (column != OnlineColumn::Description)
            WidenColumnFor(*shown, metrics, LangText(line));
    }
}

void TOnlinePage::Timer7Timer() {
    Timer7.setInterval(SpinEdit1->value() * 1000);
    const int current = DownGrid->SelectedRow();
    if (current >= 0 && current < DownGrid->RowCount())
        DownGridRow = DownGrid->CellText(OnlineColumn::Kod, current);
    static const TGroupTree noNodes;
    const TGroupTree& tree = FParts.GroupTree ? FParts.GroupTree() : noNodes;
    FImages = FParts.Hosts ? RefreshOnlineGrid(*FParts.Hosts, *DownGrid, tree, CurrentOnlineStatusWords())
                           : std::vector<int>(tree.size(), 0);
    // The chosen host stays chosen wherever the refresh put it.
    const int again = FindOnlineRowByKod(*DownGrid, DownGridRow);
    if (again >= 0)
        DownGrid->SelectCell(std::max(DownGrid->SelectedColumn(), 0), again);
    ShowGroupImages();
}

void TOnlinePage::ShowGroupImages() {
    if (!FParts.TreeView1)
        return;
    for (QTreeWidgetItemIterator it(FParts.TreeView1); *it; ++it) {
        bool ok = false;
        const int node = (*it)->data(0, Qt::UserRole).toInt(&ok);
        const int image = ok && node >= 0 && node < int(FImages.size()) ? FImages[size_t(node)] : 0;
        if ((*it)->data(0, Qt::UserRole + 1) == image)
            continue;
        (*it)->setData(0, Qt::UserRole + 1, image);
        (*it)->setIcon(0, GroupImage(image));
    }
}

void TOnlinePage::Timer8Timer() {
    if (!AutoUpdate_CheckBox1->isChecked())
        Timer7.stop();
    else if (!Timer7.isActive())
        Timer7.start();
}

void TOnlinePage::DownGridSelectCell(int, int Row) {
    if (Row >= 0 && Row < DownGrid->RowCount())
        DownGridRow = DownGrid->CellText(OnlineColumn::Kod, Row);
}

void TOnlinePage::DownGridCellDblClick(int, int Row) {
    DownGridSelectCell(0, Row);
    if (HostActions().ShowHost && !DownGridRow.isEmpty())
        HostActions().ShowHost(DownGridRow, true);
}

bool TOnlinePage::eventFilter(QObject* Watched, QEvent* Event) {
    // Compared by address only: while the view is destroyed its viewport still sends events.
    if (FViewport && Watched == FViewport && Event->type() == QEvent::Resize)
        Guarded("TForm1.DownGridResize", [this] { DownGridResize(); });
    return QObject::eventFilter(Watched, Event);
}

void TOnlinePage::DownGridResize() {
    TGxCustomColumn* description = DownGrid->Columns().GetColumn(OnlineColumn::Description);
    const int width = OnlineDescriptionWidth(description->Width(), FViewport->width(),
                                             DownGrid->Columns().TotalVisibleWidth());
    description->SetWidth(std::max(width, description->MinWidth()));
}

QString TOnlinePage::ChosenText(int Column) const {
    const int row = FindOnlineRowByKod(*DownGrid, DownGridRow);
    return row >= 0 ? DownGrid->CellText(Column, row) : QString();
}

void TOnlinePage::MenuItem2Click() {
    const QString url = ExploreUrl(ChosenText(OnlineColumn::Address));
    if (!url.isEmpty() && HostActions().OpenUrl)
        HostActions().OpenUrl(url);
}

void TOnlinePage::MenuItem3Click() {
    if (!ChosenText(OnlineColumn::Kod).isEmpty() && HostActions().PingHost)
        HostActions().PingHost(ChosenText(OnlineColumn::Address), ChosenText(OnlineColumn::Host));
}

void TOnlinePage::MenuItem4Click() {
    if (!ChosenText(OnlineColumn::Kod).isEmpty() && HostActions().TraceRoute)
        HostActions().TraceRoute(ChosenText(OnlineColumn::Address), ChosenText(OnlineColumn::Host));
}

void TOnlinePage::MenuItem5Click() {
    if (!ChosenText(OnlineColumn::Kod).isEmpty() && HostActions().SnmpCheck)
        HostActions().SnmpCheck(ChosenText(OnlineColumn::Address), ChosenText(OnlineColumn::Community));
}

void TOnlinePage::MenuItem6Click() {
    const QString address = SafeHostArgument(ChosenText(OnlineColumn::Address));
    if (!address.isEmpty() && HostActions().Telnet)
        HostActions().Telnet(address);
}

void TOnlinePage::MenuItem7Click() {
    const QString kod = ChosenText(OnlineColumn::Kod);
    if (!kod.isEmpty() && HostActions().OpenLogs)
        HostActions().OpenLogs(kod);
}

void TOnlinePage::MenuItem8Click() {
    if (!ChosenText(OnlineColumn::Kod).isEmpty() && HostActions().ViewSyslog)
        HostActions().ViewSyslog(ChosenText(OnlineColumn::Address));
}

void TOnlinePage::MenuItem1Click() {
    // The host table's "View Log", for the online row's host rather than the host table's row.
    MenuItem7Click();
}
