// The main window: host list, pages, menus and toolbar. Its close box only hides it; the program
// ends through Exit (main menu or tray menu), which runs the close sequence.
#pragma once

#include <QMainWindow>

class QAction;
class QCloseEvent;
class QMenu;

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);

    // Creation handler, the first of the program's windows: tray hint lines, audio start-up
    // and the first settings.
    void FormCreate();

    // The close sequence, never refused: every step runs guarded and in order.
    void FormCloseQuery();

    // Exit: closes the main window for good, which runs the close sequence and ends the
    // message loop. A second call while closing does nothing.
    void ExitProgram();
    bool Closing() const { return closing_; }

    // Waits ms milliseconds while dispatching events.
    void PumpDelay(int ms);

    // Appends one line to the program log.
    void AddProgramLog(const QString& text);

    // Settings, grid layout, autostart value and window placement.
    void LoadSettings();
    void SaveSettings();

    QMenu* File1 = nullptr;
    QAction* Exit1 = nullptr; // main menu
    QAction* Exit2 = nullptr; // tray menu; the tray icon's menu shows this action

signals:
    // The close sequence has run: the message loop ends.
    void ProgramClosed();

public slots:
    void Exit1Click();
    void Exit2Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // One close step: traced, guarded, and a failure never stops the sequence.
    template <class F> void CloseStep(const char* name, F&& step);

    // Close steps whose subsystems fill them in.
    void StopWorkerThreads();
    void FreeAudio();
    void CommitOpenTransaction();
    void SaveTreeExpansion();
    void SignOffMessaging();

    bool closing_ = false;
};

extern TForm1* Form1;
