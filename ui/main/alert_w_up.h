// The up-alert popup: slides in when hosts come back.
#pragma once

#include "ui/main/SlidePopup.h"

class TAlert_window_up : public TSlidePopup {
    Q_OBJECT

public:
    explicit TAlert_window_up(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

protected:
    void PopupHidden() override;
};

extern TAlert_window_up* Alert_window_up;
