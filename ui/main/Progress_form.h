// The progress window shown while a large host table loads at start-up.
#pragma once

#include <QWidget>

class TProgress_Form : public QWidget {
    Q_OBJECT

public:
    explicit TProgress_Form(QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();
};

extern TProgress_Form* Progress_Form;
