// The services root without any window: its grids and their columns, the named columns, the
// channel registry and its null channels, a pass through controller and dispatcher with no
// channel registered, and the order in which it goes.
#include "core/AlertFlags.h"
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/HostGridColumns.h"
#include "core/HostStateMachine.h"
#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/MonitorState.h"
#include "tests/core/engine_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

QStringList ColumnNames(TDataGrid& Grid) {
    QStringList names;
    for (int c = 0; c < Grid.ColumnCount(); ++c) {
        names << Grid.Columns().GetColumn(c)->Name();
    }
    return names;
}

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMonitorState();
        Db.Open(QString::fromStdString(Dir.file("dbm.db")));
        CreateMissingTables(Db);
        auto probes = std::make_unique<FakeProbes>();
        Probes = probes.get();
        Services =
            std::make_unique<TMonitorServices>(Db, QString::fromStdString(Dir.path()), std::move(probes));
    }
    void TearDown() override { Services.reset(); }

    zt::test::TempDir Dir;
    TSQLiteDatabase Db;
    FakeProbes* Probes = nullptr;
    std::unique_ptr<TMonitorServices> Services;
};

} // namespace

TEST_F(ServicesTest, OwnsTheHostTableAndTheEventQueues) {
    EXPECT_EQ(ColumnNames(Services->DataGrid1()), HostGridColumnNames());
    EXPECT_EQ(Services->DataGrid1().objectName(), "DataGrid1");
    EXPECT_EQ(ColumnNames(Services->DownHostGrid()), DownHostGridColumnNames());
    EXPECT_EQ(ColumnNames(Services->UpHostGrid()), DownHostGridColumnNames());
    EXPECT_EQ(Services->Sound_down_grid().ColumnCount(), 3);
    EXPECT_EQ(&Services->Controller().Hosts(), &Services->DataGrid1());
    EXPECT_EQ(&Services->Controller().DownHostGrid(), &Services->DownHostGrid());
    EXPECT_EQ(&Services->Controller().Database(), &Db);
    EXPECT_EQ(&Services->HostStore().Database(), &Db);
    EXPECT_EQ(&Services->Probes(), Probes);
    // The engine reads the services' model.
    Services->Settings().Update([](TSettings& s) { s.ploss_spin = 7; });
    EXPECT_EQ(Services->Controller().Settings()->ploss_spin, 7);
}

TEST_F(ServicesTest, NamedColumnsAreColumnsOfTheirGrids) {
    TDataGrid& hosts = Services->DataGrid1();
    const char* const names[] = {HostColumn::Number_,
                                 HostColumn::Kod_,
                                 HostColumn::Host,
                                 HostColumn::IP,
                                 HostColumn::Status,
                                 HostColumn::Enabled,
                                 HostColumn::Alarm,
                                 HostColumn::Log,
                                 HostColumn::Kol_vo_p,
                                 HostColumn::Alarm_en,
                                 HostColumn::Loop_sound,
                                 HostColumn::Date_Pod,
                                 HostColumn::N_group,
                                 HostColumn::Ping_check,
                                 HostColumn::Comunity,
                                 HostColumn::SNMP_check,
                                 HostColumn::Note_,
                                 HostColumn::Port_check,
                                 HostColumn::SPing_alarm,
                                 HostColumn::SPing_check,
                                 HostColumn::Sping_kol_vo,
                                 HostColumn::SNMP_kol_vo_p,
                                 HostColumn::Latency_kol_vo_p,
                                 HostColumn::P_lost_kol_vo_p,
                                 HostColumn::ICMP_kol_vo_p,
                                 HostColumn::ICMP_Status,
                                 HostColumn::SNMP_Status,
                                 HostColumn::Latency_Status,
                                 HostColumn::P_lost_Status,
                                 HostColumn::Avarage_Latency,
                                 HostColumn::Email_alarm_enabled,
                                 HostColumn::Email_contacts_list,
                                 HostColumn::ICQ_alarm_enabled,
                                 HostColumn::ICQ_contacts_list,
                                 HostColumn::Sound_alarm_enabled,
                                 HostColumn::Http_check,
                                 HostColumn::Http_Kol_vo,
                                 HostColumn::Http_Status};
    for (const char* name : names) {
        EXPECT_GE(hosts.ColumnIndex(QLatin1String(name)), 0) << name;
    }
    for (const QString& name : DownHostGridColumnNames()) {
        EXPECT_GE(Services->DownHostGrid().ColumnIndex(name), 0);
    }
    TDataGrid& popup = Services->Channels().Popups().DownPopupGrid();
    EXPECT_EQ(ColumnNames(popup),
              (QStringList{PopupColumn::Host, PopupColumn::ID_, PopupColumn::Time_d, PopupColumn::State_}));
}

TEST_F(ServicesTest, MissingChannelsAreNullObjectsUntilRegisteredAndAfterWithdrawn) {
    TAlarmChannels& channels = Services->Channels();
    TSendResult mail = channels.Mail().SendNotificationMail("ops@example.org", "s", {"b"});
    EXPECT_FALSE(mail.Sent);
    EXPECT_EQ(mail.Reason, NoChannelReason());
    channels.Messaging().Login(1, "pw", 0x10006000);
    EXPECT_FALSE(channels.Messaging().LoggedIn());
    EXPECT_FALSE(channels.Messaging().SendMessage(1, "text"));
    EXPECT_FALSE(channels.Popups().ShowDownPopup());
    EXPECT_FALSE(channels.Popups().ShowUpPopup());
    EXPECT_FALSE(channels.Popups().DownPopupShown());
    EXPECT_FALSE(channels.Sound().PlayUpSound("/tmp/up.wav"));
    EXPECT_FALSE(channels.Sound().SoundTimerRunning());
    channels.StatusPanels().SetPanelText(TStatusPanel::Progress, "nowhere");

    RecordingPanels panels;
    channels.SetStatusPanels(&panels);
    EXPECT_EQ(&channels.StatusPanels(), &panels);
    channels.StatusPanels().SetPanelText(TStatusPanel::Progress, "shown");
    EXPECT_EQ(panels.Texts[TStatusPanel::Progress], "shown");
    channels.SetStatusPanels(nullptr);
    EXPECT_NE(&channels.StatusPanels(), &panels);
}

TEST_F(ServicesTest, APassWithNoMailOrMessagingChannelLogsBothAsFailedOnTheServicesDatabase) {
    // The program's global connection is elsewhere: the dispatcher logs where the engine writes.
    MonitorDatabase.Open(QString::fromStdString(Dir.file("global.db")));
    CreateMissingTables(MonitorDatabase);
    InstantPump pump;
    Services->Channels().SetEventPump(&pump);
    Services->Settings().Update([](TSettings& s) {
        s.ploss_spin = 2;
        s.Delay_spin = 1;
        s.Email_checkbox = true;
        s.ICQ_CheckBox = true;
    });
    THostStore& store = Services->HostStore();
    const qint64 id = store.InsertHost(
        {"host", "IP", "Status", "Enabled", "Ping_check", "Alarm_en", "Email_alarm_enabled",
         "ICQ_alarm_enabled", "Email_contacts_list", "ICQ_contacts_list"},
        {"router", "127.0.0.1", "OK", "-1", "-1", "-1", "-1", "-1", "ops@example.org", "123456"});
    auto row = store.SelectHost(QString::number(id));
    FillHostRow(Services->DataGrid1(), Services->DataGrid1().AddRow(), *row);
    Probes->SetPing("127.0.0.1", "Timeout");
    TMonitorController& controller = Services->Controller();
    controller.Timer_time_to_ping.setInterval(40);
    ASSERT_TRUE(controller.BitBtn7Click());
    ASSERT_TRUE(ProcessEventsUntil([&] { return controller.PassCount() >= 2; }, 10000));
    controller.BitBtn7Click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !controller.ThreadsRunning(); }, 5000));

    const std::vector<QString> log = ProgramLogLines(Db);
    EXPECT_TRUE(HasLine(log, LangText(LangLine::MailFailed) + " (" + NoChannelReason() + ")"));
    EXPECT_TRUE(HasLine(log, LangText(LangLine::MessagingSignOnTimeout)));
    EXPECT_TRUE(HasLine(log, LangText(LangLine::MessageFailed)));
    EXPECT_FALSE(HasLine(log, LangText(LangLine::MailSent)));
    EXPECT_FALSE(HasLine(log, LangText(LangLine::AlertShown)));
    EXPECT_EQ(Services->DownHostGrid().RowCount(), 0);
    EXPECT_TRUE(ProgramLogLines(MonitorDatabase).empty());
    MonitorDatabase.Close();
}

TEST_F(ServicesTest, GoingAwayStopsAHangingPassFirst) {
    THostStore& store = Services->HostStore();
    const qint64 id = store.InsertHost({"host", "IP", "Status", "Enabled", "Ping_check"},
                                       {"stuck", "127.0.0.9", "OK", "-1", "-1"});
    FillHostRow(Services->DataGrid1(), Services->DataGrid1().AddRow(),
                *store.SelectHost(QString::number(id)));
    Probes->SetHanging("127.0.0.9");
    ASSERT_TRUE(Services->Controller().BitBtn7Click());
    ASSERT_TRUE(ProcessEventsUntil([&] { return Probes->PingCalls("127.0.0.9") > 0; }, 5000));
    QElapsedTimer clock;
    clock.start();
    Services.reset();
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_FALSE(MonitoringActive.load());
}
