// The up-alert popup: slides in when hosts come back.
#pragma once

#include <QWidget>

class TAlert_window_up : public QWidget {
    Q_OBJECT

public:
    explicit TAlert_window_up(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();
};

extern TAlert_window_up* Alert_window_up;
