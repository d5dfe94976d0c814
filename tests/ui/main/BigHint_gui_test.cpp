// The big hint form over a recording notification area: the icon's look and pictures, the menu,
// the hint's pauses and place, clicks on the icon, and the tip where no icon place is known.
#include "ui/main/BigHint.h"

#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "tests/support/FakeTrayIconBackend.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyleHints>
#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}
inline void PrintTo(const QStringList& Lines, std::ostream* Out) {
    *Out << '[' << Lines.join(u'|').toStdString() << ']';
}

namespace {

void SaveShot(const QImage& Image, const QString& Name) {
    const QString dir = qEnvironmentVariable("ZT_SCREENSHOT_DIR");
    if (!dir.isEmpty() && QDir().mkpath(dir))
        Image.save(dir + QLatin1Char('/') + Name);
}

int CountPixels(const QImage& Image, QRgb Colour) {
    int n = 0;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            n += (Image.pixel(x, y) & 0xFFFFFF) == (Colour & 0xFFFFFF);
    return n;
}

QImage IconImage(const QIcon& Icon) {
    return Icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

const QStringList FiveHostLines = {"Zorvanite Tarnequill Pro",
                                   "",
                                   "Hosts down:",
                                   "01.02.2024 10:00:00, <b>gate</b> & co, 10.0.0.2",
                                   "",
                                   "Hosts: 5, OK: 2, Down: 1, Disabled: 1, Packet loss: 1"};

class BigHintTest : public ::testing::Test {
protected:
    BigHintTest() {
        LangTexts::UseBuiltInEnglish();
        auto backend = std::make_unique<TFakeTrayIconBackend>();
        Fake = backend.get();
        Form = std::make_unique<TBig_hint_form>(Services, std::move(backend));
        Screen = QGuiApplication::primaryScreen()->geometry();
        // The icon in the bottom right corner, as a tray at the bottom edge has it.
        Fake->IconGeometry = QRect(Screen.right() - 30, Screen.bottom() - 21, 22, 22);
        Fake->Cursor = QPoint(0, 0);
        Form->SetMainWindow(&Main, [this] { ++StateApplied; });
        Form->FormCreate();
    }
    ~BigHintTest() override { Form->HintWindow()->hide(); }

    QPoint OnIcon() const { return Fake->IconGeometry.center(); }
    void Hover(QPoint At) {
        Fake->Cursor = At;
        ASSERT_TRUE(ProcessEventsUntil([&] { return Form->TextTrayIcon1->LastMousePos() == At; }, 2000));
    }
    static int DoubleClickMs() { return QGuiApplication::styleHints()->mouseDoubleClickInterval(); }

    TFakeTrayIconBackend* Fake = nullptr;
    TMonitorServices Services{MonitorDatabase, QString()};
    std::unique_ptr<TBig_hint_form> Form;
    QWidget Main;
    QRect Screen;
    int StateApplied = 0;
};

} // namespace

TEST_F(BigHintTest, TheTrayIconIsSetUpAndShownWithImage7) {
    const TTextIconLook& look = Form->TextTrayIcon1->Look();
    EXPECT_EQ(look.Text, "OO");
    EXPECT_EQ(look.Font.family(), "Times New Roman");
    EXPECT_EQ(QFontInfo(look.Font).family(), "Liberation Serif");
    EXPECT_EQ(look.Font.pixelSize(), 11);
    EXPECT_EQ(look.FontColor, clNavy);
    EXPECT_EQ(look.Color, clWhite);
    EXPECT_TRUE(look.Border);
    EXPECT_TRUE(Form->TextTrayIcon1->WantEnterExitEvents());
    EXPECT_TRUE(Form->TextTrayIcon1->IconVisible());
    EXPECT_EQ(Fake->VisibleChanges, (std::vector<bool>{true}));
    EXPECT_EQ(IconImage(Fake->LastIcon),
              StateIconPicture(TSummaryIcon::Image7).toImage().convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(Form->Timer1.Interval(), 500);
    EXPECT_EQ(Form->Timer2.Interval(), 2500);
    EXPECT_EQ(Form->Button1->text(), "E&xit");
}

TEST_F(BigHintTest, StatePicturesAreOoOnLimeYellowAndRed) {
    const QImage lime = StateIconPicture(TSummaryIcon::Image7).toImage();
    const QImage yellow = StateIconPicture(TSummaryIcon::Image8).toImage();
    const QImage red = StateIconPicture(TSummaryIcon::Image6).toImage();
    SaveShot(lime.scaled(128, 128), QStringLiteral("image7.png"));
    SaveShot(yellow.scaled(128, 128), QStringLiteral("image8.png"));
    SaveShot(red.scaled(128, 128), QStringLiteral("image6.png"));
    SaveShot(TTextTrayIcon::RenderIconImage(Form->TextTrayIcon1->Look()).scaled(128, 128),
             QStringLiteral("texttrayicon1.png"));
    EXPECT_GT(CountPixels(lime, qRgb(0, 255, 0)), 60);
    EXPECT_GT(CountPixels(yellow, qRgb(255, 255, 0)), 60);
    EXPECT_GT(CountPixels(red, qRgb(255, 0, 0)), 60);
    for (const QImage& image : {lime, yellow, red}) {
        EXPECT_GT(CountPixels(image, qRgb(0, 0, 128)), 20); // the navy "OO"
        EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0u);        // the black border
        EXPECT_EQ(image.pixel(15, 15) & 0xFFFFFF, 0u);
    }
}

TEST_F(BigHintTest, ShowStateIconChangesThePictureOnlyOnAChange) {
    const int updates = Fake->IconUpdates;
    Form->ShowStateIcon(TSummaryIcon::Image7);
    EXPECT_EQ(Fake->IconUpdates, updates);
    Form->ShowStateIcon(TSummaryIcon::Image6);
    EXPECT_EQ(Fake->IconUpdates, updates + 1);
    EXPECT_EQ(IconImage(Fake->LastIcon),
              StateIconPicture(TSummaryIcon::Image6).toImage().convertToFormat(QImage::Format_ARGB32));
    Form->ShowStateIcon(TSummaryIcon::Image8);
    EXPECT_EQ(IconImage(Fake->LastIcon),
              StateIconPicture(TSummaryIcon::Image8).toImage().convertToFormat(QImage::Format_ARGB32));
}

TEST_F(BigHintTest, MenuLinesAndTheGivenExitAction) {
    QAction exit(QStringLiteral("Exit"));
    int exits = 0, abouts = 0;
    QObject::connect(&exit, &QAction::triggered, [&] { ++exits; });
    Form->SetExitAction(&exit);
    Form->SetAboutHandler([&] { ++abouts; });
    const QList<QAction*> actions = Form->PopupMenu1->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "Show main window");
    EXPECT_EQ(actions[1]->text(), "About...");
    EXPECT_EQ(actions[2], &exit);
    EXPECT_EQ(Fake->ContextMenu, Form->PopupMenu1);
    actions[1]->trigger();
    actions[2]->trigger();
    EXPECT_EQ(abouts, 1);
    EXPECT_EQ(exits, 1);
    Main.hide();
    actions[0]->trigger();
    EXPECT_TRUE(Main.isVisible());
    // A second Exit action replaces the first.
    QAction other(QStringLiteral("Exit"));
    Form->SetExitAction(&other);
    EXPECT_EQ(Form->PopupMenu1->actions().size(), 3);
    EXPECT_EQ(Form->PopupMenu1->actions()[2], &other);
}

TEST_F(BigHintTest, ClickShowsAndRestoresTheMainWindow) {
    Main.showMinimized();
    Main.hide();
    Fake->Click();
    EXPECT_FALSE(Main.isVisible()); // held back while a double click may follow
    ASSERT_TRUE(ProcessEventsUntil([&] { return Main.isVisible(); }, 10 * DoubleClickMs()));
    EXPECT_FALSE(Main.windowState() & Qt::WindowMinimized);
    EXPECT_EQ(StateApplied, 1);
}

TEST_F(BigHintTest, DoubleClickHidesTheShownWindowAndShowsAHiddenOne) {
    Main.show();
    Fake->DoubleClick();
    EXPECT_FALSE(Main.isVisible());
    ProcessEventsFor(2 * DoubleClickMs());
    EXPECT_FALSE(Main.isVisible()); // no click after the double click
    EXPECT_EQ(StateApplied, 0);
    Fake->DoubleClick();
    EXPECT_TRUE(Main.isVisible());
    EXPECT_EQ(StateApplied, 1);
}

TEST_F(BigHintTest, ExitButtonClosesTheMainWindow) {
    Main.show();
    Form->Button1->click();
    EXPECT_FALSE(Main.isVisible());
}

TEST_F(BigHintTest, HoverShowsTheHintAfterThePauseAboveThePointer) {
    Form->SetTrayHintLines(FiveHostLines);
    EXPECT_EQ(Fake->ToolTip(), ""); // the icon's place is known: the big hint shows instead
    QElapsedTimer clock;
    clock.start();
    Hover(OnIcon());
    QWidget* hint = Form->HintWindow();
    EXPECT_FALSE(hint->isVisible());
    ASSERT_TRUE(ProcessEventsUntil([&] { return hint->isVisible(); }, 5000));
    EXPECT_GE(clock.elapsed(), 499);
    EXPECT_EQ(Form->HintText(), FiveHostLines.join('\n'));
    const QRect place = hint->geometry();
    EXPECT_EQ(place.x() + place.width(), OnIcon().x());
    EXPECT_EQ(place.y() + place.height(), OnIcon().y() - 17);
    EXPECT_TRUE(Screen.contains(place));
    const QImage shot = hint->grab().toImage();
    SaveShot(shot, QStringLiteral("bighint.png"));
    EXPECT_EQ(shot.pixel(shot.width() - 5, 2) & 0xFFFFFF, qRgb(254, 253, 216) & 0xFFFFFF);
    EXPECT_EQ(hint->font().pointSize(), 10);
    // The first showing goes after the hide pause.
    ASSERT_TRUE(ProcessEventsUntil([&] { return !hint->isVisible(); }, 10000));
    EXPECT_GE(clock.elapsed(), 500 + 2500 - 1);
}

TEST_F(BigHintTest, AfterAnExitTheHintComesBackOnlyAfterThePauseAndStays) {
    Form->SetTrayHintLines(FiveHostLines);
    Hover(OnIcon());
    QWidget* hint = Form->HintWindow();
    ASSERT_TRUE(ProcessEventsUntil([&] { return hint->isVisible(); }, 5000));
    Fake->Cursor = QPoint(10, 10);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !hint->isVisible(); }, 2000));
    EXPECT_FALSE(Form->Timer1.Enabled());
    EXPECT_FALSE(Form->Timer2.Enabled());
    EXPECT_EQ(Form->Timer1.Interval(), 500);
    EXPECT_EQ(Form->Timer2.Interval(), 150000);

    QElapsedTimer clock;
    clock.start();
    Hover(OnIcon() + QPoint(2, 1));
    ProcessEventsFor(300);
    EXPECT_FALSE(hint->isVisible());
    ASSERT_TRUE(ProcessEventsUntil([&] { return hint->isVisible(); }, 5000));
    EXPECT_GE(clock.elapsed(), 499);
    EXPECT_TRUE(Form->Timer2.Enabled());
}

TEST_F(BigHintTest, TheHintNeverStandsOverTheOpenMenu) {
    Form->SetTrayHintLines(FiveHostLines);
    Hover(OnIcon());
    QWidget* hint = Form->HintWindow();
    ASSERT_TRUE(ProcessEventsUntil([&] { return hint->isVisible(); }, 5000));
    Form->PopupMenu1->popup(OnIcon());
    Hover(OnIcon() + QPoint(1, 1)); // the pointer moves on the icon while the menu is open
    EXPECT_FALSE(ProcessEventsUntil([&] { return hint->isVisible(); }, 1000));
    Form->PopupMenu1->hide();
}

TEST_F(BigHintTest, NamesAndAddressesArePlainText) {
    Form->SetTrayHintLines({"Zorvanite Tarnequill Pro", "", "Hosts down:", "d, <b>x</b>, &a", "", "count"});
    Hover(OnIcon());
    QWidget* hint = Form->HintWindow();
    ASSERT_TRUE(ProcessEventsUntil([&] { return hint->isVisible(); }, 5000));
    EXPECT_TRUE(Form->HintText().contains("d, <b>x</b>, &a"));
    // The markup takes room as text: the hint is as wide as the line with its brackets.
    EXPECT_GE(hint->width(), hint->fontMetrics().horizontalAdvance("d, <b>x</b>, &a"));
}

TEST(BigHintPlace, AboveThePointerBelowItAtTheTopEdgeAndAlwaysOnTheScreen) {
    const QRect screen(0, 0, 800, 600);
    EXPECT_EQ(BigHintRect(QPoint(780, 590), QSize(300, 100), screen), QRect(480, 473, 300, 100));
    // A tray at the top edge: below the pointer.
    EXPECT_EQ(BigHintRect(QPoint(780, 10), QSize(300, 100), screen), QRect(480, 27, 300, 100));
    // Near the left edge: moved right onto the screen.
    EXPECT_EQ(BigHintRect(QPoint(100, 590), QSize(300, 100), screen), QRect(0, 473, 300, 100));
    // Taller than the room below the top-edge pointer: pushed up to fit.
    EXPECT_EQ(BigHintRect(QPoint(780, 10), QSize(300, 590), screen), QRect(480, 10, 300, 590));
    // A second screen to the right.
    EXPECT_EQ(BigHintRect(QPoint(1000, 590), QSize(300, 100), QRect(800, 0, 1024, 768)),
              QRect(800, 473, 300, 100));
}

TEST(BigHintPlace, FitHintLinesKeepsTheCountLine) {
    QStringList lines{"title", "", "Hosts down:"};
    for (int i = 0; i < 40; ++i)
        lines << QStringLiteral("line %1").arg(i);
    lines << QStringLiteral("\u2026") << ""
          << "Hosts: 99";
    EXPECT_EQ(FitHintLines(lines, 100), lines);
    const QStringList fitted = FitHintLines(lines, 10);
    EXPECT_EQ(fitted, QStringList({"title", "", "Hosts down:", "line 0", "line 1", "line 2", "line 3",
                                   QStringLiteral("\u2026"), "", "Hosts: 99"}));
    EXPECT_EQ(FitHintLines(lines, 46), lines);
    EXPECT_EQ(FitHintLines(lines, 45), QStringList(lines.mid(0, 42) << QStringLiteral("\u2026") << ""
                                                                    << "Hosts: 99"));
}

TEST(BigHintTip, WithoutAnIconPlaceTheLinesGoIntoTheTipCountLineFirst) {
    auto backend = std::make_unique<TFakeTrayIconBackend>();
    TFakeTrayIconBackend* fake = backend.get();
    TMonitorServices services(MonitorDatabase, QString());
    TBig_hint_form form(services, std::move(backend));
    form.FormCreate();
    form.SetTrayHintLines(FiveHostLines);
    // Cut to the tip's 127 characters.
    EXPECT_EQ(fake->ToolTip(),
              QString("Zorvanite Tarnequill Pro\nHosts: 5, OK: 2, Down: 1, Disabled: 1, Packet loss: 1\n"
                      "Hosts down:\n01.02.2024 10:00:00, <b>gate</b> & co, 10.0.0.2")
                  .left(127));
    form.SetTrayHintLines(
        {"Zorvanite Tarnequill Pro", "", "", "Hosts: 1, OK: 1, Down: 0, Disabled: 0, Packet loss: 0"});
    EXPECT_EQ(fake->ToolTip(),
              "Zorvanite Tarnequill Pro\nHosts: 1, OK: 1, Down: 0, Disabled: 0, Packet loss: 0");
    QStringList many = FiveHostLines;
    for (int i = 0; i < 10; ++i)
        many.insert(4, QStringLiteral("01.02.2024 10:00:00, host%1, 10.0.0.%1").arg(i));
    form.SetTrayHintLines(many);
    EXPECT_EQ(fake->ToolTip().size(), 127);
    EXPECT_TRUE(fake->ToolTip().startsWith("Zorvanite Tarnequill Pro\nHosts: 5, OK: 2"));
    // Once the icon has a place, the tip is left empty for the big hint.
    fake->IconGeometry = QRect(10, 10, 22, 22);
    form.SetTrayHintLines(FiveHostLines);
    EXPECT_EQ(fake->ToolTip(), "");
    EXPECT_TRUE(form.TrayAvailable());
    fake->Available = false;
    EXPECT_FALSE(form.TrayAvailable());
}

TEST(BigHintWindowState, TheSavedCodeAfterAClickAndAMinimisedOneComesBackNormal) {
    QWidget window;
    window.showMinimized();
    ApplyWindowStateCode(window, QStringLiteral("1"));
    EXPECT_FALSE(window.isMinimized());
    EXPECT_FALSE(window.isMaximized());
    ApplyWindowStateCode(window, QStringLiteral("2"));
    EXPECT_TRUE(window.isMaximized());
    ApplyWindowStateCode(window, QStringLiteral("0"));
    EXPECT_FALSE(window.isMaximized());
    EXPECT_FALSE(window.isMinimized());
}
