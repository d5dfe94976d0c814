// The drop-down windows: the framed control's scroll bar (geometry, thumb, drag, the held
// button's delay and repeat, both drawings), placing a window inside the screen, the mouse
// grab and what closes a window, the string list's rows, modes and draw styles, and the
// calendar drop-down's buttons.
#include "grid/widgets/GxButtonEdit.h"
#include "widget_helpers.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

using namespace widgettest;

namespace {

// A control whose bar is shown, with a range of 100.
struct BarControl : TGxControl {
    BarControl() {
        resize(120, 200);
        VertScrollBar().SetMax(100);
        VertScrollBar().SetVisible(true);
        UpdateBarBounds();
    }
};

void MoveTo(QWidget* widget, const QPoint& at, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::NoButton, buttons,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

QStringList Numbered(int count) {
    QStringList items;
    for (int i = 0; i < count; ++i)
        items << QStringLiteral("item %1").arg(i);
    return items;
}

// A combo box in an active window, with a second control to take the focus.
struct ComboWindow {
    ComboWindow() {
        auto* layout = new QHBoxLayout(&Window);
        layout->addWidget(Combo = new TGxComboBox);
        layout->addWidget(Other = new QLineEdit);
        Combo->setObjectName("Combo");
        Window.show();
        Window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
        Combo->setFocus();
    }
    QWidget Window;
    TGxComboBox* Combo = nullptr;
    QLineEdit* Other = nullptr;
};

} // namespace

TEST(VertScrollBar, GeometryThumbAndDrag) {
    BarControl control;
    control.show();
    TGxVertScrollBar& bar = control.VertScrollBar();
    const int size = bar.ButtonSize();
    EXPECT_EQ(size, control.style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    EXPECT_EQ(control.ContentRect(), QRect(2, 2, 116 - size, 196));
    EXPECT_EQ(bar.Bounds(), QRect(118 - size, 2, size, 196));
    EXPECT_EQ(bar.PageSize(), 8);
    EXPECT_EQ(bar.BackRect(), QRect(118 - size, 2, size, size));
    EXPECT_EQ(bar.ForwardRect(), QRect(118 - size, 198 - size, size, size));
    const int track = 196 - 2 * size;
    EXPECT_EQ(bar.TrackLength(), track);
    // Top = Round(Position x (track - PageSize) / Max) + button size + 2.
    EXPECT_EQ(bar.ThumbRect(), QRect(118 - size, size + 2, size, 8));
    bar.SetPosition(50);
    EXPECT_EQ(bar.ThumbRect().top(), qRound(50.0 * (track - 8) / 100) + size + 2);
    EXPECT_EQ(bar.PartAt(bar.ThumbRect().center()), TGxVertScrollBar::spThumb);
    EXPECT_EQ(bar.PartAt(QPoint(bar.Bounds().center().x(), bar.ThumbRect().top() - 3)),
              TGxVertScrollBar::spPageBack);
    EXPECT_EQ(bar.PartAt(QPoint(bar.Bounds().center().x(), bar.ThumbRect().bottom() + 3)),
              TGxVertScrollBar::spPageForward);
    // Drag: Position = Round(Y / (track / Max)).
    bar.DragTo(40);
    EXPECT_EQ(bar.Position(), qRound(40 / (double(track) / 100)));
    // A press on the thumb and a move drag it.
    const QPoint grip = bar.ThumbRect().center();
    QTest::mousePress(control.viewport(), Qt::LeftButton, Qt::NoModifier, grip);
    MoveTo(control.viewport(), grip + QPoint(0, 30), Qt::LeftButton);
    EXPECT_EQ(bar.ThumbState() & TGxVertScrollBar::psPressed, TGxVertScrollBar::psPressed);
    QTest::mouseRelease(control.viewport(), Qt::LeftButton, Qt::NoModifier, grip + QPoint(0, 30));
    EXPECT_GT(bar.Position(), qRound(40 / (double(track) / 100)));
    EXPECT_EQ(bar.ThumbState() & TGxVertScrollBar::psPressed, 0);
}

TEST(VertScrollBar, NoThumbOrDragWhileTheTrackIsShorterThanThePage) {
    BarControl control;
    control.resize(120, 2 * control.VertScrollBar().ButtonSize() + 4 + 5); // a track of 5
    control.UpdateBarBounds();
    TGxVertScrollBar& bar = control.VertScrollBar();
    ASSERT_EQ(bar.TrackLength(), 5);
    EXPECT_FALSE(bar.HasThumb());
    EXPECT_TRUE(bar.ThumbRect().isEmpty());
    bar.DragTo(3);
    EXPECT_EQ(bar.Position(), 0);
    control.resize(120, 2 * bar.ButtonSize() + 4); // no track at all
    control.UpdateBarBounds();
    bar.DragTo(1);
    EXPECT_EQ(bar.Position(), 0);
    control.show();
    control.grab(); // paints without dividing by the track
    bar.SetMax(0);
    EXPECT_FALSE(bar.HasThumb());
}

TEST(GxControl, AHeldButtonStepsAtOnceThenEvery50MsAfter300Ms) {
    BarControl control;
    control.show();
    TGxVertScrollBar& bar = control.VertScrollBar();
    const QPoint forward = bar.ForwardRect().center();
    QTest::mousePress(control.viewport(), Qt::LeftButton, Qt::NoModifier, forward);
    EXPECT_EQ(bar.Position(), 1); // at once
    EXPECT_EQ(control.PressedAction(), paLineDown);
    EXPECT_EQ(bar.ForwardState(), TGxVertScrollBar::psPressed | TGxVertScrollBar::psHot);
    QTest::qWait(200);
    EXPECT_EQ(bar.Position(), 1); // no repeat before 300 ms
    QTest::qWait(330);
    EXPECT_GE(bar.Position(), 3); // 300 ms, then every 50 ms
    QTest::mouseRelease(control.viewport(), Qt::LeftButton, Qt::NoModifier, forward);
    const int released = bar.Position();
    EXPECT_EQ(control.PressedAction(), paNone);
    QTest::qWait(120);
    EXPECT_EQ(bar.Position(), released);
    // The back button steps back; the page area below the thumb pages by LargeChange.
    bar.SetLargeChange(10);
    QTest::mouseClick(control.viewport(), Qt::LeftButton, Qt::NoModifier, bar.BackRect().center());
    EXPECT_EQ(bar.Position(), released - 1);
    QTest::mouseClick(control.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(bar.Bounds().center().x(), bar.ForwardRect().top() - 2));
    EXPECT_EQ(bar.Position(), released + 9);
    // Hot states follow the pointer over the bar's column and clear elsewhere.
    MoveTo(control.viewport(), bar.BackRect().center());
    EXPECT_EQ(bar.BackState(), TGxVertScrollBar::psHot);
    MoveTo(control.viewport(), QPoint(10, 10));
    EXPECT_EQ(bar.BackState(), 0);
}

TEST(GxControl, FramesAndBothBarDrawings) {
    BarControl control;
    control.show();
    const QImage themed = control.grab().toImage();
    SaveShot(themed, "gx_control");
    EXPECT_EQ(At(themed, 0, 0), Rgb(0, 0, 0));
    EXPECT_EQ(At(themed, 119, 199), Rgb(0, 0, 0));
    EXPECT_EQ(At(themed, 1, 1), Expect(control.palette().color(QPalette::Base)));
    ClassicDrawing classic;
    const QImage plain = control.grab().toImage();
    SaveShot(plain, "gx_control_classic");
    TGxVertScrollBar& bar = control.VertScrollBar();
    // The checkered track: neighbours alternate between the two colours.
    const int x = bar.Bounds().center().x();
    const int y = bar.ForwardRect().top() - 10;
    const QRgb a = At(plain, x, y);
    const QRgb b = At(plain, x + 1, y);
    EXPECT_NE(a, b);
    EXPECT_EQ(At(plain, x + 1, y + 1), a);
    const QRgb highlight = Expect(ColorToQColor(clBtnHighlight, control.palette()));
    const QRgb track = Expect(ColorToQColor(clScrollBar, control.palette()));
    EXPECT_TRUE((a == highlight && b == track) || (a == track && b == highlight));
}

TEST(PopupControl, PopupAtFitsTheWindowIntoTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int right = area.x() + area.width();
    const int bottom = area.y() + area.height();
    // 10 px from the right edge: moved to the right edge - Width.
    EXPECT_EQ(TGxPopupControl::FitIntoScreen(QRect(right - 10, 100, 80, 50)), QPoint(right - 80, 100));
    EXPECT_EQ(TGxPopupControl::FitIntoScreen(QRect(right - 80, 100, 80, 50)), QPoint(right - 80, 100));
    EXPECT_EQ(TGxPopupControl::FitIntoScreen(QRect(area.x() - 30, bottom - 20, 80, 50)),
              QPoint(area.x(), bottom - 50));
    EXPECT_EQ(TGxPopupControl::FitIntoScreen(QRect(20, area.y() - 5, 80, 50)), QPoint(20, area.y()));
    // Beyond every screen: the nearest one's area.
    EXPECT_EQ(TGxPopupControl::FitIntoScreen(QRect(right + 500, bottom + 500, 80, 50)),
              QPoint(right - 80, bottom - 50));

    QWidget owner;
    TGxPopupControl popup(&owner);
    popup.resize(80, 50);
    int closes = 0;
    popup.OnCloseUp = [&](TGxPopupControl*) {
        ++closes;
    };
    owner.show();
    owner.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
    owner.setFocusPolicy(Qt::StrongFocus);
    owner.setFocus();
    popup.PopupAt(right - 10, 100);
    EXPECT_EQ(popup.pos(), QPoint(right - 80, 100));
    EXPECT_TRUE(popup.isVisible());
    EXPECT_FALSE(popup.Closed());
    EXPECT_EQ(QWidget::mouseGrabber(), popup.viewport());
    EXPECT_EQ(QApplication::activeWindow(), &owner); // shown without activation
    EXPECT_TRUE(owner.hasFocus());
    // A release outside closes.
    QTest::mouseRelease(popup.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(-20, 10));
    EXPECT_TRUE(popup.Closed());
    EXPECT_FALSE(popup.isVisible());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(closes, 1);
}

TEST(PopupControl, TheFirstReleaseArmsAndLostHoldsClose) {
    ComboWindow w;
    w.Combo->SetItems(QStringList{"Alpha", "Beta", "Gamma"});
    int closes = 0, selects = 0;
    w.Combo->OnCloseUp = [&](TGxPopupEdit*) {
        ++closes;
    };
    w.Combo->OnSelect = [&](TGxPopupEdit*) {
        ++selects;
    };
    // The press on the button opens; its release (to the grabbing window, outside) only arms.
    QWidget* button = &w.Combo->Button();
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    ASSERT_TRUE(w.Combo->DroppedDown());
    TGxPopupList* list = w.Combo->PopupList();
    EXPECT_FALSE(list->Armed());
    EXPECT_TRUE(w.Combo->Button().Pressed());
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(-5, -5));
    EXPECT_TRUE(w.Combo->DroppedDown());
    EXPECT_TRUE(list->Armed());
    // A click on a row chooses it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->RowRect(1).center());
    EXPECT_FALSE(w.Combo->DroppedDown());
    EXPECT_FALSE(w.Combo->Button().Pressed());
    EXPECT_EQ(w.Combo->text(), "Beta");
    EXPECT_EQ(w.Combo->ItemIndex(), 1);
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(closes, 1);

    // Another grabber: the drop-down lets go within its check.
    w.Combo->DropDown();
    ASSERT_TRUE(w.Combo->DroppedDown());
    w.Other->grabMouse();
    QTest::qWait(250);
    EXPECT_FALSE(w.Combo->DroppedDown());
    w.Other->releaseMouse();
    // The edit's focus.
    w.Combo->DropDown();
    w.Other->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(w.Combo->DroppedDown());
    EXPECT_NE(QWidget::mouseGrabber(), list->viewport());
    // The application's activation.
    w.Combo->setFocus();
    w.Combo->DropDown();
    ASSERT_TRUE(w.Combo->DroppedDown());
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(w.Combo->DroppedDown());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(selects, 1);
}

TEST(PopupList, RowsScrollBarAndTheSelectionInView) {
    TGxPopupList list;
    list.resize(120, 8 * 16 + 4);
    list.SetItems(Numbered(5));
    EXPECT_EQ(list.RowHeight(), 16);
    EXPECT_EQ(list.DropDownCount(), 8);
    EXPECT_EQ(list.HotIndex(), -1);
    EXPECT_EQ(list.ItemIndex(), -1);
    EXPECT_EQ(list.VisibleRowCount(), 8);
    EXPECT_FALSE(list.VertScrollBar().Visible()); // no more strings than DropDownCount
    list.SetItems(Numbered(100));
    EXPECT_TRUE(list.VertScrollBar().Visible());
    EXPECT_EQ(list.VertScrollBar().Max(), 92);
    list.SetItemIndex(50);
    EXPECT_EQ(list.VertScrollBar().Position(), 43); // the selected row is the last shown
    list.SetItemIndex(10);
    EXPECT_EQ(list.VertScrollBar().Position(), 10);
    list.MoveSelection(-1);
    EXPECT_EQ(list.ItemIndex(), 9);
    EXPECT_EQ(list.VertScrollBar().Position(), 9);
    list.MoveSelection(-20);
    EXPECT_EQ(list.ItemIndex(), 0);
    EXPECT_EQ(list.RowAt(QPoint(10, 2 + 16 * 3 + 5)), 3);
    list.ScrollBy(5);
    EXPECT_EQ(list.RowAt(QPoint(10, 2 + 5)), 5);
    EXPECT_EQ(list.RowAt(QPoint(10, 1)), -1);
    list.SetItemIndex(100);
    EXPECT_EQ(list.ItemIndex(), -1);
    list.SetRowHeight(0);
    EXPECT_EQ(list.RowHeight(), 1);
    list.SetRowHeight(-5);
    EXPECT_EQ(list.RowHeight(), 1);
}

TEST(PopupList, DisplayModesAndTheIndentNumber) {
    const QStringList items{"a=b", "plain", "2=two", "x=bad", "-3=neg", "1=one=more"};
    EXPECT_EQ(ItemDisplayText(items, 0, dmDefault), "a=b");
    EXPECT_EQ(ItemDisplayText(items, 0, dmNameList), "a");
    EXPECT_EQ(ItemDisplayText(items, 0, dmValueList), "b");
    EXPECT_EQ(ItemDisplayText(items, 1, dmNameList), "plain");
    EXPECT_EQ(ItemDisplayText(items, 1, dmValueList), ""); // no "=": an empty value part
    EXPECT_EQ(ItemDisplayText(items, 5, dmIndentList), "one=more");
    EXPECT_EQ(ItemDisplayText(items, 6, dmDefault), "");
    EXPECT_EQ(ItemDisplayText(items, -1, dmValueList), "");
    EXPECT_EQ(ItemIndent(items, 2), 20);
    EXPECT_EQ(ItemIndent(items, 3), 0);
    EXPECT_EQ(ItemIndent(items, 4), 0);
    EXPECT_EQ(ItemIndent(items, 1), 0);
    TGxPopupList list;
    list.resize(120, 100);
    list.SetItems(items);
    list.SetDisplayMode(dmIndentList);
    list.show();
    const QImage shot = list.grab().toImage(); // paints every row without raising
    SaveShot(shot, "popup_list_indent");
    EXPECT_EQ(list.RowText(2), "two");
}

TEST(PopupList, DrawStylesAndTheOwnerDrawEvent) {
    TGxPopupList list;
    list.resize(100, 3 * 16 + 4);
    list.SetItems(QStringList{"one", "two", "three"});
    list.SetItemIndex(1);
    list.SetBackgroundColor(0x00FFFF); // yellow
    list.SetHighlightColor(0xFF0000);  // blue
    std::vector<std::pair<int, bool>> drawn;
    list.OnDrawItem = [&](TGxPopupList*, QPainter& canvas, int index, bool selected, const QRect& rect) {
        drawn.emplace_back(index, selected);
        canvas.fillRect(rect.left() + 60, rect.top(), 10, rect.height(), Qt::red);
    };
    list.show();
    QImage shot = list.grab().toImage();
    EXPECT_TRUE(drawn.empty()); // doNormal never asks
    EXPECT_EQ(At(shot, 80, 2 + 16 + 8), Rgb(0, 0, 255));
    EXPECT_EQ(At(shot, 80, 2 + 8), Rgb(255, 255, 0));
    list.SetDrawStyle(doBackgroundOnly);
    shot = list.grab().toImage();
    EXPECT_EQ(drawn, (std::vector<std::pair<int, bool>>{{0, false}, {1, true}, {2, false}}));
    EXPECT_EQ(At(shot, 62, 2 + 8), Rgb(255, 0, 0));
    EXPECT_EQ(At(shot, 80, 2 + 8), Rgb(255, 255, 0));
    drawn.clear();
    list.SetDrawStyle(doCustomOnly);
    list.SetBackgroundColor(0x00FF00);
    shot = list.grab().toImage();
    EXPECT_EQ(drawn.size(), 3u);
    EXPECT_NE(At(shot, 80, 2 + 8), Rgb(0, 255, 0)); // no fill of its own
    SaveShot(shot, "popup_list_custom");
}

TEST(PopupList, HotRowsAndAReleaseChoose) {
    ComboWindow w;
    w.Combo->SetItems(Numbered(20));
    QStringList chosen;
    w.Combo->OnSelect = [&](TGxPopupEdit* sender) {
        chosen << sender->text();
    };
    QTest::keyClick(w.Combo, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(w.Combo->DroppedDown());
    TGxPopupList* list = w.Combo->PopupList();
    EXPECT_TRUE(list->Armed()); // opened by a key: the next click counts
    EXPECT_TRUE(list->VertScrollBar().Visible());
    MoveTo(list->viewport(), list->RowRect(4).center());
    EXPECT_EQ(list->HotIndex(), 4);
    QApplication::processEvents();
    SaveShot(list->grab().toImage(), "popup_list_hot");
    // The wheel scrolls the open list by one.
    QWheelEvent wheel(QPointF(5, 5), QPointF(w.Combo->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.Combo, &wheel);
    EXPECT_EQ(list->VertScrollBar().Position(), 1);
    EXPECT_EQ(w.Combo->ItemIndex(), -1);
    // A click on the bar scrolls and keeps the list open.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->VertScrollBar().ForwardRect().center());
    EXPECT_TRUE(w.Combo->DroppedDown());
    EXPECT_EQ(list->VertScrollBar().Position(), 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->RowRect(5).center());
    EXPECT_EQ(chosen, QStringList{"item 5"});
    EXPECT_EQ(w.Combo->ItemIndex(), 5);
}

TEST(DatePopup, ButtonsStandWhereTheMonthCalendarsDo) {
    TGxDatePopup popup;
    EXPECT_EQ(popup.size(), QSize(151, 163));
    EXPECT_EQ(popup.Buttons().Today().geometry(), QRect(20, 133, 47, 20));
    EXPECT_EQ(popup.Buttons().None().geometry(), QRect(82, 133, 47, 20));
    EXPECT_EQ(popup.Buttons().At(QPoint(20, 133)), &popup.Buttons().Today());
    EXPECT_EQ(popup.Buttons().At(QPoint(66, 152)), &popup.Buttons().Today());
    EXPECT_EQ(popup.Buttons().At(QPoint(67, 140)), nullptr);
    EXPECT_EQ(popup.Buttons().At(QPoint(82, 133)), &popup.Buttons().None());
    popup.SetShowNoneButton(false);
    EXPECT_EQ(popup.Buttons().Today().geometry().left(), 52);
    EXPECT_EQ(popup.Buttons().At(QPoint(98, 140)), &popup.Buttons().Today());
    EXPECT_EQ(popup.Buttons().At(QPoint(99, 140)), nullptr);
    EXPECT_EQ(popup.Buttons().At(QPoint(120, 140)), nullptr);
}
