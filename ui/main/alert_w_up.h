// The up-alert popup: slides in when hosts come back.
#pragma once

#include "ui/main/SlidePopup.h"

#include <QPointer>

#include <memory>

class TAlert_window;
class TAlertPopups;
class TMonitorServices;

class TAlert_window_up : public TSlidePopup {
    Q_OBJECT

public:
    explicit TAlert_window_up(TMonitorServices& Services, QWidget* parent = nullptr);
    ~TAlert_window_up() override;

    // Creation handler (once, in the fixed creation order of the windows): registers both popups
    // as the dispatcher's popup channel; the down popup is created before this one.
    void FormCreate();
    // The down popup this one stacks with, given before the creation handler runs.
    void SetDownPopup(TAlert_window* Down);

protected:
    bool& StackedFlag() const override { return UpAlertStacked; }
    bool& VisibleFlag() const override;
    void PopupHidden() override;

private:
    TMonitorServices* FServices; // set by the constructor, never null
    std::unique_ptr<TAlertPopups> FPopups;
    QPointer<TAlert_window> FDown;
};

extern TAlert_window_up* Alert_window_up;
