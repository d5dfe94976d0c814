// The main window's status view: the seven panels on the owner-drawn bar, the summary tick's
// panels, period, tray lines and icons, the Start/Stop button against the real controller, and
// the start gate over the host load counters (also after a failed load and with no database).
#include "ui/main/StatusView.h"

#include "core/DatabaseLoader.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/MonitorController.h"
#include "core/MonitorServices.h"
#include "core/MonitorState.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "desktop/StatusBarEx.h"
#include "grid/GxGrid.h"
#include "tests/support/FakeTrayIconBackend.h"
#include "tests/support/TestSupport.h"
#include "ui/main/BigHint.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <ostream>

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

bool SamePicture(const QIcon& Icon, const QPixmap& Picture) {
    return Icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32) ==
           Picture.toImage().convertToFormat(QImage::Format_ARGB32);
}

class StatusViewTest : public ::testing::Test {
protected:
    StatusViewTest() {
        LangTexts::UseBuiltInEnglish();
        MonitoringActive = false;
        Owner.resize(1100, 300);
        auto* column = new QVBoxLayout(&Owner);
        column->setContentsMargins(0, 0, 0, 0);
        column->addStretch(1);
        View = std::make_unique<TStatusView>(&Owner);
        column->addWidget(View->StatusBar1);
        auto backend = std::make_unique<TFakeTrayIconBackend>();
        Fake = backend.get();
        Tray = std::make_unique<TBig_hint_form>(Services, std::move(backend));
        View->SetTray(Tray.get());
        QObject::connect(&BitBtn7, &QPushButton::clicked, [this] { Controller().BitBtn7Click(); });
        View->FormCreate(Hosts(), Controller(), BitBtn7);
        Controller().Timer_time_to_ping.setInterval(40);
    }
    ~StatusViewTest() override {
        Controller().Shutdown(2000);
        MonitoringActive = false;
        HostLoadCounters.MarkFinished();
    }

    TDataGrid& Hosts() { return Services.DataGrid1(); }
    TMonitorController& Controller() { return Services.Controller(); }
    int AddHost(const QString& Status, bool Enabled = true) {
        TDataGrid& grid = Hosts();
        const int row = grid.AddRow();
        grid.Cell("Host", row).SetAsString(QStringLiteral("host%1").arg(row));
        grid.Cell("IP", row).SetAsString(QStringLiteral("127.0.0.%1").arg(row + 1));
        grid.Cell("Status", row).SetAsString(Status);
        grid.Cell("Enabled", row).SetAsBoolean(Enabled);
        grid.Cell("Date_Pod", row).SetAsString(DateTimeToDisplayText(NowDateTime()));
        return row;
    }
    TStatusPanelPro& Panel(TStatusPanel Which) { return View->StatusBar1->Panels()[int(Which)]; }
    void Tick() {
        MonitoringActive = true;
        View->Timer22Timer();
        MonitoringActive = false;
    }

    TMonitorServices Services{MonitorDatabase, QString()};
    QWidget Owner;
    QPushButton BitBtn7;
    std::unique_ptr<TStatusView> View;
    TFakeTrayIconBackend* Fake = nullptr;
    std::unique_ptr<TBig_hint_form> Tray;
};

} // namespace

TEST_F(StatusViewTest, SevenPanelsOfTheMainWindowAndTheWriteStateAfterThem) {
    TStatusBarPro& bar = *View->StatusBar1;
    EXPECT_EQ(bar.objectName(), "StatusBar1");
    EXPECT_EQ(bar.height(), 19);
    ASSERT_EQ(bar.Panels().Count(), StatusPanelCount + 1);
    const int widths[] = {1, 220, 165, 150, 170, 155, 150};
    for (int i = 0; i < StatusPanelCount; ++i) {
        EXPECT_EQ(bar.Panels()[i].Width(), widths[i]) << i;
        EXPECT_EQ(bar.Panels()[i].Alignment(), i >= 1 && i <= 5 ? Qt::AlignHCenter : Qt::AlignLeft) << i;
        EXPECT_EQ(bar.Panels()[i].Style(), i == 0 ? psText : psOwnerDraw) << i;
    }
    View->SetStatusPanel(TStatusPanel::SoundState, QStringLiteral("Sounds are muted"), PanelColourRed);
    EXPECT_EQ(View->StatusPanel(TStatusPanel::SoundState), "Sounds are muted");
    EXPECT_EQ(Panel(TStatusPanel::SoundState).FontColor(), clRed);
    View->ShowDatabaseWriteState(QStringLiteral("Writing fails: disk full"), true);
    EXPECT_EQ(View->DatabaseWriteState(), "Writing fails: disk full");
    EXPECT_EQ(bar.Panels()[DatabaseWriteStatePanel].FontColor(), clRed);
    View->ShowDatabaseWriteState(QStringLiteral("Writing works again"), false);
    EXPECT_EQ(bar.Panels()[DatabaseWriteStatePanel].FontColor(), clBlack);
}

TEST_F(StatusViewTest, TheProgressPanelShowsAWholeHostNameWhereTheBarHasRoom) {
    TStatusBarPro& bar = *View->StatusBar1;
    bar.resize(1100, bar.height()); // the main window's default width
    const QString text = QStringLiteral("Traffic check charlieprinter-floor2");
    View->SetStatusPanel(TStatusPanel::Progress, text, PanelColourBlack);
    EXPECT_GE(bar.PanelDrawRect(int(TStatusPanel::Progress)).width(),
              QFontMetrics(bar.font()).horizontalAdvance(text));
}

TEST_F(StatusViewTest, ATickFillsTheCountPanelsTheTrayAndTheIcons) {
    AddHost(QStringLiteral("OK"));
    AddHost(QStringLiteral("OK"));
    const int down = AddHost(QStringLiteral("Down"));
    AddHost(QStringLiteral("Packet loss"));
    AddHost(QStringLiteral("Unknown"), false);
    Tick();
    EXPECT_EQ(Panel(TStatusPanel::OkCount).Text(), "2 hosts OK");
    EXPECT_EQ(Panel(TStatusPanel::OkCount).FontColor(), TColor(0x8000));
    EXPECT_EQ(Panel(TStatusPanel::DownCount).Text(), "1 host down");
    EXPECT_EQ(Panel(TStatusPanel::DownCount).FontColor(), clRed);
    EXPECT_EQ(Panel(TStatusPanel::DisabledCount).Text(), "1 host disabled");
    EXPECT_EQ(Tray->TrayHintLines(), View->TrayHintLines());
    EXPECT_EQ(View->TrayHintLines().last(), "Hosts: 5, OK: 2, Down: 1, Disabled: 1, Packet loss: 1");
    EXPECT_EQ(View->TrayHintLines().value(2), "Hosts down:");
    EXPECT_TRUE(SamePicture(Fake->LastIcon, StateIconPicture(TSummaryIcon::Image6)));
    EXPECT_TRUE(SamePicture(QApplication::windowIcon(), StateIconPicture(TSummaryIcon::Image6)));

    // The down host is back: 310 in black, packet loss picks Image8.
    Hosts().Cell("Status", down).SetAsString(QStringLiteral("OK"));
    Tick();
    EXPECT_EQ(Panel(TStatusPanel::DownCount).Text(), "No hosts down");
    EXPECT_EQ(Panel(TStatusPanel::DownCount).FontColor(), clBlack);
    EXPECT_EQ(Panel(TStatusPanel::OkCount).Text(), "3 hosts OK");
    EXPECT_TRUE(SamePicture(Fake->LastIcon, StateIconPicture(TSummaryIcon::Image8)));

    // Every host down: "0 hosts OK" replaces the last count.
    for (int r = 0; r < Hosts().RowCount(); ++r)
        Hosts().Cell("Status", r).SetAsString(QStringLiteral("Down"));
    Tick();
    EXPECT_EQ(Panel(TStatusPanel::OkCount).Text(), "0 hosts OK");
    EXPECT_EQ(Panel(TStatusPanel::DownCount).Text(), "5 hosts down");

    Owner.show();
    const QImage shot = View->StatusBar1->grab().toImage();
    SaveShot(shot, QStringLiteral("statusview-bar.png"));
    EXPECT_EQ(shot.height(), 19);
}

TEST_F(StatusViewTest, ADisabledHostTurnsGreyWithTheDisabledWordAtTheNextTick) {
    const int row = AddHost(QStringLiteral("OK"));
    Tick();
    EXPECT_EQ(Hosts().Cell("Status", row).Color(), clLime);
    Hosts().Cell("Enabled", row).SetAsBoolean(false);
    Tick();
    EXPECT_EQ(Hosts().Cell("Status", row).Color(), clGray);
    EXPECT_EQ(Hosts().Cell("Status", row).GetAsString(), "Disabled");
    EXPECT_EQ(Panel(TStatusPanel::DisabledCount).Text(), "1 host disabled");
}

TEST_F(StatusViewTest, ThePeriodFollowsTheRowCountAndNothingElseMovesWhileStopped) {
    for (int i = 0; i < 10; ++i)
        AddHost(QStringLiteral("Down"));
    View->Timer22Timer(); // monitoring off
    EXPECT_EQ(View->Timer22.interval(), 2000);
    EXPECT_EQ(Panel(TStatusPanel::DownCount).Text(), "");
    EXPECT_TRUE(View->TrayHintLines().isEmpty());
    Hosts().AddRow(990);
    View->Timer22Timer();
    EXPECT_EQ(View->Timer22.interval(), 5000);
}

TEST_F(StatusViewTest, StartStopCaptionGlyphAndPanelFollowMonitoring) {
    // No first pass yet: the button offers Start.
    EXPECT_EQ(View->BitBtn2->text(), "Start");
    EXPECT_TRUE(SamePicture(View->BitBtn2->icon(), View->Image1));
    AddHost(QStringLiteral("Unknown"));
    Services.Settings().Update([](TSettings& s) { s.Delay_spin = 60; });

    View->BitBtn2->click();
    EXPECT_TRUE(MonitoringActive.load());
    EXPECT_EQ(View->BitBtn2->text(), "Stop");
    EXPECT_TRUE(SamePicture(View->BitBtn2->icon(), View->Image2));
    EXPECT_EQ(View->StatusPanel(TStatusPanel::MonitoringState), "Monitoring is active");
    EXPECT_EQ(Panel(TStatusPanel::MonitoringState).FontColor(), clBlack);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Controller().Timer_time_to_ping.isActive(); }, 5000));

    View->BitBtn2->click();
    EXPECT_FALSE(MonitoringActive.load());
    EXPECT_EQ(View->BitBtn2->text(), "Start");
    EXPECT_TRUE(SamePicture(View->BitBtn2->icon(), View->Image1));
    EXPECT_EQ(View->StatusPanel(TStatusPanel::MonitoringState), "Monitoring is NOT active");
    EXPECT_EQ(Panel(TStatusPanel::MonitoringState).FontColor(), clRed);
    EXPECT_FALSE(Controller().Timer_time_to_ping.isActive());
    // While the old threads end the button is disabled; a click then changes nothing.
    if (Controller().ThreadsRunning()) {
        EXPECT_FALSE(View->BitBtn2->isEnabled());
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Controller().ThreadsRunning(); }, 3000));
    ASSERT_TRUE(ProcessEventsUntil([&] { return View->BitBtn2->isEnabled(); }, 1000));
    EXPECT_EQ(View->BitBtn2->text(), "Start");
}

TEST_F(StatusViewTest, ARefusedToggleLeavesTheCaptionWithTheState) {
    AddHost(QStringLiteral("Unknown"));
    BitBtn7.setEnabled(false); // as while old threads end
    View->BitBtn2Click();
    EXPECT_FALSE(MonitoringActive.load());
    EXPECT_EQ(View->BitBtn2->text(), "Start");
    EXPECT_EQ(View->StatusPanel(TStatusPanel::MonitoringState), "Monitoring is NOT active");
}

TEST_F(StatusViewTest, AToggleDeferredByTheDispatcherShowsOnTheButtonOnceItRuns) {
    AddHost(QStringLiteral("Unknown"));
    Services.Settings().Update([](TSettings& s) { s.Delay_spin = 60; });
    Controller().SetDispatcher([this] { View->BitBtn2Click(); });
    Controller().DispatchAlarms();
    EXPECT_FALSE(MonitoringActive.load()); // not inside the dispatcher
    ASSERT_TRUE(ProcessEventsUntil([] { return MonitoringActive.load(); }, 2000));
    EXPECT_TRUE(ProcessEventsUntil([&] { return View->BitBtn2->text() == "Stop"; }, 2000));
    Controller().SetDispatcher({});
}

TEST_F(StatusViewTest, TheFirstStartShowsStopOnTheButton) {
    AddHost(QStringLiteral("Unknown"));
    Services.Settings().Update([](TSettings& s) { s.Delay_spin = 60; });
    Controller().Timer4.setInterval(1);
    Controller().Timer4.start();
    ASSERT_TRUE(ProcessEventsUntil([] { return MonitoringActive.load(); }, 2000));
    ProcessEventsFor(20);
    EXPECT_EQ(View->BitBtn2->text(), "Stop");
}

TEST_F(StatusViewTest, TheGateLooksAgainEveryQuarterSecondUntilTheLoadIsDone) {
    EXPECT_EQ(View->Timer9.interval(), 15000);
    EXPECT_TRUE(View->Timer9.isActive());
    EXPECT_FALSE(View->Timer22.isActive());
    HostLoadCounters.Reset();
    View->Timer9Timer();
    // Not yet: the gate waits by its timer, not inside it.
    EXPECT_EQ(View->Timer9.interval(), 250);
    EXPECT_TRUE(View->Timer9.isActive());
    EXPECT_FALSE(View->Timer22.isActive());
    HostLoadCounters.LastRow = 3;
    HostLoadCounters.FilledRow = 3;
    ASSERT_TRUE(ProcessEventsUntil([&] { return View->Timer22.isActive(); }, 2000));
    EXPECT_FALSE(View->Timer9.isActive());
}

TEST_F(StatusViewTest, TheGateOpensAfterAFailedLoadAndWithNoDatabase) {
    zt::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path()) + QLatin1Char('/');
    // Not a database: the load fails part way.
    {
        QFile junk(folder + QStringLiteral("dbm.db"));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
    }
    TSQLiteDatabase damaged;
    TDatabaseLoadContext context;
    context.DataFolder = folder;
    context.HostGrid = &Hosts();
    LoadDatabaseAtStart(damaged, context);
    View->Timer9Timer();
    EXPECT_TRUE(View->Timer22.isActive());
    EXPECT_FALSE(View->Timer9.isActive());

    // No database at all: a folder that cannot hold one.
    View->Timer22.stop();
    View->Timer9.start();
    TSQLiteDatabase none;
    context.DataFolder = QStringLiteral("/proc/no-such-folder/");
    LoadDatabaseAtStart(none, context);
    View->Timer9Timer();
    EXPECT_TRUE(View->Timer22.isActive());
}
