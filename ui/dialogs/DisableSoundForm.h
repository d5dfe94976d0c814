// The sound-off dialog shown by "Mute": the mute lasts until the program restarts, or the
// "Sound alert" option is set to match it and saved, so it survives restarts.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

class TMonitorServices;

class TSoundDisableForm : public QDialog {
    Q_OBJECT

public:
    explicit TSoundDisableForm(TMonitorServices& Services, QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // "program restart": only closes; the caller has already set the sound state.
    void BitBtn1Click();
    // "manually turn it on": "Sound alert" := not SoundMuted (its handler runs), the settings
    // are saved, and the dialog closes.
    void BitBtn2Click();

    QLabel* Label1 = nullptr;       // "You wish: "
    QLabel* Label2 = nullptr;       // set by the caller: "Disable sound until:" or "Enable sound until:"
    QPushButton* BitBtn1 = nullptr; // "program restart"
    QPushButton* BitBtn2 = nullptr; // "manually turn it on"

    // The main window's "Sound alert" box and settings save; whoever shows the dialog sets them.
    QCheckBox* SoundAlarmBox = nullptr;
    std::function<void()> SaveSettings;
};

extern TSoundDisableForm* SoundDisableForm;
