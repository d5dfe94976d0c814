// The roles through which one window reaches another: each is the little one window needs of
// another, implemented by the window that plays it and registered in the services' registry when
// it has been created (withdrawn, nullptr, before it goes). A role nobody registered is nullptr,
// and the caller leaves out what it would have asked of it. GUI thread only.
#pragma once

#include "core/DatabaseLoader.h"
#include "core/HostRecords.h"
#include "core/NotificationSettings.h"

#include <QString>
#include <QStringList>

class LangTextTable;
class TDataGrid;
struct THostDialogPreset;

// The tools window: ping, traceroute, lookup, SNMP utility and the charts of one host.
class IToolsWindow {
public:
    virtual ~IToolsWindow() = default;
    // Fill the page for a host; the caller then runs the window (Exec) or shows it (Show).
    virtual void OpenTraceRoute(const QString& Address, const QString& HostName) = 0;
    virtual void OpenPing(const QString& Address, const QString& HostName) = 0;
    virtual void OpenSnmpCheck(const QString& Address, const QString& Community) = 0;
    virtual void OpenTraceRouteTool(const QString& BoxCaption) = 0;
    virtual void OpenPingTool() = 0;
    virtual void OpenSnmpTool() = 0;
    // These two show the window themselves.
    virtual void OpenTrafficMonitoring(const QString& HostId) = 0;
    virtual void OpenLatencyMonitoring(const QString& HostId) = 0;
    virtual int ExecTools() = 0;
    virtual void ShowTools() = 0;
    virtual void HideTools() = 0;
    // The language changed: captions and the period box take the new texts.
    virtual void ToolsLanguageApplied() = 0;
};

// What the dialogs need of the main window.
class IMainShell {
public:
    virtual ~IMainShell() = default;
    virtual void ShowMainWindow() = 0;
    virtual void FillLanguages(const QStringList& Names) = 0;
    virtual void LanguageApplied(const LangTextTable& Old, const LangTextTable& New) = 0;
    virtual void ApplyGridLines() = 0;
    // The sound files offered for the up sound, then the sound buttons' start-up state.
    virtual void SetUpSounds(const QStringList& Names) = 0;
    virtual void StartSyslogServer() = 0;
    virtual void SaveSettings() = 0;
    // The host list's frame takes Prefix and the group tree's root name, when the tree has a root.
    virtual void TitleHostFrame(const QString& Prefix) = 0;
};

// The add/edit host dialog.
class IHostDialog {
public:
    virtual ~IHostDialog() = default;
    // Runs the dialog for the preset; the dialog's result code.
    virtual int OpenHost(const THostDialogPreset& Preset) = 0;
    // The group the last accepted host went into.
    virtual int HostGroup() const = 0;
    // What the dialog's fields hold now (the bulk edit applies them).
    virtual THostDialogValues DialogValues() const = 0;
    virtual void SetHostTypes(const QStringList& Names) = 0;
};

// The add-many-hosts dialog.
class IAddManyDialog {
public:
    virtual ~IAddManyDialog() = default;
    virtual int ExecuteAddMany(int Group) = 0;
    virtual void SetHostTypes(const QStringList& Names) = 0;
};

// The bulk edit of the host dialog's values over the shown selected rows.
class IMultiEditDialog {
public:
    virtual ~IMultiEditDialog() = default;
    virtual int ExecMultiEdit() = 0;
};

// The group picker: true with the chosen group and its path when the operator chose one.
class IGroupPicker {
public:
    virtual ~IGroupPicker() = default;
    virtual bool PickGroup(const TGroupTree& Nodes, int& Group, QString& Path) = 0;
};

class IAboutBox {
public:
    virtual ~IAboutBox() = default;
    virtual void ExecAbout() = 0;
};

// The event log dialog, on one host's events.
class ILogsDialog {
public:
    virtual ~ILogsDialog() = default;
    virtual void ExecHostLogs(const QString& HostId) = 0;
};

// The day picker of the log pages; it shows the chosen day in the three lists.
class ICalendarDialog {
public:
    virtual ~ICalendarDialog() = default;
    virtual void ExecCalendar(TDataGrid* Events, TDataGrid* Syslog, TDataGrid* ProgramLog) = 0;
};

// The column dialog, which also loads the start-up settings and the language.
class IColumnDialog {
public:
    virtual ~IColumnDialog() = default;
    virtual void ApplyLanguage(const QString& Name) = 0;
    virtual int ExecColumns() = 0;
};

class IHostTypesDialog {
public:
    virtual ~IHostTypesDialog() = default;
    virtual int ExecHostTypes() = 0;
};

// The notification settings (mail server, messaging account).
class INotificationDialog {
public:
    virtual ~INotificationDialog() = default;
    virtual int ShowOnPage(int PageIndex) = 0;
    virtual TNotificationSettings CurrentSettings() const = 0;
};

// The down popup's test slide from the options page.
class IPopupTest {
public:
    virtual ~IPopupTest() = default;
    virtual void SlideInTest() = 0;
};

// The notification area's icon.
class ITrayIcon {
public:
    virtual ~ITrayIcon() = default;
    virtual bool TrayAvailable() = 0;
};

// The registered roles; nullptr where no window plays one.
class TWindowRoles {
public:
    IToolsWindow* Tools() const { return FTools; }
    IMainShell* Shell() const { return FShell; }
    // The loading window.
    IHostLoadProgress* Progress() const { return FProgress; }

    IHostDialog* HostDialog() const { return FHostDialog; }
    IAddManyDialog* AddMany() const { return FAddMany; }
    IMultiEditDialog* MultiEdit() const { return FMultiEdit; }
    IGroupPicker* GroupPicker() const { return FGroupPicker; }
    IAboutBox* About() const { return FAbout; }
    ILogsDialog* LogsDialog() const { return FLogs; }
    ICalendarDialog* Calendar() const { return FCalendar; }
    IColumnDialog* Columns() const { return FColumns; }
    IHostTypesDialog* HostTypes() const { return FHostTypes; }
    INotificationDialog* Notifications() const { return FNotifications; }
    IPopupTest* PopupTest() const { return FPopupTest; }
    ITrayIcon* Tray() const { return FTray; }

    void SetTools(IToolsWindow* Role) { FTools = Role; }
    void SetShell(IMainShell* Role) { FShell = Role; }
    void SetProgress(IHostLoadProgress* Role) { FProgress = Role; }
    void SetHostDialog(IHostDialog* Role) { FHostDialog = Role; }
    void SetAddMany(IAddManyDialog* Role) { FAddMany = Role; }
    void SetMultiEdit(IMultiEditDialog* Role) { FMultiEdit = Role; }
    void SetGroupPicker(IGroupPicker* Role) { FGroupPicker = Role; }
    void SetAbout(IAboutBox* Role) { FAbout = Role; }
    void SetLogsDialog(ILogsDialog* Role) { FLogs = Role; }
    void SetCalendar(ICalendarDialog* Role) { FCalendar = Role; }
    void SetColumns(IColumnDialog* Role) { FColumns = Role; }
    void SetHostTypes(IHostTypesDialog* Role) { FHostTypes = Role; }
    void SetNotifications(INotificationDialog* Role) { FNotifications = Role; }
    void SetPopupTest(IPopupTest* Role) { FPopupTest = Role; }
    void SetTray(ITrayIcon* Role) { FTray = Role; }

private:
    IToolsWindow* FTools = nullptr;
    IMainShell* FShell = nullptr;
    IHostLoadProgress* FProgress = nullptr;
    IHostDialog* FHostDialog = nullptr;
    IAddManyDialog* FAddMany = nullptr;
    IMultiEditDialog* FMultiEdit = nullptr;
    IGroupPicker* FGroupPicker = nullptr;
    IAboutBox* FAbout = nullptr;
    ILogsDialog* FLogs = nullptr;
    ICalendarDialog* FCalendar = nullptr;
    IColumnDialog* FColumns = nullptr;
    IHostTypesDialog* FHostTypes = nullptr;
    INotificationDialog* FNotifications = nullptr;
    IPopupTest* FPopupTest = nullptr;
    ITrayIcon* FTray = nullptr;
};
