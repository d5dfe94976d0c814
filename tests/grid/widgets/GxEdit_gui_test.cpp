// The edit controls under real keys: the number filter (also with Ctrl shortcuts whose event
// text is a letter), every paste path cleaned, Min, Max and Precision in three locales, the spin
// buttons' timing, the arrow keys and the wheel, value access in every type, margins and the
// info child, and Tab taken only with WantTabs.
#include "grid/GxConvert.h"
#include "grid/widgets/GxEdit.h"
#include "widget_helpers.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace widgettest;

namespace {

// A number edit in a window of its own, with a second control to take the focus.
struct EditWindow {
    template <class T> T* Make(const QLocale& locale = QLocale(QLocale::English, QLocale::UnitedStates)) {
        auto* layout = new QHBoxLayout(&Window);
        auto* edit = new T;
        edit->SetLocale(locale);
        layout->addWidget(edit);
        layout->addWidget(Other = new QLineEdit);
        Window.show();
        Window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
        edit->setFocus(Qt::OtherFocusReason);
        return edit;
    }
    QWidget Window;
    QLineEdit* Other = nullptr;
};

void Put(QLineEdit* edit, const QString& text, int cursor) {
    edit->setText(text);
    edit->setCursorPosition(cursor);
}

} // namespace

TEST(NumberEditKeys, TheFilterDecidesSignsSeparatorsAndLetters) {
    EditWindow w;
    auto* edit = w.Make<TGxCustomNumberEdit>();
    Put(edit, "12", 1);
    QTest::keyClick(edit, Qt::Key_Minus);
    EXPECT_EQ(edit->text(), "12"); // after the 1
    edit->setCursorPosition(0);
    QTest::keyClick(edit, Qt::Key_Minus);
    EXPECT_EQ(edit->text(), "-12");
    Put(edit, "1.5", 3);
    QTest::keyClick(edit, Qt::Key_Period);
    EXPECT_EQ(edit->text(), "1.5"); // a second separator
    edit->setSelection(1, 1);
    QTest::keyClick(edit, Qt::Key_Period);
    EXPECT_EQ(edit->text(), "1.5"); // typed over the selected one
    edit->end(false);
    QTest::keyClicks(edit, "x7");
    EXPECT_EQ(edit->text(), "1.57");
    // Ctrl+C carries the text "c": told by its key sequence, it copies and types nothing.
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "1.57");
    EXPECT_EQ(edit->text(), "1.57");
    edit->SetOptions(eoAllowFloat | eoDisableTyping);
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_5);
    EXPECT_EQ(edit->text(), "1.57");
}

TEST(NumberEditKeys, EveryPastePathIsCleaned) {
    EditWindow w;
    auto* edit = w.Make<TGxCustomNumberEdit>();
    QGuiApplication::clipboard()->setText("a1b2");
    Put(edit, "", 0);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "12");
    EXPECT_EQ(edit->cursorPosition(), 0); // back where the selection started
    Put(edit, "", 0);
    QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(edit->text(), "12");
    // The context menu's paste.
    Put(edit, "", 0);
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            if (action->text().startsWith(QLineEdit::tr("&Paste")))
                action->trigger();
        menu->close();
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(edit, &menuEvent);
    EXPECT_EQ(edit->text(), "12");
    // A drop.
    Put(edit, "", 0);
    QMimeData data;
    data.setText("x-3y4");
    QDragEnterEvent enter(QPoint(3, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    QDropEvent drop(QPointF(3, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &drop);
    EXPECT_EQ(edit->text(), "-34");
    // The X11 middle-click paste, where the platform has a selection clipboard.
    if (QGuiApplication::clipboard()->supportsSelection()) {
        QGuiApplication::clipboard()->setText("q9", QClipboard::Selection);
        Put(edit, "", 0);
        QTest::mouseClick(edit, Qt::MiddleButton, Qt::NoModifier, QPoint(3, 5));
        EXPECT_EQ(edit->text(), "9");
    }
    edit->SetOptions(eoAllowFloat | eoDisablePaste);
    Put(edit, "5", 1);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "5");
}

TEST(NumberEditValue, RangeAndPrecisionInThreeLocales) {
    for (const auto& [locale, shown] :
         {std::pair{QLocale(QLocale::English, QLocale::UnitedStates), QString("10.00")},
          std::pair{QLocale(QLocale::German, QLocale::Germany), QString("10,00")},
          std::pair{QLocale(QLocale::Arabic, QLocale::Egypt), QString("10") + QChar(0x066B) + "00"}}) {
        EditWindow w;
        auto* edit = w.Make<TGxCustomNumberEdit>(locale);
        edit->SetMin(0);
        edit->SetMax(10);
        edit->SetPrecision(2);
        Put(edit, "15", 2);
        EXPECT_EQ(edit->Value(), 10);
        w.Other->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(edit->text(), shown) << locale.name().toStdString();
    }
    EditWindow w;
    auto* edit = w.Make<TGxCustomNumberEdit>(QLocale(QLocale::Arabic, QLocale::Egypt));
    Put(edit, "3", 1);
    QKeyEvent separator(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x066B)));
    QApplication::sendEvent(edit, &separator);
    QTest::keyClick(edit, Qt::Key_5);
    EXPECT_EQ(edit->text(), QString("3") + QChar(0x066B) + "5");
    EXPECT_EQ(edit->Value(), 3.5);
    edit->SetValue(1234.5);
    EXPECT_EQ(edit->text(), QString("1234") + QChar(0x066B) + "50"); // ASCII digits, no grouping
}

TEST(NumberEditValue, ValueAccessInEveryType) {
    TGxEdit text;
    text.SetLocale(QLocale(QLocale::German, QLocale::Germany));
    text.SetAsBoolean(true);
    EXPECT_EQ(text.text(), "True");
    EXPECT_TRUE(text.GetAsBoolean());
    text.SetAsFloat(0.00001);
    EXPECT_EQ(text.text(), "0,00001");
    EXPECT_EQ(text.GetAsFloat(), 0.00001);
    text.SetAsInteger(-42);
    EXPECT_EQ(text.GetAsInteger(), -42);
    text.SetText("");
    EXPECT_EQ(text.GetAsDateTime(), 0);
    text.SetAsDateTime(45000.5);
    EXPECT_EQ(text.GetAsDateTime(), 45000.5);
    text.SetAsString("abc");
    EXPECT_EQ(text.GetAsString(), "abc");
    try {
        text.GetAsInteger();
        ADD_FAILURE();
    } catch (const EGridError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }

    TGxCustomNumberEdit number;
    number.SetLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    number.SetPrecision(0);
    number.SetAsFloat(2.5);
    EXPECT_EQ(number.GetAsInteger(), 2); // the nearest, halves to even
    number.SetAsFloat(1e12);
    EXPECT_EQ(number.text(), "1000000000000");
    try {
        number.GetAsInteger();
        ADD_FAILURE();
    } catch (const EGridError& e) {
        EXPECT_EQ(e.Message(), "'1000000000000' is not a valid integer value");
    }
    number.SetText("1E-5"); // a cell's general text is written out, never cleaned into 15
    EXPECT_EQ(number.Value(), 0.00001);
    number.SetNullText("");
    number.SetText("");
    EXPECT_EQ(number.Value(), 0); // Min, not a NullText match
    number.SetNullText("n/a");
    EXPECT_EQ(number.text(), "n/a");
    EXPECT_EQ(number.Value(), 0);
}

TEST(SpinEdit, DownAtZeroAndTheSigns) {
    EditWindow w;
    auto* spin = w.Make<TGxSpinEdit>();
    spin->SetOptions(eoAllowFloat);
    QList<int> spins;
    spin->OnSpin = [&](TGxSpinEdit*, int direction) {
        spins << direction;
    };
    spin->Spin(2);
    EXPECT_EQ(spin->Value(), 0);
    EXPECT_TRUE(spins.isEmpty());
    spin->SetOptions(eoAllowFloat | eoAllowSigns);
    spin->Spin(2);
    EXPECT_EQ(spin->Value(), -1);
    EXPECT_EQ(spin->text(), "-1");
    QTest::keyClick(spin, Qt::Key_Up);
    EXPECT_EQ(spin->Value(), 0);
    EXPECT_EQ(spins, QList<int>({2, 1}));
    EXPECT_EQ(spin->Buttons().Pressed(), 0); // the key went up again
    spin->SetReadOnly(true);
    spin->Spin(1);
    EXPECT_EQ(spin->Value(), 0);
}

TEST(SpinEdit, AHeldButtonSpinsAtOnceThenEvery20MsAfter400Ms) {
    EditWindow w;
    auto* spin = w.Make<TGxSpinEdit>();
    TGxSpinButtons& buttons = spin->Buttons();
    const int width = spin->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int frame = spin->hasFrame() ? spin->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    EXPECT_EQ(buttons.geometry(),
              QRect(spin->width() - frame - width, frame, width, spin->height() - 2 * frame));
    QTest::mousePress(&buttons, Qt::LeftButton, Qt::NoModifier, QPoint(3, 2));
    EXPECT_EQ(spin->Value(), 1); // at once
    QTest::qWait(300);
    EXPECT_EQ(spin->Value(), 1); // no repeat before 400 ms
    QTest::qWait(250);
    EXPECT_GE(spin->Value(), 3);
    QTest::mouseRelease(&buttons, Qt::LeftButton, Qt::NoModifier, QPoint(3, 2));
    const double released = spin->Value();
    QTest::qWait(60);
    EXPECT_EQ(spin->Value(), released);
    QTest::mousePress(&buttons, Qt::LeftButton, Qt::NoModifier, QPoint(3, buttons.height() - 2));
    QTest::mouseRelease(&buttons, Qt::LeftButton, Qt::NoModifier, QPoint(3, buttons.height() - 2));
    EXPECT_EQ(spin->Value(), released - 1); // the lower half spins down
}

TEST(SpinEdit, TheWheelSpinsOnlyOutsideAGrid) {
    EditWindow w;
    auto* spin = w.Make<TGxSpinEdit>();
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(5, 5), spin->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(spin, &event);
        return event.isAccepted();
    };
    EXPECT_TRUE(wheel(240));
    EXPECT_EQ(spin->Value(), 2); // one spin per notch
    spin->SetEmbeddedInGrid(true);
    EXPECT_FALSE(wheel(120)); // left to the grid
    EXPECT_EQ(spin->Value(), 2);
}

TEST(EditMargins, GlyphPreviewAndButtonsShapeTheMargins) {
    EditWindow w;
    auto* edit = w.Make<TGxEdit>();
    EXPECT_EQ(TGxEdit().size(), QSize(121, 20));
    edit->EditMargins().SetLeft(3);
    EXPECT_EQ(edit->LeftMargin(), 3);
    EXPECT_EQ(edit->textMargins().left(), 3);
    edit->SetShowPreview(true);
    EXPECT_EQ(edit->LeftMargin(), 3 * 2 + 25);
    QPixmap glyph(10, 8);
    glyph.fill(Qt::blue);
    edit->SetGlyph(glyph);
    EXPECT_EQ(edit->LeftMargin(), 3 * 2 + 25 + 14);
    EXPECT_EQ(edit->Info().InfoWidth(), 14 + 20);
    EXPECT_TRUE(edit->Info().isVisible());
    EXPECT_EQ(edit->Info().height(),
              edit->height() - 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
    QRect drawn;
    edit->OnCustomPreviewDraw = [&](TGxEdit*, QPainter&, const QRect& rect) {
        drawn = rect;
    };
    edit->Info().grab();
    EXPECT_EQ(drawn, QRect(13, 2, 18, edit->Info().height() - 4)); // inside the grey frame
    int glyphClicks = 0;
    edit->OnGlyphClick = [&](TGxEdit*) {
        ++glyphClicks;
    };
    QTest::mouseClick(&edit->Info(), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    QTest::mouseClick(&edit->Info(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 4));
    EXPECT_EQ(glyphClicks, 1);
    edit->EditMargins().SetRight(5);
    EXPECT_EQ(edit->RightMargin(), 5);
    TGxSpinEdit spin;
    EXPECT_EQ(spin.RightMargin(), spin.style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    spin.SetSpinButtons(false);
    EXPECT_EQ(spin.RightMargin(), 0);
}

TEST(EditTabs, TabIsTheEditsOnlyWithWantTabs) {
    EditWindow w;
    auto* edit = w.Make<TGxEdit>();
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(w.Other->hasFocus());
    edit->setFocus(Qt::OtherFocusReason);
    edit->SetWantTabs(true);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(edit->hasFocus());
}
