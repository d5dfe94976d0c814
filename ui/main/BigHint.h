// The big status hint of the tray icon; it owns the text tray icon and the tray menu, shows the
// hosts that are down above the icon and brings the main window back on a click.
#pragma once

#include "core/SimpleTimer.h"
#include "core/StatusSummary.h"
#include "core/WindowRoles.h"
#include "desktop/TextTrayIcon.h"

#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QPushButton;
class TBigHintWindow;
class TMonitorServices;

// The pictures of the host states: "OO" on lime (Image7, no host down), yellow (Image8, packet
// loss) and red (Image6, a host down).
QPixmap StateIconPicture(TSummaryIcon Icon);

// Where the hint of a given size goes for a pointer: right edge at the pointer's x, bottom 17
// pixels above it; below the pointer when that would leave the top of the screen; always
// inside the screen.
QRect BigHintRect(QPoint Pointer, QSize Size, const QRect& Screen);

// Lines that fit MaxLines: the first ones, then "…", the empty line and the count line, so the
// count line is never lost on a small screen.
QStringList FitHintLines(const QStringList& Lines, int MaxLines);

// The main window's saved state code after a click on the icon: "2" maximised, "0" and "1" normal.
void ApplyWindowStateCode(QWidget& Window, const QString& Code);

class TBig_hint_form : public QWidget, public ITrayIcon {
    Q_OBJECT

public:
    // The hint's pauses: before it shows, how long the first showing stays, and how long later
    // showings stay (the pointer leaving the icon hides it anyway).
    static constexpr int HintPauseMs = 500;
    static constexpr int HintHidePauseMs = 2500;
    static constexpr int HintHideAfterExitMs = 150000;
    static constexpr int PointerGap = 17;

    // On the real notification area.
    explicit TBig_hint_form(TMonitorServices& Services, QWidget* parent = nullptr);
    // On the given one (tests).
    TBig_hint_form(TMonitorServices& Services, std::unique_ptr<ITrayIconBackend> Backend,
                   QWidget* parent = nullptr);
    ~TBig_hint_form() override;

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows. Shows the icon with Image7's picture.
    void FormCreate();

    // The main window, shown and restored by a click and hidden by a double click;
    // ApplyWindowState then applies its saved window state code.
    void SetMainWindow(QWidget* Window, std::function<void()> ApplyWindowState);
    // Runs for the menu's "About..." line.
    void SetAboutHandler(std::function<void()> Handler) { FAbout = std::move(Handler); }
    // The main window's Exit command becomes the menu's last line.
    void SetExitAction(QAction* Action);
    // Captions in the current language.
    void TranslateCaptions();

    // The summary's new hint lines. Where the notification area gives no icon place (no
    // pointer tracking) they go into the icon's tip instead, count line first.
    void SetTrayHintLines(const QStringList& Lines);
    const QStringList& TrayHintLines() const { return FTrayHintLines; }
    // The icon by host state; a repeated state changes nothing.
    void ShowStateIcon(TSummaryIcon Icon);

    // Whether a notification area exists, so the main window can start hidden.
    bool TrayAvailable() override { return TextTrayIcon1->Backend().TrayAvailable(); }

    // The hint window (for tests and screenshots) and its current text.
    QWidget* HintWindow() const;
    QString HintText() const;

    // Components, under the names the rest of the program uses.
    TTextTrayIcon* TextTrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Showmainwindow1 = nullptr;
    QAction* About1 = nullptr;
    QPushButton* Button1 = nullptr;
    TSimpleTimer Timer1;
    TSimpleTimer Timer2;

    // Handlers.
    void TextTrayIcon1MouseMove(QPoint Pos);
    void TextTrayIcon1MouseEnter();
    void TextTrayIcon1MouseExit();
    void TextTrayIcon1Click();
    void TextTrayIcon1DblClick();
    void Timer1Timer();
    void Timer2Timer();
    void Showmainwindow1Click();
    void About1Click();
    void Button1Click();

private:
    void PlaceHint(QPoint Pointer);

    std::unique_ptr<TBigHintWindow> FHint;
    QPointer<QWidget> FMainWindow;
    std::function<void()> FApplyWindowState;
    std::function<void()> FAbout;
    QPointer<QAction> FExitAction;
    QStringList FTrayHintLines;
    QPoint FPointer;
    std::optional<QPoint> FShownAt;
    std::optional<TSummaryIcon> FStateIcon;
};

extern TBig_hint_form* Big_hint_form;
