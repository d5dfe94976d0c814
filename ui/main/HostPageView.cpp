// The hosts page: widgets, menus and handlers over core/HostPage's table work.
#include "ui/main/HostPageView.h"

#include "core/AlertPopupLogic.h"
#include "core/DataFolder.h"
#include "core/DatabaseLoader.h"
#include "core/ExceptionGuard.h"
#include "core/HostDialogPreset.h"
#include "core/HostGrid.h"
#include "core/HostGridColumns.h"
#include "core/HostPage.h"
#include "core/HostStore.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"
#include "core/SettingsFiles.h"
#include "core/TextConversions.h"
#include "desktop/DragDropText.h"
#include "grid/GxColumnClasses.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "ui/common/Widgets.h"
#include "ui/main/HostActions.h"
#include "ui/main/LanguageTargets.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>

Q_DECLARE_METATYPE(std::shared_ptr<TGroupNodeRecord>)

namespace {

// What the filled description column leaves free at the row's right end.
constexpr int NoteColumnMargin = 20;

// What the host and description columns need for the shown rows. A fit reads every shown row, so
// it is kept on the view for the resizes in between, and taken again when the shown rows change
// or their count does (a load, a filter).
int FitWidth(TGxGridView& View, TDataGrid& Hosts, const char16_t* Column, bool Measure) {
    const QByteArray key = "fitWidth:" + QString::fromUtf16(Column).toLatin1();
    const QByteArray rowsKey = key + ":rows";
    const qint64 rows = qint64(Hosts.RowCount()) << 32 | quint32(Hosts.VisibleRowCount());
    const QVariant kept = View.property(key.constData());
    if (kept.isValid() && !Measure && View.property(rowsKey.constData()).toLongLong() == rows) {
        return kept.toInt();
    }
    const TGxCustomColumn* column = Hosts.Columns().ColumnByName(Column);
    const int width = column ? View.BestFitWidth(column->Index(), bfAll, true) : 0;
    View.setProperty(key.constData(), width);
    View.setProperty(rowsKey.constData(), rows);
    return width;
}

// The help page of Reference2Click.
const char* const HelpPage = "https://example.org/zorvanite-tarnequill/help";

// Host types shipped with the program, in type order; the filter's last item is "All".
const char* const ShippedTypes[] = {"Server", "Router", "Switch", "Printer", "Workstation"};

QAction* MakeAction(QMenu* Menu, const char* Name, const QString& Caption) {
    QAction* action = Menu->addAction(Caption);
    action->setObjectName(QLatin1String(Name));
    return action;
}

// The handler's work, guarded under the handler's name.
template <class F> auto Handler(const char* Name, F&& Body) {
    return [Name, Body = std::forward<F>(Body)] {
        Guarded(Name, Body);
    };
}

// An action that needs a chosen group or host says what is missing instead of doing nothing.
void SayNoGroup() {
    ShowMessageBox(LangText(LangLine::NoGroupChosen));
}

void SayNoHost() {
    ShowMessageBox(LangText(LangLine::NoHostChosen));
}

int DepthOf(const QTreeWidgetItem* Item) {
    int depth = 0;
    for (const QTreeWidgetItem* p = Item->parent(); p; p = p->parent()) {
        ++depth;
    }
    return depth;
}

} // namespace

THostPageView::THostPageView(TMonitorServices& Services, const TParts& Parts, QObject* Parent)
    : QObject(Parent), FParts(Parts), FServices(&Services), FGroupList(std::make_unique<TDataGrid>()) {
    setObjectName(QStringLiteral("HostPage"));
    FGroupList->AddColumn<TGxNumberColumn>(QStringLiteral("N_group"));
    FGroupList->AddColumn<TGxTextColumn>(QStringLiteral("Name"));
    FGroupList->AddColumn<TGxTextColumn>(QStringLiteral("parent_id"));
    auto* layout = new QHBoxLayout(FParts.Page);
    CreateGroupBox();
    layout->addWidget(GroupBox2, 1);
    GroupBox3 = Make<QGroupBox>("GroupBox3", FParts.Page);
    GroupBox3->setTitle(LangText(10));
    layout->addWidget(GroupBox3, 4);
    CreateHostMenu();
    if (FParts.MenuBar) {
        CreateMainMenu(FParts.MenuBar);
    }
    FDropSource = new TDropTextSource(this);
    FDropSource->setObjectName(QStringLiteral("DropTextSource"));
    FDropSource->SetDragTypes({dtCopy});
    FDropTarget = new TDropTextTarget(this);
    FDropTarget->setObjectName(QStringLiteral("DropTextTarget"));
    FDropTarget->SetDragTypes({dtCopy, dtLink});
    FDropTarget->SetTarget(TreeView1);
    FDropTarget->OnDrop = [this](QObject*, TShiftState, QPoint APoint, uint32_t&) {
        Guarded("TForm1.DropTextTargetDrop", [&] { DropTextTargetDrop(APoint); });
    };
}

THostPageView::~THostPageView() {
    // The grids outlive the page: their hooks must not reach it any more.
    TDataGrid& hosts = FServices->DataGrid1();
    hosts.OnCellClick = {};
    hosts.OnCellDblClick = {};
    hosts.OnColumnResize = {};
    if (FLogsGrid) {
        FLogsGrid->OnCellDblClick = {};
    }
    // The list stays with the page's widgets (it follows its grid's end on its own); none of its
    // later events may reach the filter. The drop target, a child, goes with this object.
    if (FGridViewport) {
        FGridViewport->removeEventFilter(this);
        HostGridView->removeEventFilter(this);
    }
}

void THostPageView::CreateGroupBox() {
    GroupBox2 = Make<QGroupBox>("GroupBox2", FParts.Page);
    GroupBox2->setTitle(LangText(15));
    auto* layout = new QVBoxLayout(GroupBox2);
    TreeView1 = Make<QTreeWidget>("TreeView1", GroupBox2);
    TreeView1->setHeaderHidden(true);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(TreeView1, 1);
    Label12 = Make<QLabel>("Label12", GroupBox2);
    Label12->hide();
    auto* buttons = new QGridLayout;
    BitBtn9 = MakeButton("BitBtn9", LangText(24), GroupBox2);
    BitBtn10 = MakeButton("BitBtn10", LangText(25), GroupBox2);
    BitBtn11 = MakeButton("BitBtn11", LangText(26), GroupBox2);
    BitBtn28 = MakeButton("BitBtn28", LangText(27), GroupBox2);
    BitBtn29 = MakeButton("BitBtn29", LangText(28), GroupBox2);
    BitBtn12 = MakeButton("BitBtn12", LangText(29), GroupBox2);
    buttons->addWidget(BitBtn9, 0, 0, 1, 2);
    buttons->addWidget(BitBtn11, 1, 0, 1, 2);
    buttons->addWidget(BitBtn10, 2, 0, 1, 2);
    buttons->addWidget(BitBtn28, 3, 0);
    buttons->addWidget(BitBtn29, 3, 1);
    buttons->addWidget(BitBtn12, 4, 0, 1, 2);
    layout->addLayout(buttons);

    PopupMenu3 = new QMenu(TreeView1);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    Createnewgroup1 = MakeAction(PopupMenu3, "Createnewgroup1", LangText(24));
    Createsubgroup1 = MakeAction(PopupMenu3, "Createsubgroup1", LangText(382));
    Renamegroup1 = MakeAction(PopupMenu3, "Renamegroup1", LangText(26));
    Deletegroup1 = MakeAction(PopupMenu3, "Deletegroup1", LangText(25));
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& Point) { PopupMenu3->popup(TreeView1->viewport()->mapToGlobal(Point)); });
}

void THostPageView::CreateHostBox(QWidget* Box, QPushButton* BitBtn3, QPushButton* BitBtn6) {
    auto* layout = new QVBoxLayout(Box);
    auto* filters = new QHBoxLayout;
    auto label = [Box](const char* Name, int Line) {
        auto* caption = Make<QLabel>(Name, Box);
        caption->setTextFormat(Qt::PlainText);
        caption->setText(LangText(Line));
        return caption;
    };
    auto filter = [&](QWidget* Control, const char* Name, int Line) {
        filters->addWidget(label(Name, Line));
        filters->addWidget(Control, 1);
    };
    Edit1 = Make<QLineEdit>("Edit1", Box);
    Edit2 = Make<QLineEdit>("Edit2", Box);
    ComboBox1 = Make<QComboBox>("ComboBox1", Box);
    Edit4 = Make<QLineEdit>("Edit4", Box);
    ComboBox2 = Make<QComboBox>("ComboBox2", Box);
    for (const char* type : ShippedTypes) {
        ComboBox1->addItem(QString::fromLatin1(type));
    }
    ComboBox1->addItem(LangText(283));
    ComboBox1->setCurrentIndex(ComboBox1->count() - 1);
    FillStatusFilter();
    // The filters share the row's width rather than widening the page to their longest item.
    for (QComboBox* combo : {ComboBox1, ComboBox2}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(6);
    }
    filters->addWidget(label("Label18", 44));
    filter(Edit1, "Label1", 39);
    filter(Edit2, "Label9", 40);
    filter(ComboBox1, "Label11", 41);
    filter(Edit4, "Label17", 42);
    filter(ComboBox2, "Label21", 43);
    layout->addLayout(filters);

    HostGridView = new TGxGridView(&Hosts(), Box);
    HostGridView->setObjectName(QStringLiteral("DataGrid1"));
    HostGridView->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(HostGridView, 1);

    // Two rows, so the page fits a narrow screen: the host buttons, then the monitoring ones.
    auto* buttons = new QHBoxLayout;
    Add_b = MakeButton("Add_b", LangText(30), Box);
    BitBtn1 = MakeButton("BitBtn1", LangText(31), Box);
    Edit_b = MakeButton("Edit_b", LangText(32), Box);
    Delete_b = MakeButton("Delete_b", LangText(33), Box);
    DeleteAll_b = MakeButton("DeleteAll_b", LangText(35), Box);
    BitBtn8 = MakeButton("BitBtn8", LangText(46), Box);
    for (QPushButton* button : {Add_b, BitBtn1, Edit_b, Delete_b, DeleteAll_b, BitBtn8}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);
    FMonitorButtons = new QHBoxLayout;
    FMonitorButtons->addStretch(1);
    for (QPushButton* button : {BitBtn3, BitBtn6}) {
        if (button) {
            button->setParent(Box);
            FMonitorButtons->addWidget(button);
        }
    }
    layout->addLayout(FMonitorButtons);
    PlaceStartStop(FStartStop);
}

void THostPageView::PlaceStartStop(QPushButton* BitBtn2) {
    // The button box is made in FormCreate; a button handed over before waits for it.
    FStartStop = BitBtn2;
    if (!FStartStop || !FMonitorButtons)
        return;
    FStartStop->setParent(FMonitorButtons->parentWidget());
    FMonitorButtons->insertWidget(1, FStartStop);
}

void THostPageView::SetHostHeaderCaptions() {
    const std::pair<const char*, int> headers[] = {
        {"Host", 47},  {"HType", 48},  {"Htype2", 48},   {"IP", 49},       {"Kol_vo_p", 50},
        {"Note_", 51}, {"Status", 52}, {"TimeDown", 53}, {"Date_Pod", 95}, {"Enabled", 46}};
    const QFontMetrics metrics(HostGridView->font());
    auto caption = [&metrics](TGxCustomColumn* Column, const QString& Text) {
        Column->Header().SetCaption(Text);
        // Wide enough for its caption; a saved layout may still narrow it.
        WidenColumnFor(*Column, metrics, Text);
    };
    for (const auto& [name, line] : headers) {
        if (TGxCustomColumn* column = Hosts().Columns().ColumnByName(QLatin1String(name)))
            caption(column, LangText(line));
    }
    if (TGxCustomColumn* column = Hosts().Columns().ColumnByName(u"Kod_"))
        caption(column, QStringLiteral("ID"));
}

void THostPageView::CreateHostMenu() {
    PopupMenu2 = new QMenu(FParts.Page);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Edit3 = MakeAction(PopupMenu2, "Edit3", LangText(251));
    Explorehost1 = MakeAction(PopupMenu2, "Explorehost1", LangText(252));
    CMDPing1 = MakeAction(PopupMenu2, "CMDPing1", LangText(253));
    N1 = MakeAction(PopupMenu2, "N1", LangText(254));
    raceroute1 = MakeAction(PopupMenu2, "raceroute1", LangText(255));
    Checknow1 = MakeAction(PopupMenu2, "Checknow1", LangText(256));
    Portmonitoring2 = MakeAction(PopupMenu2, "Portmonitoring2", LangText(257));
    Latencymonitoring1 = MakeAction(PopupMenu2, "Latencymonitoring1", LangText(258));
    elnet1 = MakeAction(PopupMenu2, "elnet1", LangText(259));
    Logs1 = MakeAction(PopupMenu2, "Logs1", LangText(260));
    LookSyslog1 = MakeAction(PopupMenu2, "LookSyslog1", LangText(261));
    connect(PopupMenu2, &QMenu::aboutToShow, this,
            Handler("TForm1.PopupMenu2Popup", [this] { PopupMenu2Popup(); }));
}

void THostPageView::CreateMainMenu(QMenuBar* MenuBar) {
    ools1 = MenuBar->addMenu(LangText(3));
    ools1->setObjectName(QStringLiteral("ools1"));
    Pingtool1 = MakeAction(ools1, "Pingtool1", LangText(4));
    raceroutetool1 = MakeAction(ools1, "raceroutetool1", LangText(5));
    SNMP1 = MakeAction(ools1, "SNMP1", LangText(6));
    Help1 = MenuBar->addMenu(LangText(7));
    Help1->setObjectName(QStringLiteral("Help1"));
    Reference2 = MakeAction(Help1, "Reference2", LangText(8));
    Reference1 = MakeAction(Help1, "Reference1", LangText(9));
    connect(ools1, &QMenu::aboutToShow, this, [this] { UpdateToolItems(); });
}

void THostPageView::FormCreate(QPushButton* BitBtn3, QPushButton* BitBtn6, TDataGrid* Logs_grid) {
    FLogsGrid = Logs_grid;
    CreateHostBox(GroupBox3, BitBtn3, BitBtn6);
    SetHostHeaderCaptions();
    Hosts().SetOptions(Hosts().Options() | goMultiSelect | goSelectFullRow);
    ConnectHandlers();
    UpdateToolItems();
    HostActions().SetSelectedGroup = [](int Group) {
        HostView.SelectedGroup = Group;
    };
    HostActions().EditHost = [this](const QString& Kod) {
        const int row = FindHostRowByKod(Hosts(), Kod);
        if (row >= 0 && Hosts().GetRowVisible(row)) {
            for (int r = 0; r < Hosts().RowCount(); ++r) {
                Hosts().SetRowSelected(r, r == row);
            }
            Hosts().SetSelectedRow(row);
            Edit_bClick();
        }
    };
    if (FLogsGrid) {
        FLogsGrid->OnCellDblClick = [this](QObject*, int Col, int Row) {
            Guarded("TForm1.Logs_gridCellDblClick", [&] { Logs_gridCellDblClick(Col, Row); });
        };
    }
}

TDataGrid& THostPageView::Hosts() {
    return FServices->DataGrid1();
}

void THostPageView::ConnectHandlers() {
    auto click = [this](QPushButton* Button, const char* Name, void (THostPageView::*Method)()) {
        connect(Button, &QPushButton::clicked, this, Handler(Name, [this, Method] { (this->*Method)(); }));
    };
    auto trigger = [this](QAction* Action, const char* Name, void (THostPageView::*Method)()) {
        if (Action) {
            connect(Action, &QAction::triggered, this, Handler(Name, [this, Method] { (this->*Method)(); }));
        }
    };
    click(Add_b, "TForm1.Add_bClick", &THostPageView::Add_bClick);
    click(Edit_b, "TForm1.Edit_bClick", &THostPageView::Edit_bClick);
    click(Delete_b, "TForm1.Delete_bClick", &THostPageView::Delete_bClick);
    click(DeleteAll_b, "TForm1.DeleteAll_bClick", &THostPageView::DeleteAll_bClick);
    click(BitBtn1, "TForm1.BitBtn1Click", &THostPageView::BitBtn1Click);
    click(BitBtn8, "TForm1.BitBtn8Click", &THostPageView::BitBtn8Click);
    click(BitBtn9, "TForm1.Createnewgroup1Click", &THostPageView::Createnewgroup1Click);
    click(BitBtn10, "TForm1.Deletegroup1Click", &THostPageView::Deletegroup1Click);
    click(BitBtn11, "TForm1.Renamegroup1Click", &THostPageView::Renamegroup1Click);
    click(BitBtn28, "TForm1.BitBtn28Click", &THostPageView::BitBtn28Click);
    click(BitBtn29, "TForm1.BitBtn29Click", &THostPageView::BitBtn29Click);
    click(BitBtn12, "TForm1.BitBtn12Click", &THostPageView::BitBtn12Click);
    trigger(Createnewgroup1, "TForm1.Createnewgroup1Click", &THostPageView::Createnewgroup1Click);
    trigger(Createsubgroup1, "TForm1.Createsubgroup1Click", &THostPageView::Createsubgroup1Click);
    trigger(Renamegroup1, "TForm1.Renamegroup1Click", &THostPageView::Renamegroup1Click);
    trigger(Deletegroup1, "TForm1.Deletegroup1Click", &THostPageView::Deletegroup1Click);
    trigger(Edit3, "TForm1.Edit3Click", &THostPageView::Edit3Click);
    trigger(Explorehost1, "TForm1.Explorehost1Click", &THostPageView::Explorehost1Click);
    trigger(CMDPing1, "TForm1.CMDPing1Click", &THostPageView::CMDPing1Click);
    trigger(N1, "TForm1.N1Click", &THostPageView::N1Click);
    trigger(raceroute1, "TForm1.raceroute1Click", &THostPageView::raceroute1Click);
    trigger(Checknow1, "TForm1.Checknow1Click", &THostPageView::Checknow1Click);
    trigger(Portmonitoring2, "TForm1.Portmonitoring2Click", &THostPageView::Portmonitoring2Click);
    trigger(Latencymonitoring1, "TForm1.Latencymonitoring1Click", &THostPageView::Latencymonitoring1Click);
    trigger(elnet1, "TForm1.elnet1Click", &THostPageView::elnet1Click);
    trigger(Logs1, "TForm1.Logs1Click", &THostPageView::Logs1Click);
    trigger(LookSyslog1, "TForm1.LookSyslog1Click", &THostPageView::LookSyslog1Click);
    trigger(raceroutetool1, "TForm1.raceroutetool1Click", &THostPageView::raceroutetool1Click);
    trigger(Pingtool1, "TForm1.Pingtool1Click", &THostPageView::Pingtool1Click);
    trigger(SNMP1, "TForm1.SNMP1Click", &THostPageView::SNMP1Click);
    trigger(Reference1, "TForm1.Reference1Click", &THostPageView::Reference1Click);
    trigger(Reference2, "TForm1.Reference2Click", &THostPageView::Reference2Click);

    connect(Edit1, &QLineEdit::textChanged, this, Handler("TForm1.Edit1Change", [this] { Edit1Change(); }));
    connect(Edit2, &QLineEdit::textChanged, this, Handler("TForm1.Edit2Change", [this] { Edit2Change(); }));
    connect(Edit4, &QLineEdit::textChanged, this, Handler("TForm1.Edit4Change", [this] { Edit4Change(); }));
    connect(ComboBox1, &QComboBox::currentIndexChanged, this,
            Handler("TForm1.ComboBox1Change", [this] { ComboBox1Change(); }));
    connect(ComboBox2, &QComboBox::currentIndexChanged, this,
            Handler("TForm1.ComboBox2Change", [this] { ComboBox2Change(); }));
    // A click on the chosen node chooses it again (after "Show all hosts"); keys choose too.
    connect(TreeView1, &QTreeWidget::itemClicked, this,
            Handler("TForm1.TreeView1Click", [this] { TreeView1Click(); }));
    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            Handler("TForm1.TreeView1Click", [this] { TreeView1Click(); }));

    TDataGrid& hosts = Hosts();
    hosts.OnCellClick = [this](QObject*, int Col, int Row) {
        Guarded("TForm1.DataGrid1CellClick", [&] { DataGrid1CellClick(Col, Row); });
    };
    hosts.OnCellDblClick = [this](QObject*, int, int) {
        Guarded("TForm1.DataGrid1DblClick", [this] { Edit_bClick(); });
    };
    hosts.OnColumnResize = [this](QObject*, int) {
        Guarded("TForm1.DataGrid1ColumnResize", [this] { DataGrid1ColumnResize(); });
    };
    connect(HostGridView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& Point) { PopupMenu2->popup(HostGridView->viewport()->mapToGlobal(Point)); });
    FGridViewport = HostGridView->viewport();
    HostGridView->installEventFilter(this);
    FGridViewport->installEventFilter(this);
}

bool THostPageView::eventFilter(QObject* Watched, QEvent* Event) {
    if (FGridViewport && Watched == FGridViewport && Event->type() == QEvent::Resize) {
        Guarded("TForm1.DataGrid1Resize", [this] { DataGrid1Resize(); });
        return false;
    }
    if (FGridViewport && Watched == FGridViewport && Event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
        bool dragged = false;
        const QPoint point = static_cast<QMouseEvent*>(Event)->position().toPoint();
        Guarded("TForm1.DataGrid1MouseDown", [&] { dragged = DataGrid1MouseDown(point); });
        // A press that became a drag is done; any other goes on to the list.
        return dragged;
    }
    return QObject::eventFilter(Watched, Event);
}

// ---- the group tree -----------------------------------------------------------------------------

std::shared_ptr<TGroupNodeRecord> THostPageView::NodeRecord(const QTreeWidgetItem* Item) {
    if (!Item) {
        return {};
    }
    return Item->data(0, Qt::UserRole).value<std::shared_ptr<TGroupNodeRecord>>();
}

QTreeWidgetItem* THostPageView::AddNode(QTreeWidgetItem* Parent, std::shared_ptr<TGroupNodeRecord> Record) {
    auto* item = Parent ? new QTreeWidgetItem(Parent) : new QTreeWidgetItem(TreeView1);
    item->setText(0, Record->Name);
    item->setData(0, Qt::UserRole, QVariant::fromValue(std::move(Record)));
    return item;
}

void THostPageView::ShowGroupTree(const TGroupTree& Nodes) {
    QSignalBlocker blocker(TreeView1);
    TreeView1->clear();
    std::vector<QTreeWidgetItem*> items;
    for (const TGroupTreeNode& node : Nodes) {
        auto record = node.Record ? node.Record : std::make_shared<TGroupNodeRecord>();
        QTreeWidgetItem* parent =
            node.ParentIndex >= 0 && node.ParentIndex < int(items.size()) ? items[node.ParentIndex] : nullptr;
        QTreeWidgetItem* item = AddNode(parent, record);
        item->setText(0, node.Caption);
        items.push_back(item);
    }
    if (!items.empty()) {
        TreeView1->setCurrentItem(items.front());
    }
    blocker.unblock();
    // The loader shows the first group's hosts; the view state follows it.
    if (!items.empty()) {
        TreeView1Click();
    }
}

TGroupTree THostPageView::GroupTree() const {
    TGroupTree nodes;
    std::vector<const QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
        const QTreeWidgetItem* item = *it;
        TGroupTreeNode node;
        node.Caption = item->text(0);
        node.Record = NodeRecord(item);
        for (int i = 0; i < int(items.size()); ++i) {
            if (items[i] == item->parent()) {
                node.ParentIndex = i;
            }
        }
        items.push_back(item);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

QTreeWidgetItem* THostPageView::NodeOfGroup(const QString& Group) const {
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
        const auto record = NodeRecord(*it);
        if (record && record->Group == Group) {
            return *it;
        }
    }
    return nullptr;
}

QString THostPageView::NodePath(const QTreeWidgetItem* Item) const {
    QStringList captions;
    for (; Item; Item = Item->parent()) {
        captions.prepend(Item->text(0));
    }
    return GroupPath(captions);
}

void THostPageView::RestoreTreeExpansion() {
    const auto bytes = ReadSettingsFile(DataFolder() + QStringLiteral("tr_ex.cnfg"));
    if (!bytes) {
        return;
    }
    const std::vector<bool> flags = ParseTreeExpansion(*bytes);
    size_t index = 0;
    for (QTreeWidgetItemIterator it(TreeView1); *it && index < flags.size(); ++it, ++index) {
        (*it)->setExpanded(flags[index]);
    }
}

void THostPageView::SaveTreeExpansion() {
    std::vector<bool> flags;
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
        flags.push_back((*it)->isExpanded());
    }
    WriteFileAtomic(DataFolder() + QStringLiteral("tr_ex.cnfg"), TreeExpansionText(flags));
}

void THostPageView::SaveGroupList() {
    WriteFileAtomic(DataFolder() + QStringLiteral("lg_2.cnfg"), FGroupList->TextFileBytes(u',', 1, u'|'));
    SaveGroupTree();
}

void THostPageView::SaveGroupTree() {
    std::vector<TGroupListLine> lines;
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
        lines.push_back({DepthOf(*it), (*it)->text(0)});
    }
    WriteFileAtomic(DataFolder() + QStringLiteral("group_list.cnfg"), GroupListText(lines));
}

void THostPageView::RebuildGroupList() {
    FGroupList->ClearRows();
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
        const auto record = NodeRecord(*it);
        const int row = FGroupList->AddRow();
        FGroupList->GetCellObject(0, row).SetAsInteger(record ? TextToInt64(record->Group) : 0);
        FGroupList->SetCellText(1, row, (*it)->text(0));
        FGroupList->SetCellText(2, row, record ? record->ParentGroup : QString());
    }
}

void THostPageView::TreeChanged() {
    if (FParts.GroupTreeChanged) {
        FParts.GroupTreeChanged(GroupTree());
    }
}

void THostPageView::SaveViewState() {
    FServices->Settings().Update([](TSettings& S) {
        S.StatusFilterWord = HostView.StatusFilterWord;
        S.CurrentGroupText = HostView.CurrentGroupText;
        S.ShowAllHosts = HostView.ShowAllHosts;
    });
}

void THostPageView::ShowGroupBoxCaption(const QString& Path) {
    FCaptionPath = Path;
    GroupBox3->setTitle(LangText(10) + QStringLiteral(": ") + Path);
}

void THostPageView::FillStatusFilter() {
    ComboBox2->clear();
    for (int line : {277, 278, 279, 280, 281, 282, 283})
        ComboBox2->addItem(LangText(line));
    ComboBox2->setCurrentIndex(6);
}

void THostPageView::LanguageApplied() {
    // The box caption is made from a language line and what it shows, so it is made again.
    if (!FCaptionPath.isNull())
        ShowGroupBoxCaption(FCaptionPath);
    else if (FCaptionAllHosts)
        GroupBox3->setTitle(LangText(329));
    {
        const QSignalBlocker block(ComboBox2);
        FillStatusFilter();
        if (ComboBox1->count() > 0)
            ComboBox1->setItemText(ComboBox1->count() - 1, LangText(283));
    }
    // "All" is chosen without being applied: the list stays what its caption names, the chosen
    // group or every group (applied, "All" would list every group under a group's caption).
    HostView.StatusFilterWord = QString::number(ComboBox2->currentIndex());
    ShowViewRows();
    // The status words of the new language fit their column.
    TGxCustomColumn* status = HostGridView ? Hosts().Columns().ColumnByName(u"Status") : nullptr;
    if (status) {
        const QFontMetrics metrics(HostGridView->font());
        for (int line : {277, 278, 279, 280, 281, 399})
            WidenColumnFor(*status, metrics, LangText(line));
    }
}

void THostPageView::ShowViewRows() {
    if (HostView.ShowAllHosts) {
        ShowAllHosts(Hosts());
    } else {
        ShowGroupHosts(Hosts(), HostView.CurrentGroupText);
    }
    MeasureShownRows();
}

void THostPageView::TreeView1Click() {
    QTreeWidgetItem* item = TreeView1->currentItem();
    const auto record = NodeRecord(item);
    if (!record) {
        return;
    }
    HostView.ShowAllHosts = false;
    HostView.SelectedGroup = int(TextToInt64(record->Group));
    HostView.CurrentGroupText = QString::number(HostView.SelectedGroup);
    int index = 0;
    for (QTreeWidgetItemIterator it(TreeView1); *it && *it != item; ++it) {
        ++index;
    }
    Label12->setText(record->Group + u' ' + record->Name + u' ' + QString::number(index));
    ShowGroupBoxCaption(NodePath(item));
    TDataGrid& hosts = Hosts();
    ShowGroupHosts(hosts, HostView.CurrentGroupText);
    hosts.SetSelectedRow(-1);
    const int first = HostMenuRow(hosts);
    if (first >= 0 && HostGridView) {
        HostGridView->ScrollToRow(first);
    }
    MeasureShownRows();
    SaveViewState();
}

void THostPageView::BitBtn12Click() {
    ShowAllHosts(Hosts());
    FCaptionPath = QString();
    FCaptionAllHosts = true;
    GroupBox3->setTitle(LangText(329));
    HostView.ShowAllHosts = true;
    SaveViewState();
}

void THostPageView::Createnewgroup1Click() {
    const std::optional<QString> name = InputQuery(LangText(232), LangText(233), LangText(391));
    if (!name || name->isEmpty()) {
        return;
    }
    THostStore& store = FServices->HostStore();
    const qint64 number = store.MaxGroupNumber() + 1;
    if (!RunDatabaseStep("New group", [&] { store.InsertGroup(*name, number); })) {
        return;
    }
    auto record =
        std::make_shared<TGroupNodeRecord>(TGroupNodeRecord{*name, QString(), QString::number(number)});
    AddNode(nullptr, record);
    const int row = FGroupList->AddRow();
    FGroupList->GetCellObject(0, row).SetAsInteger(number);
    FGroupList->SetCellText(1, row, *name);
    SaveGroupList();
    TreeChanged();
}

void THostPageView::Createsubgroup1Click() {
    QTreeWidgetItem* parent = TreeView1->currentItem();
    const auto parentRecord = NodeRecord(parent);
    if (!parentRecord) {
        SayNoGroup();
        return;
    }
    const std::optional<QString> name = InputQuery(LangText(326), LangText(327), LangText(328));
    if (!name || name->isEmpty()) {
        return;
    }
    THostStore& store = FServices->HostStore();
    const qint64 number = store.MaxGroupNumber() + 1;
    if (!RunDatabaseStep("New sub-group", [&] { store.InsertGroup(*name, number, parentRecord->Group); })) {
        return;
    }
    AddNode(parent, std::make_shared<TGroupNodeRecord>(
                        TGroupNodeRecord{*name, parentRecord->Group, QString::number(number)}));
    parent->setExpanded(true);
    const int row = FGroupList->AddRow();
    FGroupList->GetCellObject(0, row).SetAsInteger(number);
    FGroupList->SetCellText(1, row, *name);
    FGroupList->SetCellText(2, row, parentRecord->Group);
    SaveGroupList();
    TreeChanged();
}

void THostPageView::Renamegroup1Click() {
    QTreeWidgetItem* item = TreeView1->currentItem();
    const auto record = NodeRecord(item);
    if (!record) {
        SayNoGroup();
        return;
    }
    const std::optional<QString> name = InputQuery(LangText(326), LangText(327), item->text(0));
    if (!name || name->isEmpty()) {
        return;
    }
    if (!RunDatabaseStep("Rename group", [&] { FServices->HostStore().RenameGroup(record->Group, *name); })) {
        return;
    }
    item->setText(0, *name);
    record->Name = *name;
    // The caption names the chosen group by its path, which may pass through this node.
    if (!HostView.ShowAllHosts && TreeView1->currentItem()) {
        ShowGroupBoxCaption(NodePath(TreeView1->currentItem()));
    }
    SaveGroupTree();
    TreeChanged();
}

void THostPageView::Deletegroup1Click() {
    QTreeWidgetItem* item = TreeView1->currentItem();
    const auto record = NodeRecord(item);
    if (!record) {
        SayNoGroup();
        return;
    }
    // Refused before monitoring is touched.
    if (item->childCount() > 0) {
        ShowMessageBox(LangText(325));
        return;
    }
    int nodes = 0;
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
        ++nodes;
    }
    if (nodes < 2) {
        ShowMessageBox(LangText(324));
        return;
    }
    const QString group = record->Group;
    FServices->Controller().RunWithMonitoringPaused([&] {
        TDataGrid& hosts = Hosts();
        const std::vector<int> rows = RowsOfGroup(hosts, group);
        IHostLoadProgress* progress = FServices->Roles().Progress();
        if (progress) {
            progress->SetCaption(QStringLiteral("Deleting... "));
            progress->SetMaximum(std::max(0, hosts.RowCount() - 1));
            progress->ShowProgress();
        }
        int step = 0;
        const int deleted = DeleteHostRows(hosts, FServices->HostStore(), rows, [&] {
            if (progress) {
                progress->SetPosition(step++);
            }
        });
        RenumberShownRows(hosts);
        if (progress) {
            progress->CloseProgress();
        }
        // A group keeps its row while any of its hosts could not go.
        if (deleted != int(rows.size())) {
            return;
        }
        if (!RunDatabaseStep("Delete group", [&] { FServices->HostStore().DeleteGroup(group); })) {
            return;
        }
        delete item;
        SaveGroupTree();
        TreeChanged();
    });
}

void THostPageView::BitBtn28Click() {
    MoveGroupNode(-1);
}

void THostPageView::BitBtn29Click() {
    MoveGroupNode(+1);
}

void THostPageView::MoveGroupNode(int Step) {
    QTreeWidgetItem* item = TreeView1->currentItem();
    const auto record = NodeRecord(item);
    if (!record) {
        SayNoGroup();
        return;
    }
    QTreeWidgetItem* parent = item->parent();
    const int count = parent ? parent->childCount() : TreeView1->topLevelItemCount();
    const int index = parent ? parent->indexOfChild(item) : TreeView1->indexOfTopLevelItem(item);
    const int target = index + Step;
    // The stored rows swap with the sibling the node passes, so the next load shows this order.
    if (target >= 0 && target < count) {
        QTreeWidgetItem* sibling = parent ? parent->child(target) : TreeView1->topLevelItem(target);
        const auto other = NodeRecord(sibling);
        if (other && SwapGroupRows(FServices->HostStore(), record->Group, other->Group)) {
            const QSignalBlocker blocker(TreeView1);
            const bool expanded = item->isExpanded();
            if (parent) {
                parent->insertChild(target, parent->takeChild(index));
            } else {
                TreeView1->insertTopLevelItem(target, TreeView1->takeTopLevelItem(index));
            }
            item->setExpanded(expanded);
            TreeView1->setCurrentItem(item);
        }
    }
    RebuildGroupList();
    SaveGroupList();
    TreeChanged();
}

// ---- the host list ------------------------------------------------------------------------------

QStringList THostPageView::SoundFiles() const {
    return QDir(DataFolder() + QStringLiteral("Sounds"))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

void THostPageView::OpenHost(const THostDialogPreset& Preset) {
    if (OpenHostDialog) {
        OpenHostDialog(Preset);
    } else if (IHostDialog* dialog = FServices->Roles().HostDialog();
               dialog && dialog->OpenHost(Preset) == QDialog::Accepted) {
        ShowGroupOfDialog(dialog->HostGroup());
    }
}

void THostPageView::ShowGroupOfDialog(int Group) {
    // OK lists the hosts of the dialog's group; the tree and the caption follow it there.
    if (HostView.ShowAllHosts) {
        BitBtn12Click();
        return;
    }
    QTreeWidgetItem* node = NodeOfGroup(QString::number(Group));
    if (node && node != TreeView1->currentItem()) {
        TreeView1->setCurrentItem(node);
    } else if (node) {
        TreeView1Click();
    }
}

void THostPageView::Add_bClick() {
    // A host always goes into a group: without a chosen node there is nothing to add to.
    QTreeWidgetItem* node = TreeView1->currentItem();
    if (!NodeRecord(node)) {
        SayNoGroup();
        return;
    }
    THostDialogPreset preset;
    preset.Mode = THostDialogPreset::TMode::Add;
    preset.Caption = LangText(285);
    preset.GroupPath = NodePath(node);
    preset.GroupNumber = HostView.SelectedGroup;
    preset.SoundFiles = SoundFiles();
    preset.DownSound = preset.SoundFiles.isEmpty() ? QString() : preset.SoundFiles.front();
    preset.Fields.insert(QStringLiteral("Host"), LangText(284));
    preset.Fields.insert(QStringLiteral("IP"), QString());
    preset.Fields.insert(QStringLiteral("Note_"), QString());
    OpenHost(preset);
}

void THostPageView::Edit_bClick() {
    TDataGrid& hosts = Hosts();
    const std::vector<int> rows = RowsToDelete(hosts, true);
    if (rows.empty()) {
        SayNoHost();
        return;
    }
    THostDialogPreset preset;
    preset.Mode = THostDialogPreset::TMode::Edit;
    preset.SoundFiles = SoundFiles();
    preset.SelectedRows = rows;
    preset.GroupNumber = HostView.SelectedGroup;
    if (rows.size() == 1) {
        const int row = rows.front();
        preset.Row = row;
        preset.GroupPath = NodePath(TreeView1->currentItem());
        preset.Caption = LangText(287) + u' ' + hosts.CellText(hosts.ColumnIndex(HostColumn::Host), row);
        preset.Fields = HostDialogFields(hosts, row);
        preset.DownSound = preset.Fields.value(QStringLiteral("Alarm"));
    } else {
        preset.Caption = LangText(288);
    }
    OpenHost(preset);
}

void THostPageView::DeleteRows(const std::vector<int>& Rows, bool Renumber) {
    if (Rows.empty()) {
        return;
    }
    FServices->Controller().RunWithMonitoringPaused([&] {
        TDataGrid& hosts = Hosts();
        IHostLoadProgress* progress = FServices->Roles().Progress();
        if (progress) {
            progress->SetCaption(LangText(286));
            progress->SetMaximum(int(Rows.size()) - 1);
            progress->ShowProgress();
        }
        int step = 0;
        DeleteHostRows(hosts, FServices->HostStore(), Rows, [&] {
            if (progress) {
                progress->SetPosition(step++);
            }
        });
        if (Renumber) {
            RenumberShownRows(hosts);
        }
        if (progress) {
            progress->CloseProgress();
        }
    });
}

void THostPageView::Delete_bClick() {
    DeleteShownRows(true);
}

void THostPageView::DeleteAll_bClick() {
    DeleteShownRows(false);
}

void THostPageView::DeleteShownRows(bool SelectedOnly) {
    const std::vector<int> rows = RowsToDelete(Hosts(), SelectedOnly);
    if (rows.empty()) {
        SayNoHost();
        return;
    }
    // A row that could not go stays shown, so the rest are numbered as well.
    DeleteRows(rows, true);
}

void THostPageView::BitBtn1Click() {
    // The new hosts go into the chosen group, as a single added host does.
    if (!NodeRecord(TreeView1->currentItem())) {
        SayNoGroup();
        return;
    }
    if (IAddManyDialog* many = FServices->Roles().AddMany();
        many && many->ExecuteAddMany(HostView.SelectedGroup) == QDialog::Accepted && FParts.SaveSettings) {
        // The range's first three parts are kept for the next start.
        FParts.SaveSettings();
    }
}

void THostPageView::BitBtn8Click() {
    if (RowsToDelete(Hosts(), true).empty()) {
        SayNoHost();
        return;
    }
    FlipEnabledOfSelected(Hosts(), FServices->HostStore());
}

void THostPageView::DataGrid1CellClick(int Col, int Row) {
    TDataGrid& hosts = Hosts();
    if (Col != hosts.ColumnIndex(HostColumn::Enabled) || Row < 0 || Row != hosts.SelectedRow()) {
        return;
    }
    ApplyEnabledClick(hosts, FServices->HostStore(), Row, LangText(LangLine::StatusUnknown),
                      LangText(LangLine::StatusDisabled));
}

void THostPageView::Edit1Change() {
    ApplyTextFilter(Hosts(), QString::fromLatin1(HostColumn::Host), Edit1->text(), HostView.CurrentGroupText);
}

void THostPageView::Edit4Change() {
    ApplyTextFilter(Hosts(), QStringLiteral("Note_"), Edit4->text(), HostView.CurrentGroupText);
}

void THostPageView::Edit2Change() {
    ApplyIpFilter(Hosts(), Edit2->text(), HostView.ShowAllHosts, HostView.CurrentGroupText);
}

void THostPageView::ComboBox1Change() {
    ApplyHostTypeFilter(Hosts(), ComboBox1->currentIndex(), ComboBox1->currentText());
}

void THostPageView::ComboBox2Change() {
    ApplyStatusFilter(Hosts(), ComboBox2->currentText(), HostView.ShowAllHosts, HostView.CurrentGroupText,
                      {LangText(LangLine::StatusOk), LangText(282), LangText(283)});
    HostView.StatusFilterWord = QString::number(ComboBox2->currentIndex());
    SaveViewState();
}

bool THostPageView::DataGrid1MouseDown(QPoint Point) {
    if (!HostGridView || FDropSource->Dragging()) {
        return false;
    }
    TDataGrid& hosts = Hosts();
    const int row = HostGridView->GetRowAtPos(Point.x(), Point.y());
    if (row < 0 || HostGridView->GetRegionAt(Point) != grBody) {
        return false;
    }
    if (!DetectDragStart(HostGridView->viewport(), Point)) {
        return false;
    }
    hosts.SetSelectedRow(row);
    FDropSource->SetText(HostDragText(hosts, row));
    FDropSource->PerformDrag(false);
    return true;
}

void THostPageView::DropTextTargetDrop(QPoint Point) {
    const auto record = NodeRecord(TreeView1->itemAt(Point));
    if (!record) {
        return;
    }
    DropHostOnGroup(Hosts(), FServices->HostStore(), FDropTarget->Text(), record->Group,
                    HostView.ShowAllHosts);
}

void THostPageView::MeasureShownRows() {
    if (HostGridView) {
        FitWidth(*HostGridView, Hosts(), u"Host", true);
        FitWidth(*HostGridView, Hosts(), u"Note_", true);
        DataGrid1Resize();
    }
}

void THostPageView::DataGrid1Resize() {
    if (!HostGridView) {
        return;
    }
    TDataGrid& hosts = Hosts();
    const int gridWidth = HostGridView->viewport()->width();
    auto shown = [](const TGxCustomColumn* Column) {
        return Column && Column->Visible();
    };
    auto visibleWidths = [&] {
        int sum = 0;
        for (int i = 0; i < hosts.ColumnCount(); ++i) {
            if (shown(hosts.Columns().GetColumn(i))) {
                sum += hosts.Columns().GetColumn(i)->Width();
            }
        }
        return sum;
    };
    TGxCustomColumn* host = hosts.Columns().ColumnByName(u"Host");
    TGxCustomColumn* note = hosts.Columns().ColumnByName(u"Note_");
    const int noteNeed = shown(note) ? FitWidth(*HostGridView, hosts, u"Note_", false) : 0;
    // Host names widen to the longest one as far as the row has room beside the description.
    if (shown(host)) {
        const int others = visibleWidths() - (shown(note) ? note->Width() : 0) + noteNeed;
        const int room = gridWidth - NoteColumnMargin - others;
        const int wanted = std::min(FitWidth(*HostGridView, hosts, u"Host", false), host->Width() + room);
        if (wanted > host->Width()) {
            host->SetWidth(wanted);
        }
    }
    // The description fills the rest of the row, but never cuts its texts: a longer one makes
    // the row wider than the grid, which then scrolls sideways.
    if (shown(note)) {
        note->SetWidth(
            std::max(NoteColumnWidth(note->Width(), visibleWidths(), gridWidth, note->MinWidth()), noteNeed));
    }
}

void THostPageView::DataGrid1ColumnResize() {
    if (HostGridView) {
        HostGridView->viewport()->update();
    }
}

// ---- the host menu and the Tools menu ------------------------------------------------------------

QString THostPageView::MenuCell(const char* Column) const {
    if (FMenuRow < 0) {
        return {};
    }
    TDataGrid& hosts = FServices->DataGrid1();
    if (FMenuRow >= hosts.RowCount()) {
        return {};
    }
    return hosts.CellText(hosts.ColumnIndex(QLatin1StringView(Column)), FMenuRow);
}

void THostPageView::UpdateToolItems() {
    const bool tools = FServices->Roles().Tools() != nullptr;
    for (QAction* action :
         {N1, raceroute1, Checknow1, Portmonitoring2, Latencymonitoring1, raceroutetool1, Pingtool1, SNMP1}) {
        if (action) {
            action->setEnabled(tools);
        }
    }
    if (Edit3) {
        Edit3->setEnabled(FServices->Roles().HostDialog() != nullptr);
    }
    if (Reference1) {
        Reference1->setEnabled(FServices->Roles().About() != nullptr);
    }
}

void THostPageView::PopupMenu2Popup() {
    UpdateToolItems();
    FMenuRow = HostMenuRow(Hosts());
    if (FMenuRow < 0) {
        N1->setText(LangText(332));
        raceroute1->setText(LangText(333));
        return;
    }
    TDataGrid& hosts = Hosts();
    if (hosts.SelectedRow() != FMenuRow) {
        hosts.SetSelectedRow(FMenuRow);
    }
    const QString host = MenuCell(HostColumn::Host);
    N1->setText(LangText(330) + u' ' + host);
    raceroute1->setText(LangText(331) + u' ' + host);
}

bool THostPageView::MenuHostChosen() const {
    if (FMenuRow >= 0) {
        return true;
    }
    SayNoHost();
    return false;
}

void THostPageView::Edit3Click() {
    Edit_bClick();
}

void THostPageView::Explorehost1Click() {
    if (!MenuHostChosen()) {
        return;
    }
    const QString url = ExploreUrl(MenuCell(HostColumn::IP));
    if (!url.isEmpty()) {
        ShellOpenUrl(QUrl(url));
    }
}

namespace {

void RunHostCommand(const QString& Command, const QString& Address) {
    if (const QString refused = RunHostCommandInTerminal(Command, Address); !refused.isEmpty()) {
        ShowMessageBox(refused);
    }
}

} // namespace

void THostPageView::CMDPing1Click() {
    if (!MenuHostChosen()) {
        return;
    }
    RunHostCommand(QStringLiteral("ping"), MenuCell(HostColumn::IP));
}

void THostPageView::elnet1Click() {
    if (!MenuHostChosen()) {
        return;
    }
    RunHostCommand(QStringLiteral("telnet"), MenuCell(HostColumn::IP));
}

void THostPageView::N1Click() {
    if (!MenuHostChosen()) {
        return;
    }
    if (IToolsWindow* tools = FServices->Roles().Tools()) {
        tools->OpenPing(MenuCell(HostColumn::IP), MenuCell(HostColumn::Host));
        tools->ExecTools();
    }
}

void THostPageView::raceroute1Click() {
    if (!MenuHostChosen()) {
        return;
    }
    if (IToolsWindow* tools = FServices->Roles().Tools()) {
        tools->OpenTraceRoute(MenuCell(HostColumn::IP), MenuCell(HostColumn::Host));
        tools->ExecTools();
    }
}

void THostPageView::Checknow1Click() {
    if (!MenuHostChosen()) {
        return;
    }
    if (IToolsWindow* tools = FServices->Roles().Tools()) {
        tools->OpenSnmpCheck(MenuCell(HostColumn::IP), MenuCell("Comunity"));
        tools->ExecTools();
    }
}

void THostPageView::Portmonitoring2Click() {
    if (!MenuHostChosen()) {
        return;
    }
    if (IToolsWindow* tools = FServices->Roles().Tools()) {
        tools->OpenTrafficMonitoring(MenuCell(HostColumn::Kod_));
    }
}

void THostPageView::Latencymonitoring1Click() {
    if (!MenuHostChosen()) {
        return;
    }
    if (IToolsWindow* tools = FServices->Roles().Tools()) {
        tools->OpenLatencyMonitoring(MenuCell(HostColumn::Kod_));
        tools->ShowTools();
    }
}

void THostPageView::Logs1Click() {
    if (!MenuHostChosen()) {
        return;
    }
    if (HostActions().OpenLogs) {
        HostActions().OpenLogs(MenuCell(HostColumn::Kod_));
    }
}

void THostPageView::LookSyslog1Click() {
    if (!MenuHostChosen()) {
        return;
    }
    if (HostActions().ViewSyslog) {
        HostActions().ViewSyslog(MenuCell(HostColumn::IP));
    }
}

void THostPageView::raceroutetool1Click() {
    if (IToolsWindow* tools = FServices->Roles().Tools()) {
        tools->OpenTraceRouteTool(raceroute1->text());
        tools->ExecTools();
    }
}

void THostPageView::Pingtool1Click() {
    if (IToolsWindow* tools = FServices->Roles().Tools()) {
        tools->OpenPingTool();
        tools->ExecTools();
    }
}

void THostPageView::SNMP1Click() {
    if (IToolsWindow* tools = FServices->Roles().Tools()) {
        tools->OpenSnmpTool();
        tools->ExecTools();
    }
}

void THostPageView::Reference1Click() {
    if (IAboutBox* about = FServices->Roles().About()) {
        about->ExecAbout();
    }
}

void THostPageView::Reference2Click() {
    ShellOpenUrl(QUrl(QString::fromLatin1(HelpPage)));
}

void THostPageView::Logs_gridCellDblClick(int, int Row) {
    TDataGrid* events = FLogsGrid;
    if (!events || Row < 0 || Row >= events->RowCount() || !HostActions().ShowHost) {
        return;
    }
    HostActions().ShowHost(events->CellText(events->ColumnIndex(u"ID_h_d"), Row), true);
}
