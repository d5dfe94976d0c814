// The main window's status bar with its seven panels, the Start/Stop button, the start gate that
// waits for the host load, and the periodic status summary that feeds the panels and the tray.
#pragma once

#include "core/StatusPanels.h"
#include "core/StatusSummary.h"
#include "ui/main/BigHint.h"

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <optional>

class QAbstractButton;
class QPushButton;
class QWidget;
class TDataGrid;
class TMonitorController;
class TStatusBarPro;

// The panel after the system's seven: the database's write state, as wide as its text.
inline constexpr int DatabaseWriteStatePanel = StatusPanelCount;

// The Start/Stop button's glyphs: Image1 while stopped (a start arrow), Image2 while running (a
// stop square).
QPixmap StartGlyphPicture();
QPixmap StopGlyphPicture();

class TStatusView : public QObject {
    Q_OBJECT

public:
    // The gate's first look after the windows are created, and how often it looks again while
    // the hosts still load.
    static constexpr int GateFirstMs = 15000;
    static constexpr int GateRetryMs = 250;

    // Creates StatusBar1 and BitBtn2 as children of Owner; the owner places them.
    explicit TStatusView(QWidget* Owner);
    ~TStatusView() override;

    // Binds to the host table and the controller, and to BitBtn7 (the hidden monitoring toggle
    // the Start/Stop button clicks). Starts Timer9.
    void FormCreate(TDataGrid& Hosts, TMonitorController& Controller, QAbstractButton& BitBtn7);

    // The tray that gets the hint lines and the state icon; without one the program's big hint
    // form is used, when it exists.
    void SetTray(TBig_hint_form* Tray) { FTray = Tray; }

    // One panel's text and font colour (a blue-green-red value).
    void SetStatusPanel(TStatusPanel Panel, const QString& Text, int Colour);
    QString StatusPanel(TStatusPanel Panel) const;
    void ShowDatabaseWriteState(const QString& Line, bool Failing);
    QString DatabaseWriteState() const;
    // The syslog server's failure to listen: the bar shows only that line for SyslogFailureShownMs.
    static constexpr int SyslogFailureShownMs = 15000;
    void ShowSyslogListenFailure(const QString& Line);

    const QStringList& TrayHintLines() const { return FTrayHintLines; }

    // Caption, glyph and enabled state of BitBtn2 as monitoring stands now.
    void ShowStartStopState();

    TStatusBarPro* StatusBar1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QTimer Timer9;  // start gate
    QTimer Timer22; // status summary
    QPixmap Image1; // glyph while stopped
    QPixmap Image2; // glyph while running

    void BitBtn2Click();
    void Timer9Timer();
    void Timer22Timer();

private:
    // The controller's state; off before FormCreate gave one.
    bool MonitoringOn() const;
    void CreatePanels();
    void ApplyPanel(TStatusPanel Panel, const TSummaryPanel& Look);
    TBig_hint_form* Tray() const;
    void StateCheckTimer();
    // The tray and application icon from the states the load brought.
    void ShowStoredStates();

    TDataGrid* FHosts = nullptr;
    QPointer<TMonitorController> FController;
    QPointer<QAbstractButton> FBitBtn7;
    QPointer<TBig_hint_form> FTray;
    QTimer FStateCheck;
    TStatusSummary FSummary;
    QStringList FTrayHintLines;
    std::optional<TSummaryIcon> FApplicationIcon;
    std::optional<bool> FGlyphRunning;
};
