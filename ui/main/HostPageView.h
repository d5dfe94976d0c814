// The hosts page of the main window: the group tree with its buttons and menu, the host list with
// its buttons, filters and host menu, the main menu's Tools and Help items, and dragging a host onto
// a group. The table work lives in core/HostPage; this unit binds it to the widgets.
#pragma once

#include "core/DatabaseLoader.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QHBoxLayout;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TDataGrid;
class TDropTextSource;
class TDropTextTarget;
class TGxGridView;
class TMonitorServices;
struct THostDialogPreset;

class THostPageView : public QObject {
    Q_OBJECT
public:
    struct TParts {
        QWidget* Page = nullptr; // TabSheet1
        QMenuBar* MenuBar = nullptr;
        // Told after every change of the group tree, with its nodes in tree order.
        std::function<void(const TGroupTree&)> GroupTreeChanged;
        // Writes the settings files (after the add-many dialog took a new range).
        std::function<void()> SaveSettings;
    };

    THostPageView(TMonitorServices& Services, const TParts& Parts, QObject* Parent = nullptr);
    ~THostPageView() override;

    // The host list over the services' host table; the handlers work from here on. "Mute" and
    // "Sound off" go beside the host list; a double click on an event of Logs_grid shows its host.
    void FormCreate(QPushButton* BitBtn3, QPushButton* BitBtn6, TDataGrid* Logs_grid);

    // The loaded tree: one node per group, each carrying its group's shared record.
    void ShowGroupTree(const TGroupTree& Nodes);
    // tr_ex.cnfg: line i expands node i; a missing file or line leaves the rest as it is.
    void RestoreTreeExpansion();
    // tr_ex.cnfg with the expanded flags of every node, in tree order.
    void SaveTreeExpansion();
    // lg_2.cnfg (the group list grid), then group_list.cnfg.
    void SaveGroupList();
    // group_list.cnfg: one node per line, indented by depth.
    void SaveGroupTree();
    // The tree's nodes in tree order.
    TGroupTree GroupTree() const;
    // The record of a node; none for an item that carries none.
    static std::shared_ptr<TGroupNodeRecord> NodeRecord(const QTreeWidgetItem* Item);
    // The node of a group number, or none.
    QTreeWidgetItem* NodeOfGroup(const QString& Group) const;

    // Handlers under the window's names.
    void Add_bClick();
    void Edit_bClick();
    void Delete_bClick();
    void DeleteAll_bClick();
    void BitBtn1Click();
    void BitBtn8Click();
    void DataGrid1CellClick(int Col, int Row);
    void Edit1Change();
    void Edit2Change();
    void ComboBox1Change();
    void Edit4Change();
    void ComboBox2Change();
    // After a language file was read: the captions made from language lines and the status
    // filter's words again; the filter goes back to "All".
    void LanguageApplied();
    void Createnewgroup1Click();
    void Createsubgroup1Click();
    void Renamegroup1Click();
    void Deletegroup1Click();
    // Puts the status bar's Start/Stop button (BitBtn2) first in the monitoring row.
    void PlaceStartStop(QPushButton* BitBtn2);

    void BitBtn28Click();
    void BitBtn29Click();
    void TreeView1Click();
    void BitBtn12Click();
    // A press at Point (viewport coordinates of the host list) that becomes a drag; true when it did.
    bool DataGrid1MouseDown(QPoint Point);
    // A text dropped at Point (client coordinates of the tree).
    void DropTextTargetDrop(QPoint Point);
    void DataGrid1Resize();
    // The shown rows changed: their host names and descriptions are measured again, then fitted.
    void MeasureShownRows();
    void DataGrid1ColumnResize();
    void PopupMenu2Popup();
    void Edit3Click();
    void Explorehost1Click();
    void CMDPing1Click();
    void elnet1Click();
    void N1Click();
    void raceroute1Click();
    void Checknow1Click();
    void Portmonitoring2Click();
    void Latencymonitoring1Click();
    void Logs1Click();
    void LookSyslog1Click();
    void raceroutetool1Click();
    void Pingtool1Click();
    void SNMP1Click();
    void Reference1Click();
    void Reference2Click();
    // After the host dialog's OK: the tree chooses the group whose hosts the dialog listed.
    void ShowGroupOfDialog(int Group);
    // The log page's double click on an event: only that host is shown.
    void Logs_gridCellDblClick(int Col, int Row);

    // The widgets, under their names.
    QGroupBox* GroupBox2 = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    QPushButton* BitBtn9 = nullptr;  // Create new group
    QPushButton* BitBtn10 = nullptr; // Delete group
    QPushButton* BitBtn11 = nullptr; // Rename group
    QPushButton* BitBtn28 = nullptr; // Move up
    QPushButton* BitBtn29 = nullptr; // Move down
    QPushButton* BitBtn12 = nullptr; // Show all hosts
    QLabel* Label12 = nullptr;
    QMenu* PopupMenu3 = nullptr; // the group menu
    QAction* Createnewgroup1 = nullptr;
    QAction* Createsubgroup1 = nullptr;
    QAction* Renamegroup1 = nullptr;
    QAction* Deletegroup1 = nullptr;

    QGroupBox* GroupBox3 = nullptr;
    TGxGridView* HostGridView = nullptr; // DataGrid1's view
    QPushButton* Add_b = nullptr;
    QPushButton* BitBtn1 = nullptr; // Add Many Hosts
    QPushButton* Edit_b = nullptr;
    QPushButton* Delete_b = nullptr;
    QPushButton* DeleteAll_b = nullptr;
    QPushButton* BitBtn8 = nullptr; // Enable/Disable
    QLineEdit* Edit1 = nullptr;     // host name filter
    QLineEdit* Edit2 = nullptr;     // IP filter
    QComboBox* ComboBox1 = nullptr; // host type filter
    QLineEdit* Edit4 = nullptr;     // description filter
    QComboBox* ComboBox2 = nullptr; // status filter

    QMenu* PopupMenu2 = nullptr; // the host menu
    QAction* Edit3 = nullptr;
    QAction* Explorehost1 = nullptr;
    QAction* CMDPing1 = nullptr;
    QAction* N1 = nullptr; // Ping the host
    QAction* raceroute1 = nullptr;
    QAction* Checknow1 = nullptr;
    QAction* Portmonitoring2 = nullptr;
    QAction* Latencymonitoring1 = nullptr;
    QAction* elnet1 = nullptr;
    QAction* Logs1 = nullptr;
    QAction* LookSyslog1 = nullptr;

    QMenu* ools1 = nullptr; // Tools
    QAction* raceroutetool1 = nullptr;
    QAction* Pingtool1 = nullptr;
    QAction* SNMP1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Reference2 = nullptr; // Reference
    QAction* Reference1 = nullptr; // About...

    // Where Add and Edit hand their preset: the add/edit host dialog unless set.
    std::function<void(const THostDialogPreset&)> OpenHostDialog;

    // The hidden group list grid written to lg_2.cnfg.
    TDataGrid& DataGrid_3() { return *FGroupList; }
    TDropTextSource& DropTextSource() { return *FDropSource; }
    TDropTextTarget& DropTextTarget() { return *FDropTarget; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    // Moves the chosen group node one place up (-1) or down (+1) among its siblings.
    void MoveGroupNode(int Step);
    void CreateGroupBox();
    void CreateHostBox(QWidget* Box, QPushButton* BitBtn3, QPushButton* BitBtn6);
    QHBoxLayout* FMonitorButtons = nullptr; // Start/Stop, Mute, Sound off
    QPushButton* FStartStop = nullptr;
    // The host list's column captions in the current language.
    void SetHostHeaderCaptions();
    void CreateHostMenu();
    void CreateMainMenu(QMenuBar* MenuBar);
    void ConnectHandlers();
    TDataGrid& Hosts();
    QTreeWidgetItem* AddNode(QTreeWidgetItem* Parent, std::shared_ptr<TGroupNodeRecord> Record);
    QString NodePath(const QTreeWidgetItem* Item) const;
    void ShowGroupBoxCaption(const QString& Path);
    // The status filter's words in the current language, "All" chosen.
    void FillStatusFilter();
    // What the host box caption shows: a group's path, or all hosts.
    QString FCaptionPath;
    bool FCaptionAllHosts = false;
    // Runs Work with monitoring stopped; the progress window shows Maximum steps.
    void DeleteRows(const std::vector<int>& Rows, bool Renumber);
    // Delete and Delete all: the selected shown rows, or every shown row; says so when there is none.
    void DeleteShownRows(bool SelectedOnly);
    void RebuildGroupList();
    void TreeChanged();
    void SaveViewState();
    // Shows the rows the caption names: the chosen group's, or every row under "Show all hosts".
    void ShowViewRows();
    void UpdateToolItems();
    QString MenuCell(const char* Column) const;
    // Whether the host menu has a host; says so when it has none.
    bool MenuHostChosen() const;
    // Every entry of Data/Sounds, by name.
    QStringList SoundFiles() const;
    void OpenHost(const THostDialogPreset& Preset);

    TParts FParts;
    TMonitorServices* FServices; // set by the constructor, never null
    TDataGrid* FLogsGrid = nullptr;
    // Gone with the list, when the page's widgets go first.
    QPointer<QObject> FGridViewport;
    std::unique_ptr<TDataGrid> FGroupList;
    TDropTextSource* FDropSource = nullptr;
    TDropTextTarget* FDropTarget = nullptr;
    int FMenuRow = -1;
    bool FDragging = false;
};
