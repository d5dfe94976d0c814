// The button, pop-up and combo edits under real keys and clicks: the button's place and
// events, typing and paste switched off, the drop-down's place and size, the keys that open,
// move in and close it, item texts by display mode, and the typing search of a list-style box.
#include "grid/widgets/GxButtonEdit.h"
#include "widget_helpers.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

using namespace widgettest;

namespace {

template <class T> struct Window {
    Window() {
        auto* layout = new QHBoxLayout(&Frame);
        layout->addWidget(Edit = new T);
        layout->addWidget(Other = new QLineEdit);
        Frame.show();
        Frame.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Frame));
        Edit->setFocus();
    }
    QWidget Frame;
    T* Edit = nullptr;
    QLineEdit* Other = nullptr;
};

void Wheel(QWidget* widget, int delta) {
    QWheelEvent wheel(QPointF(5, 5), QPointF(widget->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

} // namespace

TEST(ButtonEdit, TheButtonsPlaceAndEvents) {
    Window<TGxButtonEdit> w;
    TGxButtonEdit* edit = w.Edit;
    const int frame = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    EXPECT_EQ(edit->Button().geometry(),
              QRect(edit->width() - frame - 21, frame, 21, edit->height() - 2 * frame));
    EXPECT_EQ(edit->RightMargin(), 21);
    QStringList events;
    edit->OnButtonDown = [&](TGxCustomButtonEdit*) {
        events << "down";
    };
    edit->OnButtonClick = [&](TGxCustomButtonEdit*) {
        events << "click";
    };
    w.Other->setFocus();
    QTest::mousePress(&edit->Button(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(edit->hasFocus()); // the press focuses the edit
    EXPECT_TRUE(edit->Button().Pressed());
    QTest::mouseRelease(&edit->Button(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(edit->Button().Pressed());
    EXPECT_EQ(events, (QStringList{"down", "click"}));
    // A release away from the button is no click.
    QTest::mousePress(&edit->Button(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(&edit->Button(), Qt::LeftButton, Qt::NoModifier, QPoint(-30, 5));
    EXPECT_EQ(events, (QStringList{"down", "click", "down"}));
    SaveShot(edit->grab().toImage(), "button_edit");
    {
        ClassicDrawing classic;
        SaveShot(edit->grab().toImage(), "button_edit_classic");
    }
    edit->SetShowButton(false);
    EXPECT_TRUE(edit->Button().isHidden());
    EXPECT_EQ(edit->RightMargin(), 0);
}

TEST(ButtonEdit, TypingAndPasteSwitchedOff) {
    Window<TGxButtonEdit> w;
    TGxButtonEdit* edit = w.Edit;
    edit->setText("abc");
    edit->end(false);
    edit->SetOptions(epDisableTyping);
    QTest::keyClicks(edit, "xy");
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(edit->text(), "abc");
    QGuiApplication::clipboard()->setText("pasted");
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "abc");
    edit->SetOptions(epDisablePaste);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(edit->text(), "abc");
    QTest::keyClicks(edit, "d");
    EXPECT_EQ(edit->text(), "dabc"); // typing still works
    edit->SetOptions(0);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "dpastedabc");
}

TEST(ComboBox, TheListsPlaceAndSize) {
    Window<TGxComboBox> w;
    TGxComboBox* combo = w.Edit;
    EXPECT_EQ(combo->ItemHeight(), 16);
    EXPECT_EQ(combo->DropDownCount(), 8);
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->AutoCompleteDelay(), 750);
    combo->SetItems(QStringList{"Alpha", "Beta", "Gamma"});
    EXPECT_EQ(combo->ListSize(), QSize(combo->width(), 52)); // 3 x 16 + 4
    combo->SetListWidth(20);
    EXPECT_EQ(combo->ListSize().width(), combo->width()); // never narrower than the edit
    combo->SetListWidth(300);
    EXPECT_EQ(combo->ListSize().width(), 300);
    combo->SetListWidth(0);
    combo->SetItems(QStringList() << QStringList(20, QStringLiteral("x")));
    EXPECT_EQ(combo->ListSize().height(), 8 * 16 + 4);
    combo->SetItems(QStringList{"Alpha", "Beta", "Gamma"});
    combo->DropDown();
    ASSERT_TRUE(combo->DroppedDown());
    TGxPopupList* list = combo->PopupList();
    EXPECT_EQ(list->size(), QSize(combo->width(), 52));
    EXPECT_EQ(list->pos(), TGxPopupControl::FitIntoScreen(
                               QRect(combo->mapToGlobal(QPoint(-1, combo->height())), list->size())));
    EXPECT_FALSE(list->VertScrollBar().Visible());
    EXPECT_EQ(list->font(), combo->font());
    QApplication::processEvents();
    SaveShot(list->grab().toImage(), "combo_list");
}

TEST(ComboBox, KeysOpenMoveAndClose) {
    Window<TGxComboBox> w;
    TGxComboBox* combo = w.Edit;
    combo->SetItems(QStringList{"Alpha", "Beta", "Gamma"});
    QStringList events;
    combo->OnSelect = [&](TGxPopupEdit* sender) {
        events << "select " + sender->text();
    };
    combo->OnCloseUp = [&](TGxPopupEdit*) {
        events << "close";
    };
    // Closed: Up and Down move ItemIndex within the items, as does the wheel.
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->text(), "Alpha");
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(combo->ItemIndex(), 0);
    Wheel(combo, -240);
    EXPECT_EQ(combo->ItemIndex(), 2);
    Wheel(combo, -120);
    EXPECT_EQ(combo->ItemIndex(), 2);
    combo->SetEmbeddedInGrid(true);
    Wheel(combo, 120);
    EXPECT_EQ(combo->ItemIndex(), 2); // the grid's wheel
    combo->SetEmbeddedInGrid(false);
    // Alt+Down opens, Up moves the highlighted row, Esc cancels.
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(combo->DroppedDown());
    EXPECT_EQ(combo->PopupList()->ItemIndex(), 2);
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(combo->PopupList()->ItemIndex(), 1);
    EXPECT_EQ(combo->ItemIndex(), 2);
    QTest::keyClick(combo, Qt::Key_Escape);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(combo->text(), "Gamma");
    // Alt+Up toggles too; Enter takes the highlighted row.
    QTest::keyClick(combo, Qt::Key_Up, Qt::AltModifier);
    ASSERT_TRUE(combo->DroppedDown());
    QTest::keyClick(combo, Qt::Key_Up, Qt::AltModifier);
    EXPECT_FALSE(combo->DroppedDown());
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(combo, Qt::Key_Up);
    QTest::keyClick(combo, Qt::Key_Up);
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(events, (QStringList{"close", "close", "select Alpha", "close"}));
    // Losing the focus closes.
    combo->DropDown();
    w.Other->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(combo->DroppedDown());
}

TEST(ComboBox, ItemTextsByDisplayModeAndForeignText) {
    Window<TGxComboBox> w;
    TGxComboBox* combo = w.Edit;
    combo->SetItems(QStringList{"a=b", "c=d"});
    combo->SetDisplayMode(dmNameList);
    combo->SetItemIndex(0);
    EXPECT_EQ(combo->text(), "a");
    combo->SetDisplayMode(dmValueList);
    EXPECT_EQ(combo->text(), "b");
    combo->SetDisplayMode(dmIndentList);
    EXPECT_EQ(combo->text(), "b");
    combo->SetItemIndex(7);
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->text(), "");
    combo->SetDisplayMode(dmDefault);
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->text(), "c=d");
    // A text outside the items leaves no item chosen.
    combo->end(false);
    QTest::keyClicks(combo, "x");
    EXPECT_EQ(combo->text(), "c=dx");
    EXPECT_EQ(combo->ItemIndex(), -1);
    // While loading, the index changes without the text.
    combo->SetLoading(true);
    combo->SetItemIndex(0);
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->text(), "c=dx");
}

TEST(ComboBox, AutoCompleteInAListStyleBox) {
    Window<TGxComboBox> w;
    TGxComboBox* combo = w.Edit;
    combo->SetItems(QStringList{"Alpha", "Beta", "Gamma", "Echo"});
    combo->SetStyle(dsDropDownList);
    combo->SetAutoComplete(true);
    int clicks = 0;
    combo->OnClick = [&](TGxComboBox*) {
        ++clicks;
    };
    EXPECT_TRUE(combo->isReadOnly());
    QTest::keyClicks(combo, "b");
    EXPECT_EQ(combo->text(), "Beta");
    QTest::keyClicks(combo, "e");
    EXPECT_EQ(combo->text(), "Beta");
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->selectedText(), "ta");
    EXPECT_EQ(clicks, 1); // the index changed once
    QTest::keyClicks(combo, "q");
    EXPECT_EQ(combo->text(), "Beta"); // no item starts with "beq": the key is swallowed
    QTest::qWait(800);
    QTest::keyClicks(combo, "e"); // a longer pause: the search starts anew
    EXPECT_EQ(combo->text(), "Echo");
    EXPECT_EQ(combo->selectedText(), "cho");
    EXPECT_EQ(combo->ItemIndex(), 3);
    QTest::keyClick(combo, Qt::Key_Backspace);
    EXPECT_EQ(combo->selectedText(), "Echo");
    EXPECT_EQ(combo->ItemIndex(), 3);
    // dmValueList searches the values.
    combo->SetItems(QStringList{"1=Red", "2=Green"});
    combo->SetDisplayMode(dmValueList);
    QTest::qWait(800);
    QTest::keyClicks(combo, "g");
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->text(), "Green");
    EXPECT_EQ(combo->FindItem("R"), 0);
    EXPECT_EQ(combo->FindItem("2"), -1);
}

TEST(ComboBox, ListStyleTextsAndTheDropDownEdit) {
    Window<TGxComboBox> w;
    TGxComboBox* combo = w.Edit;
    combo->SetItems(QStringList{"Alpha", "Beta"});
    combo->SetStyle(dsDropDownList);
    // Without AutoComplete typed keys change nothing in the list style.
    QTest::keyClicks(combo, "zz");
    EXPECT_EQ(combo->text(), "");
    // A left press on the text opens the list.
    QTest::mousePress(combo, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_TRUE(combo->DroppedDown());
    combo->CloseUp();
    // An editable box with AutoComplete completes the typed start of its text.
    combo->SetStyle(dsDropDown);
    combo->SetAutoComplete(true);
    EXPECT_FALSE(combo->isReadOnly());
    QTest::keyClicks(combo, "al");
    EXPECT_EQ(combo->text(), "Alpha");
    EXPECT_EQ(combo->selectedText(), "pha");
    // AutoDropDown opens on a key and Tab closes.
    combo->SetAutoDropDown(true);
    combo->setText("");
    QTest::keyClicks(combo, "b");
    EXPECT_TRUE(combo->DroppedDown());
    EXPECT_EQ(combo->PopupList()->ItemIndex(), 1);
    QTest::keyClick(combo, Qt::Key_Tab);
    EXPECT_FALSE(combo->DroppedDown());
}

TEST(ComboBox, AFocusedEditableListStyleBoxShowsTheHighlight) {
    Window<TGxComboBox> w;
    TGxComboBox* combo = w.Edit;
    combo->SetItems(QStringList{"Alpha", "Beta"});
    combo->SetItemIndex(0);
    const QColor plain = combo->palette().color(QPalette::Base);
    w.Other->setFocus();
    combo->SetStyle(dsDropDownList);
    combo->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(combo->palette().color(QPalette::Base), ColorToQColor(clHighlight, combo->palette()));
    SaveShot(combo->grab().toImage(), "combo_list_style_focused");
    w.Other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(combo->palette().color(QPalette::Base), plain);
    // Read-only boxes and the editable style keep their colour.
    combo->SetReadOnly(true);
    combo->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(combo->palette().color(QPalette::Base), plain);
    combo->SetReadOnly(false);
    combo->SetStyle(dsDropDown);
    w.Other->setFocus();
    combo->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(combo->palette().color(QPalette::Base), plain);
}
