// The tools window (ping, traceroute, lookup, SNMP utility, charts); at creation it loads the database.
#pragma once

#include "core/ToolWorkers.h"
#include "core/WindowRoles.h"

#include <QDialog>
#include <QTimer>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class TDataGrid;
class TGxGridView;
class TNetCancel;
class TSQLiteDatabase;
class TMonitorServices;
class TToolChartPages;

class TPing_tracert_form : public QDialog, public IToolsWindow {
    Q_OBJECT

public:
    explicit TPing_tracert_form(TMonitorServices& Services, QWidget* parent = nullptr);
    ~TPing_tracert_form() override;

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // One SNMPv1 query: the value text of the reply's first binding, empty on any failure.
    static void FormSnmpQuery(const QString& Host, const QString& Community, const QString& OID, int PDUType,
                              QString& Result);
    // The same on another agent port, ended at once when Cancel is raised.
    static void FormSnmpQuery(const QString& Host, const QString& Community, const QString& OID, int PDUType,
                              QString& Result, const QString& Port, std::shared_ptr<TNetCancel> Cancel);

    // Captions of every control in the current language.
    void TranslateCaptions();
    int ExecTools() override { return exec(); }
    void ShowTools() override { show(); }
    void HideTools() override { hide(); }
    void ToolsLanguageApplied() override;

    // Entry points of the main window's menus. Each picks the page, sets the captions and fields
    // and clicks what the menu item clicks; the caller then shows the window (modally).
    // Host menu "Trace route": traces Address at once.
    void OpenTraceRoute(const QString& Address, const QString& HostName) override;
    // Host menu "Ping the host": pings Address at once.
    void OpenPing(const QString& Address, const QString& HostName) override;
    // Host menu "SNMP check": sysDescr test and interface list of the host.
    void OpenSnmpCheck(const QString& Address, const QString& Community) override;
    // Host menu "Traffic monitoring" for a host without monitored ports: the interface selection of
    // host HostId (its Kod_), which the page's OK saves.
    void OpenInterfaceSelection(const QString& HostId, const QString& HostName, const QString& Address,
                                const QString& Community);
    // Tools menu "Trace route", "Ping utility" and "SNMP": the empty pages. BoxCaption is the host
    // menu's "Trace route" caption.
    void OpenTraceRouteTool(const QString& BoxCaption) override;
    void OpenPingTool() override;
    void OpenSnmpTool() override;
    // Host menu "Traffic monitoring" (the body of TForm1.Portmonitoring2Click) for host HostId (its
    // Kod_): page 4 with its monitored interfaces, or page 2 to select them; shows the window.
    void OpenTrafficMonitoring(const QString& HostId) override;
    // The host dialog's latency "edit" button: page 5 for host HostId.
    void OpenLatencyMonitoring(const QString& HostId) override;
    // The traffic countdown's chart step (connect to TMonitorController::TrafficWindowTick).
    void TrafficWindowTick(int Tag);
    // Pages 4-8.
    TToolChartPages& Charts() { return *FCharts; }

    // Where the selection is saved and whose row it updates (defaults: the services' database and
    // host table).
    void SetDatabase(TSQLiteDatabase* Database) { FDatabase = Database; }
    void SetHostGrid(TDataGrid* Grid) { FHostGrid = Grid; }
    // Agent port of every SNMP request of the window (tests use agents on private ports).
    QString SnmpPort = QStringLiteral("161");

    // Pages 0-8; the tabs are not shown.
    QStackedWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // 0 traceroute and lookup
    QWidget* TabSheet2 = nullptr; // 1 ping
    QWidget* TabSheet3 = nullptr; // 2 interface selection
    QWidget* TabSheet4 = nullptr; // 3 SNMP utility
    QWidget* TabSheet5 = nullptr; // 4 monitored interfaces
    QWidget* TabSheet6 = nullptr; // 5 latency chart
    QWidget* TabSheet7 = nullptr; // 6 traffic chart and alarm settings
    QWidget* TabSheet8 = nullptr; // 7 real-time traffic chart
    QWidget* TabSheet9 = nullptr; // 8 SNMP chart

    // Page 0.
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* edAddr = nullptr;
    QLabel* Label2 = nullptr;
    QSpinBox* sedCount = nullptr;
    QPushButton* btnStart = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPlainTextEdit* memShowTracert = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    // Page 1.
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* Button3 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QTimer Timer1;

    // Page 2.
    QGroupBox* GroupBox4 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* Host_snmp_Edit2 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* com_snmp_Edit2 = nullptr;
    std::unique_ptr<TDataGrid> DataGrid2;
    TGxGridView* DataGrid2View = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn7 = nullptr;  // invisible
    QPushButton* BitBtn8 = nullptr;  // "Deselect all"
    QPushButton* BitBtn9 = nullptr;  // "Select all"
    QPushButton* BitBtn10 = nullptr; // "Invert"
    QProgressBar* ProgressBar2 = nullptr;

    // Page 3.
    QGroupBox* GroupBox5 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Host_snmp_Edit = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* com_snmp_Edit = nullptr;
    QLabel* Label11 = nullptr;
    QComboBox* Mib_snmp_Edit = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* BitBtn2 = nullptr; // invisible
    QPlainTextEdit* Memo5 = nullptr;
    std::unique_ptr<TDataGrid> DataGrid1;
    TGxGridView* DataGrid1View = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Enableport1 = nullptr;
    QAction* Disableport1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    // SNMP utility state handed to its worker by the Test button.
    QString SnmpUtilHost;
    QString SnmpUtilCommunity;
    QString SnmpUtilOid;
    int SnmpUtilPduType = 160;

    // Handlers under the system's names.
    void btnStartClick();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Timer1Timer();
    // Enter in one of the six address and community fields: the field's own page acts.
    void edAddrKeyPress(QWidget* Sender);
    void Button7Click();
    void BitBtn1Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn8Click();
    void BitBtn9Click();
    void BitBtn10Click();
    void Enableport1Click();
    void Disableport1Click();
    void DataGrid1CellClick(int Col, int Row);
    void Button5Click();
    void BitBtn2Click();
    // Closing the window (close box, Escape or a caller): ends every running tool at once, so none
    // writes into the closed window; closing is always allowed.
    void FormCloseQuery();

    // Worker threads still running (tests).
    int RunningTools() { return Workers().Running(); }
    // Waits for the running tools while serving their steps (tests and shut-down).
    bool WaitForTools(int LimitMs) { return Workers().WaitIdle(LimitMs); }

    // Escape and the close box end here too.
    void reject() override;

signals:
    // The selection page's OK was pressed (after the save): the main window shows the host's
    // traffic pages again (TForm1.Portmonitoring2Click).
    void Portmonitoring2Requested();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TMonitorServices* FServices; // set by the constructor, never null
    void CreatePages();
    QWidget* CreateTracePage();
    QWidget* CreatePingPage();
    QWidget* CreateSelectionPage();
    QWidget* CreateSnmpPage();
    TGxGridView* CreateInterfaceList(std::unique_ptr<TDataGrid>& Grid, bool SnmpPage, QWidget* Parent);
    void StartWalk(TDataGrid& Grid, QPushButton* Button, QProgressBar* Progress, const QString& Host,
                   const QString& Community);
    void SetPortAdminStatus(const QString& Value, bool Report, bool Enable);
    void SetAllSelected(int Mode);
    void AppendTrace(const QString& Text);
    void ToolsIdle();
    // A click in one of the interface lists (the grid view leaves mouse handling to its owner).
    bool InterfaceListClick(TGxGridView* View, QMouseEvent* Event);
    TSQLiteDatabase& Database() const;
    TDataGrid* HostGrid() const;

    TSQLiteDatabase* FDatabase = nullptr;
    TDataGrid* FHostGrid = nullptr;
    QString FSelectionHostId;
    bool FClosing = false;
    friend class TToolChartPages;
    std::unique_ptr<TToolChartPages> FCharts;
    // The tools' threads are the services'.
    TToolWorkers& Workers();
};

extern TPing_tracert_form* Ping_tracert_form;
