// What the down and up alert popups share: a 292 x 152 frameless window, always on top and shown
// without taking the focus, that slides up from below the bottom right corner of the screen and
// stacks above the other popup when that one already shows; its event list, buttons, clipboard
// copy and the host actions of its context menu.
#pragma once

#include "ui/main/Clipboard.h"

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QPushButton;
class TDataGrid;
class TGxCustomColumn;
class TGxGridView;

// The popup is sliding in above the other one.
extern bool DownAlertStacked;
extern bool UpAlertStacked;

class TSlidePopup : public QWidget {
    Q_OBJECT

public:
    // Down: the down popup's list columns and behaviour, else the up popup's.
    TSlidePopup(bool Down, QWidget* parent = nullptr);
    ~TSlidePopup() override;

    // The events listed (newest first).
    std::unique_ptr<TDataGrid> ShowGrid;
    TGxGridView* ShowGridView = nullptr;
    QLabel* Label1 = nullptr; // newest event's host
    QLabel* Label2 = nullptr; // heading
    QLabel* Label3 = nullptr; // close
    QLabel* Image6 = nullptr; // close mark, changes under the pointer
    QPushButton* BitBtn6 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QTimer Timer2; // slide in
    QTimer Timer4; // slide out

    // The main window's host table, where the list's host ids are looked up.
    TDataGrid* HostTable = nullptr;

    // The popup this one stacks above.
    void SetOtherPopup(TSlidePopup* Other) { FOther = Other; }

    // Places the popup below the screen (unless it already shows), shows it without activating it
    // and starts the slide-in; a slide-out under way turns back.
    void SlideIn();
    // On screen and not sliding out.
    bool Resting() const { return isVisible() && !Timer4.isActive(); }
    // Label1 gets the newest event's host.
    void ListChanged();

    void Timer2Timer();
    void Timer4Timer();
    void Label1Click();
    void Label3Click();
    void BitBtn6Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void ShowGridCellClick(int Col, int Row);
    void Explorehost1Click();
    void Logs1Click();
    void N1Click();
    void raceroute1Click();

    // The text BitBtn2 copies.
    QString ClipboardText() const;
    // Host id of the list's current row (the menu's row), empty when none.
    QString CurrentKod() const;

protected:
    virtual bool& StackedFlag() const = 0;
    virtual bool& VisibleFlag() const = 0;
    // Clears the shown flag of this popup when it slides out or is closed.
    virtual void PopupHidden() {}
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    const bool FDown;

private:
    void OpenHostOfRow(int Row);
    // Address and name of a host id in the main window's host table.
    bool HostOf(const QString& Kod, QString& Address, QString& Name) const;
    void StartSlideOut();

    TSlidePopup* FOther = nullptr;
    QString FLabelKod;
    // The list's columns shown when they have text, in their order.
    std::vector<TGxCustomColumn*> FListColumns;
    // Sizes every column of the list to its header and texts and the window to the list.
    void FitToList();
};
