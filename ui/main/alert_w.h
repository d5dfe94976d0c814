// The down-alert popup: slides in at the bottom right of the screen with the events of the last pass.
#pragma once

#include "core/WindowRoles.h"
#include "ui/main/SlidePopup.h"

class TMonitorServices;

class TAlert_window : public TSlidePopup, public IPopupTest {
    Q_OBJECT

public:
    explicit TAlert_window(TMonitorServices& Services, QWidget* parent = nullptr);
    void SlideInTest() override { SlideIn(); }

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

private:
    TMonitorServices* FServices; // set by the constructor, never null

protected:
    bool& StackedFlag() const override { return DownAlertStacked; }
    bool& VisibleFlag() const override;
    void PopupHidden() override;
};

extern TAlert_window* Alert_window;
