// Host actions that belong to other windows (host page, log viewer, tools window, sound), reached
// through hooks so the popups and the online page need none of those windows. A hook left empty
// does nothing. The host is named by its id (Kod_) and looked up when the action runs.
#pragma once

#include <QString>

#include <functional>

class TForm1;

struct THostActions {
    // The main window's "Sound off".
    std::function<void()> SoundOff;
    // Main window shown on the hosts page with only this host listed; SelectGroup also makes the
    // host's group the selected one. False when no host has the id.
    std::function<bool(const QString& Kod, bool SelectGroup)> ShowHost;
    // The host page's group selection (SelectedGroup).
    std::function<void(int Group)> SetSelectedGroup;
    // The log viewer with this host's events, shown modally.
    std::function<void(const QString& Kod)> OpenLogs;
    // Tools window pages.
    std::function<void(const QString& Address, const QString& HostName)> PingHost;
    std::function<void(const QString& Address, const QString& HostName)> TraceRoute;
    std::function<void(const QString& Address, const QString& Community)> SnmpCheck;
    // The shell's open of a web address, and telnet to an address.
    std::function<void(const QString& Url)> OpenUrl;
    std::function<void(const QString& Address)> Telnet;
    // Logs page, syslog sub-page, with the address's syslog lines.
    std::function<void(const QString& Address)> ViewSyslog;
    // The host table's "Edit" for this host.
    std::function<void(const QString& Kod)> EditHost;
};

// The program's one set of hooks.
THostActions& HostActions();

// Fills the hooks this window can serve itself: Sound off, show the host, tools window pages,
// web page and telnet. The others stay for their windows to set.
void InstallDefaultHostActions(TForm1& Form);
