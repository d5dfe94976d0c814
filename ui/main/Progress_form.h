// The progress window shown while a large host table loads at start-up.
#pragma once

#include "core/DatabaseLoader.h"

#include <QWidget>

class QProgressBar;
class TMonitorServices;

class TProgress_Form : public QWidget, public IHostLoadProgress {
    Q_OBJECT

public:
    explicit TProgress_Form(TMonitorServices& Services, QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // The host load drives the window through these.
    void SetMaximum(int Maximum) override;
    void ShowProgress() override;
    void SetPosition(int Position) override;
    void SetCaption(const QString& Caption) override;
    void ProcessMessages() override;
    void CloseProgress() override;

    QProgressBar* ProgressBar1 = nullptr;
};

extern TProgress_Form* Progress_Form;
