// A notification area for tests: records what the tray icon asks of it, lets the test click the
// icon, and places the icon and the mouse pointer where the test says.
#pragma once

#include "desktop/TrayIconBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QStringList>
#include <QThread>

#include <functional>
#include <vector>

class TFakeTrayIconBackend : public ITrayIconBackend {
public:
    void SetActivationHandler(std::function<void(TTrayActivation)> Handler) override {
        FHandler = std::move(Handler);
    }
    bool TrayAvailable() const override { return Available; }
    void SetVisible(bool Visible) override {
        FVisible = Visible;
        VisibleChanges.push_back(Visible);
        if (OutsideVisibleLog)
            OutsideVisibleLog->push_back(Visible);
    }
    bool Visible() const override { return FVisible; }
    void SetIcon(const QIcon& Icon) override {
        LastIcon = Icon;
        ++IconUpdates;
    }
    void SetToolTip(const QString& Tip) override {
        if (ToolTips.isEmpty() || ToolTips.last() != Tip)
            ToolTips.append(Tip);
    }
    void SetContextMenu(QMenu* Menu) override { ContextMenu = Menu; }
    QRect Geometry() const override { return IconGeometry; }
    QPoint CursorPos() const override {
        ++CursorQueries;
        return Cursor;
    }

    // What the notification area reports for a single and a double click of the left button.
    void Click() { Activate(TTrayActivation::Trigger); }
    void DoubleClick() {
        Activate(TTrayActivation::Trigger);
        Activate(TTrayActivation::DoubleClick);
    }
    void Activate(TTrayActivation Reason) {
        if (FHandler)
            FHandler(Reason);
    }
    QString ToolTip() const { return ToolTips.isEmpty() ? QString() : ToolTips.last(); }

    bool Available = true;
    QRect IconGeometry;
    QPoint Cursor;
    mutable int CursorQueries = 0;
    std::vector<bool> VisibleChanges;
    // Also receives the visibility changes; outlives the backend (which goes with its icon).
    std::vector<bool>* OutsideVisibleLog = nullptr;
    QIcon LastIcon;
    int IconUpdates = 0;
    QStringList ToolTips; // each distinct tip in the order it was set
    QMenu* ContextMenu = nullptr;

private:
    std::function<void(TTrayActivation)> FHandler;
    bool FVisible = false;
};

// Runs the event loop until Done() holds or Limit ms have passed; returns Done().
inline bool ProcessEventsUntil(const std::function<bool()>& Done, int Limit) {
    QElapsedTimer clock;
    clock.start();
    while (!Done() && clock.elapsed() < Limit) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return Done();
}

// Runs the event loop for Ms milliseconds.
inline void ProcessEventsFor(int Ms) {
    ProcessEventsUntil([] { return false; }, Ms);
}
