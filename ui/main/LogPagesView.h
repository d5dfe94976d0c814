// The main window's three log pages (monitoring events, syslog server, program log) with their
// buttons, and the syslog server switched by the "Enable Syslog Server" option.
#pragma once

#include "ui/main/Clipboard.h"

#include "core/LogPages.h"
#include "core/SyslogServer.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QWidget;
class TDataGrid;
class TGxGridView;
class TMonitorServices;

// The page widgets the view fills, and what it asks of the main window.
struct TLogPagesParts {
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    QWidget* TabSheet6 = nullptr;
    std::function<void()> SaveSettings;
};

class TLogPagesView : public QObject {
    Q_OBJECT

public:
    TLogPagesView(TMonitorServices& Services, TLogPagesParts Parts, QObject* parent = nullptr);
    ~TLogPagesView() override;

    // Binds the option box to the services' settings and keeps the host table for "View Syslog".
    void FormCreate();

    // The grids and their views.
    TDataGrid& Logs_grid() { return *FLogsGrid; }
    TDataGrid& Sys_log_grid() { return *FSyslogGrid; }
    TDataGrid& Program_log_Grid() { return *FProgramGrid; }
    TGxGridView* Logs_gridView = nullptr;
    TGxGridView* Sys_log_gridView = nullptr;
    TGxGridView* Program_log_GridView = nullptr;
    TDataGrid& GridOf(TLogKind Kind);

    QCheckBox* SysLog_CheckBox = nullptr;
    QPushButton* BitBtn13 = nullptr;   // events: save
    QPushButton* BitBtn15 = nullptr;   // events: clear current
    QPushButton* BitBtn38 = nullptr;   // events: clear all
    QPushButton* BitBtn16 = nullptr;   // events: other days
    QPushButton* BitBtn32 = nullptr;   // events: copy to clipboard
    QPushButton* BitBtn33 = nullptr;   // "<<"
    QPushButton* BitBtn34 = nullptr;   // ">>"
    QPushButton* BitBtn19 = nullptr;   // syslog: save
    QPushButton* BitBtn18 = nullptr;   // syslog: clear current
    QPushButton* BitBtn39 = nullptr;   // syslog: clear all
    QPushButton* BitBtn20 = nullptr;   // syslog: other days
    QPushButton* BitBtn21 = nullptr;   // syslog: show all
    QPushButton* BitBtn17 = nullptr;   // syslog: test message
    QPushButton* SyslogMore = nullptr; // syslog: one page of older rows more
    // Above the syslog grid while the server cannot listen: why, in the program log's words.
    QLabel* SyslogListenState = nullptr;
    QPushButton* BitBtn24 = nullptr; // program log: save
    QPushButton* BitBtn26 = nullptr; // program log: clear current
    QPushButton* BitBtn40 = nullptr; // program log: clear all
    QPushButton* BitBtn27 = nullptr; // program log: other days

    // Page shows: the last 24 hours of their log.
    void TabSheet2Show();
    void TabSheet5Show();
    void TabSheet6Show();
    void BitBtn33Click();
    void BitBtn34Click();
    void SaveLogToFile(TLogKind Kind);
    void ClearCurrentLogClick(TLogKind Kind);
    void ClearAllLogsClick(TLogKind Kind);
    // "View other logs": CalendarMode := Kind, the day picker shown modally.
    void ViewOtherLogsClick(TLogKind Kind);
    void BitBtn32Click();
    void BitBtn21Click();
    void Sys_log_gridCellDblClick(int Col, int Row);
    // "View Syslog" of the host menu: the syslog of the host selected in the host table.
    void LookSyslog1Click();
    // The syslog of the host with address Address, on the syslog page.
    void ShowHostSyslog(const QString& Address);
    // "Enable Syslog Server" released: the settings are saved, then the server follows the box;
    // a failed start shows its reason.
    void SysLog_CheckBoxMouseUp();
    void BitBtn17Click();
    void SyslogMoreClick();

    // The settings loader's entry point: starts the server when the option is on, stops it when
    // off; calling it again changes nothing. A failure is logged, the box stays ticked.
    TSyslogStartResult StartSyslogServer();
    // Shut-down: ends the listener (what is queued is stored) before the final commit.
    void StopSyslogServer();
    TSyslogServer& IdSyslogServer1() { return Server(); }
    // Tests listen on their own address and port.
    void SetSyslogEndpoint(const std::string& Address, int Port);

    // Seams: the save dialog's answer (empty = cancelled), the clock, the modal day picker.
    std::function<QString()> AskSaveFileName;
    std::function<qint64()> Now;
    std::function<void()> ShowCalendar;

    TEventLogDays EventDays;

private:
    void CreateEventPage();
    void CreateSyslogPage();
    void CreateProgramLogPage();
    TGxGridView* CreateGridView(TDataGrid& Grid, const char* Name, QWidget* Parent);
    // Loads the syslog grid's first page of Statement; the "more" button follows what is held back.
    void LoadSyslogPage(const TLogStatement& Statement);
    void ShowListenState(const TSyslogStartResult& Result);

    TLogPagesParts FParts;
    TMonitorServices* FServices; // set by the constructor, never null
    std::unique_ptr<TDataGrid> FLogsGrid;
    std::unique_ptr<TDataGrid> FSyslogGrid;
    std::unique_ptr<TDataGrid> FProgramGrid;
    // The listener is the services'.
    TSyslogServer& Server();
    std::string FAddress;
    int FPort = TSyslogServer::DefaultPort;
};
