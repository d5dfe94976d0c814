// The main window: host list, pages, menus and toolbar. Its close box only hides it; the program
// ends through Exit (main menu or tray menu), which runs the close sequence.
#pragma once

#include "core/AlarmChannels.h"
#include "core/DatabaseLoader.h"
#include "core/SettingsFiles.h"
#include "core/WindowRoles.h"

#include <QMainWindow>
#include <QTimer>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class TDataGrid;
class TGxGridView;
class THostPageView;
class TLogPagesView;
class TOnlinePage;
class TMonitorController;
class TMonitorServices;
class TOptionsPage;
struct TOptionsPageParts;
class TSoundControls;
class TStatusBarPro;
class TStatusView;
class LangTextTable;

class TForm1 : public QMainWindow, public IGroupTreeSink, public IStatusPanels, public IMainShell {
    Q_OBJECT

public:
    explicit TForm1(TMonitorServices& Services, QWidget* parent = nullptr);
    ~TForm1() override;

    // Creation handler, the first of the program's windows: tray hint lines, audio start-up
    // and the first settings. The window shows the services' host table and options and
    // registers its status bar and group tree with them.
    void FormCreate();

    // The close sequence, never refused: every step runs guarded and in order.
    void FormCloseQuery();

    // Exit: runs the close sequence here and now, hides the window and ends the message loop.
    // A second call does nothing: the first one's sequence has run or is running.
    void ExitProgram();
    bool Closing() const { return closing_; }

    // Waits ms milliseconds while dispatching events.
    void PumpDelay(int ms);

    // Appends one line to the program log.
    void AddProgramLog(const QString& text);

    // Settings, grid layout, autostart value and window placement.
    void LoadSettings();
    void SaveSettings() override;

    // After a language file was read and its lines set in the windows: what is made from language
    // lines and state (box caption, status filter, Mute and Start/Stop captions, the chart period
    // box) is made again, and the host table's status words follow the new language.
    void LanguageApplied(const LangTextTable& Old, const LangTextTable& New) override;

    // The main window's role for the dialogs.
    void ShowMainWindow() override { show(); }
    void FillLanguages(const QStringList& Names) override;
    void ApplyGridLines() override;
    void SetUpSounds(const QStringList& Names) override;
    void TitleHostFrame(const QString& Prefix) override;

    // Window placement (win_pos.cnfg): restored at every activation, saved at every deactivation.
    void FormActivate();
    void FormDeactivate();
    void SaveWindowPlacement();
    TWindowPlacement CurrentWindowPlacement() const;
    QString WindowStateCode = QStringLiteral("0"); // "0" normal, "1" minimised, "2" maximised

    // Start/stop of monitoring (the hidden "Test now" button), clicked from code.
    void BitBtn7Click();

    // A status bar panel's text and colour (IStatusPanels).
    void SetPanelText(TStatusPanel Panel, const QString& Text, int Colour = PanelColourBlack) override;
    QString StatusPanel(TStatusPanel Panel) const;
    // The database's write state at the right of the status bar: why writing fails (red), or that it
    // works again.
    void ShowDatabaseWriteState(const QString& Line, bool Failing);
    QString DatabaseWriteState() const;

    // Both group trees get the loaded nodes (IGroupTreeSink).
    void ShowGroupTree(const TGroupTree& Nodes) override;
    void RestoreTreeExpansion() override;

    // The in-memory host table, the event queue of one pass, the up events and the sound queue:
    // the services' grids, set by FormCreate.
    TDataGrid* DataGrid1 = nullptr;
    TDataGrid* DownHostGrid = nullptr;
    TDataGrid* UpHostGrid = nullptr;
    TDataGrid* Sound_down_grid = nullptr;
    TGroupTree GroupNodes;
    QTreeWidget* TreeView1 = nullptr;
    QComboBox* ComboBox1 = nullptr; // host type filter
    // The host list on the hosts page: the shown group's rows of DataGrid1.
    TGxGridView* HostGridView = nullptr;

    // Start/Stop's hidden twin ("Test now"), which the status view clicks.
    QPushButton* BitBtn7 = nullptr;

    // Sound: "Mute", "Sound off" and the queue's one-second player (the "Sound alert" option and
    // the up sound's preview and file chooser are the options page's).
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn6 = nullptr;
    QTimer* sound_timer = nullptr;
    void sound_timerTimer();
    void BitBtn6Click();
    void BitBtn3Click();
    void CheckBox_soundalarmClick();
    void Play_sound_buttonClick();
    void Browse_BitBtnClick();
    TSoundControls& SoundControls() { return *FSound; }

    // The options page (TabSheet3) and its handlers.
    TOptionsPage& OptionsPage() { return *FOptions; }
    void BitBtn23Click();
    void Grid_show_CheckBoxClick();
    void Grid_Style_ComboBoxClick();
    void BitBtn30Click();
    void BitBtn36Click();
    void Button3Click();

    TMonitorServices& Services() { return *FServices; }
    TMonitorController& Monitor();

    // The pages: hosts, online monitoring, options, and the logs page holding the monitoring,
    // syslog and program log pages. Each page's contents are built by its own Create...Page.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // hosts
    QWidget* TabSheet7 = nullptr; // online monitoring
    QWidget* TabSheet3 = nullptr; // options
    QWidget* TabSheet2 = nullptr; // logs
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet4 = nullptr; // monitoring logs
    QWidget* TabSheet5 = nullptr; // syslog server
    QWidget* TabSheet6 = nullptr; // program logs

    // The three log pages and the syslog server.
    TLogPagesView& LogPages() { return *FLogPages; }
    // The online monitoring page (TabSheet7), made in FormCreate.
    TOnlinePage* OnlinePage() const { return FOnline.get(); }
    // The settings loader's idempotent start (or stop) of the syslog server per the option.
    void StartSyslogServer() override;

    QMenu* File1 = nullptr;
    QAction* Exit1 = nullptr; // main menu
    QAction* Exit2 = nullptr; // tray menu; the tray icon's menu shows this action

    // The status bar, the Start/Stop button, the start gate and the status summary.
    TStatusBarPro* StatusBar1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    TStatusView& StatusView() { return *FStatus; }
    void BitBtn2Click();
    void Timer9Timer();
    void Timer22Timer();

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

    void CreatePages();
    void CreateHostPage();
    void CreateHostGridView();
    void CreateOptionControls();
    void CreateStatusBar();
    void CreateSoundControls();
    void BindOptionControls();
    TOptionsPageParts OptionsPageParts();
    TOptionsPage* FOptions = nullptr;
    void InstallWindowPlacement();
    // Goes first in the destructor: the events of a window being destroyed reach no handler.
    QObject* FActivationFilter = nullptr;

    bool closing_ = false;
    std::unique_ptr<TStatusView> FStatus;
    TMonitorServices* FServices; // set by the constructor, never null
    std::unique_ptr<TSoundControls> FSound;
    std::unique_ptr<TLogPagesView> FLogPages;
    std::unique_ptr<TOnlinePage> FOnline;
    void CreateLogPages();
    // Last: it goes first, while the grids and buttons it hooks into still exist.
    std::unique_ptr<THostPageView> FHostPage;

public:
    // The hosts page: group tree, host list, filters, host and Tools menus.
    THostPageView& HostPage() { return *FHostPage; }
};

extern TForm1* Form1;
