// What the down and up alert popups share: the list of events they show and the slide-in from
// below the bottom right corner of the desktop, shown without taking the focus.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

class QLabel;
class TDataGrid;

class TSlidePopup : public QWidget {
    Q_OBJECT

public:
    explicit TSlidePopup(QWidget* parent = nullptr);
    ~TSlidePopup() override;

    // The events listed in the popup: columns Host, ID_, Time_d, State_.
    std::unique_ptr<TDataGrid> ShowGrid;

    // Places the popup just below the desktop's bottom edge, 3 pixels from its right edge, shows
    // it without activating it and starts sliding it in.
    void SlideIn();
    // The slide-in timer (one step per tick).
    QTimer Timer2;

protected:
    // Clears the shown flag of this popup when it slides out or is closed.
    virtual void PopupHidden() {}
    void hideEvent(QHideEvent* event) override;

private:
    void SlideStep();
    void RefreshList();

    QLabel* FList = nullptr;
    int FTargetTop = 0;
};
