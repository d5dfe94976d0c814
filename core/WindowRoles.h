// The roles through which one window reaches another: each is the little one window needs of
// another, implemented by the window that plays it and registered in the services' registry when
// it has been created (withdrawn, nullptr, before it goes). A role nobody registered is nullptr,
// and the caller leaves out what it would have asked of it. GUI thread only.
#pragma once

#include <QString>
#include <QStringList>

class IHostLoadProgress;
class LangTextTable;

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
    virtual void StartupSignOn(qint64 Uin, const QString& Password) = 0;
    virtual void SaveSettings() = 0;
    // The host list's frame takes Prefix and the group tree's root name, when the tree has a root.
    virtual void TitleHostFrame(const QString& Prefix) = 0;
};

// The registered roles; nullptr where no window plays one.
class TWindowRoles {
public:
    IToolsWindow* Tools() const { return FTools; }
    IMainShell* Shell() const { return FShell; }
    // The loading window.
    IHostLoadProgress* Progress() const { return FProgress; }

    void SetTools(IToolsWindow* Role) { FTools = Role; }
    void SetShell(IMainShell* Role) { FShell = Role; }
    void SetProgress(IHostLoadProgress* Role) { FProgress = Role; }

private:
    IToolsWindow* FTools = nullptr;
    IMainShell* FShell = nullptr;
    IHostLoadProgress* FProgress = nullptr;
};
