// The status bar's panels, Start/Stop, the start gate and the summary tick on the GUI thread.
#include "ui/main/StatusView.h"

#include "core/DatabaseLoader.h"
#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/MonitorController.h"
#include "core/TextConversions.h"
#include "desktop/StatusBarEx.h"
#include "grid/GxGrid.h"
#include "ui/main/BigHint.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>

#include <functional>

namespace {

// The main window's panels: widths, and which are centred.
constexpr int panelWidths[StatusPanelCount] = {1, 220, 165, 150, 170, 155, 150};
// Until the first tick sets it from the row count.
constexpr int firstSummaryMs = 2000;
// How soon the button looks again at a toggle deferred by the dispatcher.
constexpr int stateCheckMs = 100;

QPixmap Glyph(const std::function<void(QPainter&)>& Draw) {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    Draw(painter);
    return picture;
}

} // namespace

QPixmap StartGlyphPicture() {
    return Glyph([](QPainter& Painter) {
        Painter.setPen(QColor(0, 96, 0));
        Painter.setBrush(QColor(0, 176, 0));
        Painter.drawPolygon(QPolygon({QPoint(4, 2), QPoint(13, 8), QPoint(4, 14)}));
    });
}

QPixmap StopGlyphPicture() {
    return Glyph([](QPainter& Painter) {
        Painter.setPen(QColor(128, 0, 0));
        Painter.setBrush(QColor(208, 0, 0));
        Painter.drawRect(QRectF(3.5, 3.5, 9, 9));
    });
}

TStatusView::TStatusView(QWidget* Owner) : Image1(StartGlyphPicture()), Image2(StopGlyphPicture()) {
    StatusBar1 = new TStatusBarPro(Owner);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    CreatePanels();
    BitBtn2 = new QPushButton(Owner);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guarded("TForm1.BitBtn2Click", [this] { BitBtn2Click(); }); });
    Timer9.setObjectName(QStringLiteral("Timer9"));
    Timer9.setInterval(GateFirstMs);
    connect(&Timer9, &QTimer::timeout, this,
            [this] { Guarded("TForm1.Timer9Timer", [this] { Timer9Timer(); }); });
    FStateCheck.setSingleShot(true);
    FStateCheck.setInterval(stateCheckMs);
    connect(&FStateCheck, &QTimer::timeout, this,
            [this] { Guarded("TStatusView.StateCheck", [this] { StateCheckTimer(); }); });
    Timer22.setObjectName(QStringLiteral("Timer22"));
    Timer22.setInterval(firstSummaryMs);
    connect(&Timer22, &QTimer::timeout, this,
            [this] { Guarded("TForm1.Timer22Timer", [this] { Timer22Timer(); }); });
    ShowStartStopState();
}

TStatusView::~TStatusView() = default;

void TStatusView::CreatePanels() {
    for (int i = 0; i < StatusPanelCount; ++i) {
        TStatusPanelPro& panel = StatusBar1->Panels().Add();
        panel.SetWidth(panelWidths[i]);
        if (i > 0)
            panel.SetStyle(psOwnerDraw);
        if (i >= 1 && i <= 5)
            panel.SetAlignment(Qt::AlignHCenter);
    }
    // The check progress names a host: it takes whatever the bar has left rather than cutting
    // "Traffic check <host>" at its own width.
    StatusBar1->Panels()[int(TStatusPanel::Progress)].SetAutoSize(true);
    TStatusPanelPro& writeState = StatusBar1->Panels().Add();
    writeState.SetAutoWidth(true);
    writeState.SetStyle(psOwnerDraw);
}

void TStatusView::FormCreate(TDataGrid& Hosts, TMonitorController& Controller, QAbstractButton& BitBtn7) {
    FHosts = &Hosts;
    FController = &Controller;
    FBitBtn7 = &BitBtn7;
    // A start or stop the button did not make (the first start, a pause for other work) shows
    // on it too.
    connect(&Controller.Timer4, &QTimer::timeout, this, [this] { ShowStartStopState(); });
    connect(&Controller, &TMonitorController::StartStopEnabledChanged, this,
            [this] { ShowStartStopState(); });
    ShowStartStopState();
    Timer9.start();
    // Once the windows are made (the host load among them), the tray shows the stored states
    // instead of all-OK until the start gate opens the summary.
    QTimer::singleShot(0, this,
                       [this] { Guarded("TStatusView.StoredStates", [this] { ShowStoredStates(); }); });
}

void TStatusView::ShowStoredStates() {
    if (!FHosts || Timer22.isActive())
        return;
    if (!HostLoadCounters.Finished()) {
        // The windows' creation runs pending messages too: the load may not have run yet.
        QTimer::singleShot(GateRetryMs, this,
                           [this] { Guarded("TStatusView.StoredStates", [this] { ShowStoredStates(); }); });
        return;
    }
    const TSummaryIcon icon = StoredStateIcon(*FHosts);
    if (TBig_hint_form* tray = Tray())
        tray->ShowStateIcon(icon);
    if (FApplicationIcon != icon) {
        FApplicationIcon = icon;
        QApplication::setWindowIcon(QIcon(StateIconPicture(icon)));
    }
}

TBig_hint_form* TStatusView::Tray() const {
    return FTray.data();
}

void TStatusView::SetStatusPanel(TStatusPanel Panel, const QString& Text, int Colour) {
    StatusBar1->SetPanel(int(Panel), Text, TColor(Colour));
}

QString TStatusView::StatusPanel(TStatusPanel Panel) const {
    const int index = int(Panel);
    return index >= 0 && index < StatusBar1->Panels().Count() ? StatusBar1->Panels()[index].Text()
                                                              : QString();
}

void TStatusView::ShowDatabaseWriteState(const QString& Line, bool Failing) {
    StatusBar1->SetPanel(DatabaseWriteStatePanel, Line, Failing ? clRed : clBlack);
}

void TStatusView::ShowSyslogListenFailure(const QString& Line) {
    // The whole bar for a while: the panels leave no room for a line this long.
    StatusBar1->SetSimpleText(Line);
    StatusBar1->SetSimplePanel(true);
    QTimer::singleShot(SyslogFailureShownMs, StatusBar1, [bar = QPointer<TStatusBarPro>(StatusBar1)] {
        if (bar)
            bar->SetSimplePanel(false);
    });
}

QString TStatusView::DatabaseWriteState() const {
    return StatusBar1->Panels()[DatabaseWriteStatePanel].Text();
}

void TStatusView::ShowStartStopState() {
    const bool running = MonitoringOn();
    // Every summary tick asks; the button is repainted only on a change.
    if (FGlyphRunning != running) {
        FGlyphRunning = running;
        BitBtn2->setIcon(QIcon(running ? Image2 : Image1));
    }
    const QString caption = LangText(running ? 37 : 38);
    if (BitBtn2->text() != caption)
        BitBtn2->setText(caption);
    // While the old threads end, a click would be refused anyway.
    BitBtn2->setEnabled(running || !FController || !FController->ThreadsRunning());
}

bool TStatusView::MonitoringOn() const {
    return FController && FController->MonitoringOn();
}

void TStatusView::BitBtn2Click() {
    if (FBitBtn7)
        FBitBtn7->click();
    const bool running = MonitoringOn();
    ShowStartStopState();
    if (running)
        SetStatusPanel(TStatusPanel::MonitoringState, LangText(305), PanelColourBlack);
    else
        SetStatusPanel(TStatusPanel::MonitoringState, LangText(304), PanelColourRed);
    if (FController && FController->Timer_time_to_ping.isActive())
        FController->Timer_time_to_ping.stop();
    // Inside the end-of-pass dispatcher the toggle waits until it has finished; the button
    // follows then.
    if (FController && FController->IsDispatching())
        FStateCheck.start();
}

void TStatusView::StateCheckTimer() {
    ShowStartStopState();
    if (FController && FController->IsDispatching())
        FStateCheck.start();
}

void TStatusView::Timer9Timer() {
    // The gate opens once the loader has filled every host row (or gave up); until then it
    // looks again soon, without waiting inside the timer.
    if (!HostLoadCounters.Finished()) {
        if (Timer9.interval() != GateRetryMs)
            Timer9.setInterval(GateRetryMs);
        return;
    }
    Timer22.start();
    Timer9.stop();
}

void TStatusView::ApplyPanel(TStatusPanel Panel, const TSummaryPanel& Look) {
    if (int(Panel) >= StatusBar1->Panels().Count())
        return;
    TStatusPanelPro& panel = StatusBar1->Panels()[int(Panel)];
    if (Look.Text)
        panel.SetText(*Look.Text);
    if (Look.FontColor && panel.FontColor() != *Look.FontColor)
        panel.SetFontColor(*Look.FontColor);
}

void TStatusView::Timer22Timer() {
    if (!FHosts)
        return;
    const TStatusSummaryTick tick = FSummary.Tick(*FHosts, MonitoringOn(), NowDateTime());
    if (Timer22.interval() != tick.Interval)
        Timer22.setInterval(tick.Interval);
    ShowStartStopState();
    if (!tick.Ran)
        return;
    FTrayHintLines = tick.TrayHintLines;
    ApplyPanel(TStatusPanel::OkCount, tick.Panel3);
    ApplyPanel(TStatusPanel::DownCount, tick.Panel4);
    ApplyPanel(TStatusPanel::DisabledCount, tick.Panel5);
    if (TBig_hint_form* tray = Tray()) {
        tray->SetTrayHintLines(FTrayHintLines);
        tray->ShowStateIcon(tick.Icon);
    }
    if (FApplicationIcon != tick.Icon) {
        FApplicationIcon = tick.Icon;
        QApplication::setWindowIcon(QIcon(StateIconPicture(tick.Icon)));
    }
    StatusBar1->update();
}
