// The tools window's chart pages offscreen: the traffic chart's pixels and time axis under two zones
// (kept as PNG), the traffic entry point's pages, the alarm settings stored and loaded back, the
// latency page's refresh and OK, the date dialog and the window's close steps.
#include "core/MonitorServices.h"
#include "ui/dialogs/ToolChartPages.h"

#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LangTexts.h"
#include "core/SQLiteDb.h"
#include "core/ToolCharts.h"
#include "grid/GxGrid.h"
#include "tests/support/TestSupport.h"
#include "ui/dialogs/Unit_tracert.h"
#include "ui/dialogs/date_time_select_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeEdit>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// Stored seconds of a wall-clock time, worked out apart from the code under test: the wall
// clock's fields read as if they were UTC.
qint64 StoredWall(const QDate& Day, const QTime& Time) {
    return QDateTime(Day, Time, Qt::UTC).toSecsSinceEpoch();
}

struct TPixelCount {
    int Green = 0;
    int Blue = 0;
};

TPixelCount CountSeriesPixels(const QImage& Image) {
    TPixelCount count;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x) {
            const QRgb pixel = Image.pixel(x, y);
            count.Green += pixel == qRgb(0, 128, 0);
            count.Blue += pixel == qRgb(0, 0, 255);
        }
    return count;
}

void KeepShot(QWidget& Widget, const QString& Name) {
    const char* dir = std::getenv("ZT_SCREENSHOTS");
    const QString path = (dir ? QString::fromLocal8Bit(dir) : QDir::tempPath()) +
                         QStringLiteral("/zt_charts_") + Name + ".png";
    Widget.grab().save(path);
    std::printf("screenshot: %s\n", qPrintable(path));
}

class ChartPages : public ::testing::Test {
protected:
    void SetUp() override {
        LangTexts::UseBuiltInEnglish();
        CreateMissingTables(Db);
        CreateMissingIndexes(Db);
        CreateHostGridColumns(Hosts);
        Hosts.AddRow(2);
        SetHost(0, "7", "switch", "127.0.0.1", true);
        SetHost(1, "8", "router", "127.0.0.2", false);
        Hosts.SetSelectedRow(1); // the main grid's current row is another host
        Form.SetDatabase(&Db);
        Form.SetHostGrid(&Hosts);
        Db.ExecuteStatement(
            "insert into m_port (id,ID_h,Nomer_p,Name_p,Enabled_p,alarm_traf_in,alarm_traf_out,"
            "in_value_pers,out_value_per,speed) values (41,7,2,'eth0','-1','0','0','50','50','0'),"
            "(42,7,3,'eth1','0','0','0','50','50','0'),(43,8,1,'ge1','-1','0','0','50','50','0')");
    }
    void TearDown() override {
        Form.FormCloseQuery();
        EXPECT_TRUE(Form.WaitForTools(3000));
    }
    void SetHost(int Row, const char* Kod, const char* Name, const char* Address, bool Ports) {
        Hosts.Cell(u"Kod_", Row).SetAsString(Kod);
        Hosts.Cell(u"Host", Row).SetAsString(Name);
        Hosts.Cell(u"IP", Row).SetAsString(Address);
        Hosts.Cell(u"Comunity", Row).SetAsString("public");
        Hosts.Cell(u"Port_check", Row).SetAsBoolean(Ports);
        Hosts.Cell(u"SPing_alarm", Row).SetAsBoolean(false);
        Hosts.Cell(u"Sping_kol_vo", Row).SetAsString("100");
        Hosts.Cell(u"Avarage_Latency", Row).SetAsString("40");
    }
    void AddTraffic(const char* Port, qint64 Stored, int Out, int In) {
        Db.ExecuteStatement(
            "insert into traf_p (ID_p,T_in,T_out,date_time,Curr_traf_out,Curr_traf_in) "
            "values (?,'1','1',?,?,?)",
            {QString::fromLatin1(Port), QString::number(Stored), QString::number(Out), QString::number(In)});
    }
    std::string Query(const QString& Sql) {
        std::string text;
        auto table = Db.OpenResultTable(Sql);
        for (; !table->AtEnd(); table->NextRow()) {
            for (int i = 0; i < table->ColumnCount(); ++i)
                text += (i ? "|" : "") + table->FieldTextOrEmpty(i).toStdString();
            text += "\n";
        }
        return text;
    }
    TToolChartPages& Charts() { return Form.Charts(); }

    zt::test::TempDir Dir;
    TSQLiteDatabase Db{QString::fromStdString(Dir.file("t.db"))};
    TDataGrid Hosts;
    TMonitorServices Services{Db, QString::fromStdString(Dir.path())};
    TPing_tracert_form Form{Services};
};

} // namespace

TEST_F(ChartPages, TrafficChartPixelsAndWallClockAxisUnderTwoZones) {
    for (const char* zone : {"UTC", "Asia/Kolkata"}) {
        SCOPED_TRACE(zone);
        zt::test::ScopedTimeZone scoped(zone);
        Db.ExecuteStatement("delete from traf_p");
        const QDate day(2026, 3, 10);
        const qint64 end = StoredWall(day, QTime(12, 30));
        for (int k = 0; k < 60; ++k)
            AddTraffic("41", end - k * 60, 1000, 10);
        AddTraffic("41", end - 61 * 60, 900000, 900000); // 61 minutes before
        AddTraffic("41", end + 60, 900000, 900000);      // 1 minute after
        AddTraffic("41", end - 86400, 900000, 900000);   // the same minute yesterday
        Form.resize(900, 560);
        Charts().OpenTrafficMonitoring("7");
        Charts().DataGrid3CellDblClick(4, 0);
        Charts().DrawTrafficChart(QDateTime(day, QTime(12, 30)));
        QApplication::processEvents();
        TToolChartView& chart = *Charts().Chart2;
        ASSERT_EQ(chart.Series().size(), 2u);
        ASSERT_EQ(chart.Series()[0].Points.size(), 60u);
        ASSERT_EQ(chart.Series()[1].Points.size(), 60u);
        // Out 1000 B/s and in 10 B/s: 8000 and 80 bit/s, shown in KBit/s.
        EXPECT_EQ(chart.ValueUnit(), "KBit/s");
        EXPECT_DOUBLE_EQ(chart.Series()[0].Points[0].Value, 8);
        EXPECT_DOUBLE_EQ(chart.Series()[1].Points[0].Value, 0.08);
        EXPECT_EQ(chart.Series()[0].Color, QColor(0, 128, 0));
        EXPECT_EQ(chart.Series()[1].Color, QColor(0, 0, 255));
        EXPECT_DOUBLE_EQ(chart.AxisMaximum(), 8);
        // The sample stored at wall 12:00 sits at 12:00 of the axis.
        const qint64 noon = StoredWall(day, QTime(12, 0));
        const QPointF at = chart.PointPosition(noon, 8);
        EXPECT_EQ(chart.AxisTimeAt(at.x()).time(), QTime(12, 0));
        EXPECT_EQ(chart.AxisTimeAt(at.x()).date(), day);
        EXPECT_EQ(chart.Series()[0].Points[29].WallSeconds, noon);
        const QImage image = chart.grab().toImage();
        KeepShot(chart, QString::fromLatin1(zone).replace('/', '_'));
        const TPixelCount pixels = CountSeriesPixels(image);
        EXPECT_GT(pixels.Green, 200);
        EXPECT_GT(pixels.Blue, 200);
        // The green line runs at the top of the axis (8 of 8), the blue one just above the bottom.
        const QPoint top = chart.PointPosition(noon, 8).toPoint();
        EXPECT_EQ(image.pixel(top.x(), top.y()), qRgb(0, 128, 0));
        Form.hide();
    }
}

TEST_F(ChartPages, LatencyChartOnItsPage) {
    const QDateTime end(QDate(2026, 3, 10), QTime(12, 30));
    const qint64 stored = ChartWallSeconds(end);
    for (int k = 0; k < 60; ++k)
        Db.ExecuteStatement("insert into Ping_data (ID_h,Timeout,date_time) values ('7',?,?)",
                            {QString::number(k == 10 ? 200 : 20), QString::number(stored - k * 60)});
    Db.ExecuteStatement("insert into Ping_data (ID_h,Timeout,date_time) values ('8','900',?)",
                        {QString::number(stored)});
    Charts().OpenLatency("7");
    Charts().DrawLatencyChart(end);
    Form.resize(900, 560);
    QApplication::processEvents();
    EXPECT_EQ(Form.PageControl1->currentIndex(), 5);
    EXPECT_EQ(Form.windowTitle(), "Latency monitoring");
    EXPECT_EQ(Charts().GroupBox7->title(), "Latency monitoring switch");
    ASSERT_EQ(Charts().Chart1->Series().size(), 1u);
    EXPECT_EQ(Charts().Chart1->Series()[0].Points.size(), 60u);
    EXPECT_DOUBLE_EQ(Charts().Chart1->AxisMaximum(), 210);
    KeepShot(Form, "latency_page");
    EXPECT_GT(CountSeriesPixels(Charts().Chart1->grab().toImage()).Green, 200);
    Form.hide();
}

TEST_F(ChartPages, TrafficEntryPointGivesPageFourOrTwo) {
    Form.DataGrid2->AddRow();
    Charts().OpenTrafficMonitoring("7", false);
    EXPECT_EQ(Form.PageControl1->currentIndex(), 4);
    EXPECT_EQ(Form.DataGrid2->RowCount(), 0);
    ASSERT_EQ(Charts().DataGrid3->RowCount(), 1); // eth1 is not enabled
    EXPECT_EQ(Charts().DataGrid3->CellText(2, 0), "eth0");
    EXPECT_EQ(Charts().DataGrid3->CellText(3, 0), "41");
    EXPECT_EQ(Charts().DataGrid3->CellText(4, 0), "View");
    EXPECT_EQ(Form.windowTitle(), "Traffic monitoring: switch");
    EXPECT_EQ(Form.Host_snmp_Edit2->text(), "127.0.0.1");
    EXPECT_EQ(Form.com_snmp_Edit2->text(), "public");

    // A host that monitors no ports gets the interface selection.
    Charts().OpenTrafficMonitoring("8", false);
    EXPECT_EQ(Form.PageControl1->currentIndex(), 2);
    EXPECT_EQ(Form.windowTitle(), "Traffic monitoring: router");
    EXPECT_EQ(Form.Host_snmp_Edit2->text(), "127.0.0.2");

    // Page 4's buttons: "Change settings" goes to the selection, "OK" closes.
    Charts().OpenTrafficMonitoring("7");
    Charts().BitBtn5->click();
    EXPECT_EQ(Form.PageControl1->currentIndex(), 2);
    Charts().BitBtn6->click();
    EXPECT_FALSE(Form.isVisible());
}

TEST_F(ChartPages, AlarmSettingsStoredForTheOpenedInterfaceAndLoadedBack) {
    Charts().OpenTrafficMonitoring("7");
    Charts().DataGrid3CellDblClick(4, 0);
    EXPECT_EQ(Charts().PortChartId, "41");
    EXPECT_EQ(Form.PageControl1->currentIndex(), 6);
    EXPECT_EQ(Form.windowTitle(), "Traffic monitoring - switch - eth0");
    Charts().in_traf->setChecked(true);
    Charts().Out_traf->setChecked(false);
    Charts().in_pers->setValue(35);
    Charts().out_pers->setValue(90);
    Charts().BitBtn13->click();
    EXPECT_EQ(Form.PageControl1->currentIndex(), 4);
    EXPECT_EQ(
        Query("select id,alarm_traf_in,alarm_traf_out,in_value_pers,out_value_per from m_port order by id"),
        "41|-1|0|35|90\n42|0|0|50|50\n43|0|0|50|50\n");
    // "View" loads them back into fresh controls.
    Charts().in_traf->setChecked(false);
    Charts().in_pers->setValue(50);
    Charts().out_pers->setValue(50);
    Charts().DataGrid3CellDblClick(4, 0);
    EXPECT_TRUE(Charts().in_traf->isChecked());
    EXPECT_FALSE(Charts().Out_traf->isChecked());
    EXPECT_EQ(Charts().in_pers->value(), 35);
    EXPECT_EQ(Charts().out_pers->value(), 90);
    // Another column of the list does nothing.
    Form.PageControl1->setCurrentIndex(4);
    Charts().DataGrid3CellDblClick(2, 0);
    EXPECT_EQ(Form.PageControl1->currentIndex(), 4);
    // Page 6 "Close" shows the list again.
    Charts().DataGrid3CellDblClick(4, 0);
    Charts().BitBtn14->click();
    EXPECT_EQ(Form.PageControl1->currentIndex(), 4);
}

TEST_F(ChartPages, LatencyRefreshKeepsEditsAndOkWritesTheOpenedHostsRowOnly) {
    Hosts.Cell(u"SPing_alarm", 0).SetAsBoolean(true);
    Hosts.Cell(u"Sping_kol_vo", 0).SetAsString("30");
    Charts().OpenLatency("7");
    EXPECT_TRUE(Charts().Timer_online_grafs.isActive());
    EXPECT_EQ(Charts().Timer_online_grafs.interval(), 60000);
    EXPECT_TRUE(Charts().Alarm_CheckBox->isChecked());
    EXPECT_EQ(Charts().Alarm_SpinEdit->value(), 30);
    // Threshold 30 below the average 40: red.
    EXPECT_FALSE(Charts().Label14->isHidden());
    EXPECT_EQ(Charts().Label14->text(), "Average latency: 40 ms");
    EXPECT_EQ(Charts().Label14->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
    Charts().Alarm_SpinEdit->setValue(250);
    Charts().Alarm_CheckBox->setChecked(false);
    Charts().Timer_online_grafsTimer(); // the 60 s refresh
    EXPECT_EQ(Charts().Alarm_SpinEdit->value(), 250);
    EXPECT_FALSE(Charts().Alarm_CheckBox->isChecked());
    EXPECT_EQ(Form.PageControl1->currentIndex(), 5);
    Charts().BitBtn11->click();
    EXPECT_FALSE(Form.isVisible());
    EXPECT_FALSE(Hosts.Cell(u"SPing_alarm", 0).GetAsBoolean());
    EXPECT_EQ(Hosts.CellText(Hosts.ColumnIndex(u"Sping_kol_vo"), 0), "250");
    // The main grid's current row (another host) is untouched, and so is the database.
    EXPECT_EQ(Hosts.CellText(Hosts.ColumnIndex(u"Sping_kol_vo"), 1), "100");
    EXPECT_FALSE(Hosts.Cell(u"SPing_alarm", 1).GetAsBoolean());
    EXPECT_EQ(Query("select count(*) from hosts"), "0\n");

    // Threshold at or above the average: green.
    Hosts.Cell(u"SPing_alarm", 1).SetAsBoolean(true);
    Hosts.Cell(u"Sping_kol_vo", 1).SetAsString("40");
    Charts().OpenLatency("8");
    EXPECT_EQ(Charts().Label14->palette().color(QPalette::WindowText), QColor(0, 0x80, 0));
    Form.FormCloseQuery();
    EXPECT_FALSE(Charts().Timer_online_grafs.isActive());
}

TEST_F(ChartPages, SelectDateModesPresetsAndRedraw) {
    const QDateTime now = QDateTime::currentDateTime();
    Charts().OpenTrafficMonitoring("7");
    Charts().DataGrid3CellDblClick(4, 0);
    Charts().BitBtn18->click();
    TSelect_date_Form& dialog = Charts().DateDialog();
    EXPECT_EQ(Charts().ChartDateMode, 1);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(dialog.windowTitle(), "Traffic from selected date");
    EXPECT_EQ(dialog.objectName(), "Select_date_Form");
    const QDateTime start = now.addSecs(-3600);
    EXPECT_EQ(dialog.DateTimePicker1->date(), start.date());
    EXPECT_LE(std::abs(dialog.DateTimePicker2->time().secsTo(start.time())), 5);
    dialog.close();

    Charts().BitBtn19->click();
    EXPECT_EQ(Charts().ChartDateMode, 0);
    dialog.close();
    Charts().ChartDateMode = 1;
    Charts().BitBtn22->click();
    EXPECT_EQ(Charts().ChartDateMode, 0);
    dialog.close();
    Charts().ChartDateMode = 1;
    Charts().Image1Click();
    EXPECT_EQ(Charts().ChartDateMode, 1);

    // Picking 2026-03-10 11:30 draws the hour ending 12:30 on the traffic chart at once.
    const QDate day(2026, 3, 10);
    const qint64 end = StoredWall(day, QTime(12, 30));
    AddTraffic("41", end - 120, 1000, 10);
    AddTraffic("41", end + 60, 1000, 10);
    dialog.DateTimePicker1->setDate(day);
    dialog.DateTimePicker2->setTime(QTime(11, 30));
    EXPECT_EQ(dialog.EndTime(), QDateTime(day, QTime(12, 30)));
    ASSERT_EQ(Charts().Chart2->Series().size(), 2u);
    EXPECT_EQ(Charts().Chart2->Series()[0].Points.size(), 1u);
    EXPECT_EQ(Charts().Chart2->Series()[0].Points[0].WallSeconds, end - 120);
    // "OK" draws and closes; "Close" closes without drawing.
    Charts().Chart2->Clear();
    dialog.BitBtn1->click();
    EXPECT_EQ(Charts().Chart2->Series().size(), 2u);
    EXPECT_FALSE(dialog.isVisible());
    Charts().Image1Click();
    Charts().Chart2->Clear();
    dialog.BitBtn2->click();
    EXPECT_TRUE(Charts().Chart2->Series().empty());
    EXPECT_FALSE(dialog.isVisible());

    // Mode 0 redraws the latency chart of the opened host.
    Db.ExecuteStatement("insert into Ping_data (ID_h,Timeout,date_time) values ('7','12',?)",
                        {QString::number(end - 60)});
    Charts().BitBtn19->click();
    dialog.DateTimePicker1->setDate(day);
    dialog.DateTimePicker2->setTime(QTime(11, 30));
    ASSERT_EQ(Charts().Chart1->Series().size(), 1u);
    EXPECT_EQ(Charts().Chart1->Series()[0].Points.size(), 1u);
    EXPECT_DOUBLE_EQ(Charts().Chart1->AxisMaximum(), 13);
    dialog.close();
}

TEST_F(ChartPages, PresetShortlyAfterMidnightNamesTheHourBefore) {
    TSelect_date_Form dialog(Services);
    dialog.Preset(QDateTime(QDate(2026, 3, 10), QTime(0, 20)));
    EXPECT_EQ(dialog.DateTimePicker1->date(), QDate(2026, 3, 9));
    EXPECT_EQ(dialog.DateTimePicker2->time(), QTime(23, 20));
    EXPECT_EQ(dialog.EndTime(), QDateTime(QDate(2026, 3, 10), QTime(0, 20)));
}

TEST_F(ChartPages, ClosingOnTheTrafficPageEmptiesRealtimeAndStopsTimers) {
    Charts().OpenTrafficMonitoring("7");
    Charts().DataGrid3CellDblClick(4, 0);
    Charts().BitBtn17->click();
    EXPECT_EQ(Form.PageControl1->currentIndex(), 7);
    EXPECT_TRUE(Charts().Realtime_Timer.isActive());
    EXPECT_EQ(Charts().Realtime_Timer.interval(), 5000);
    Charts().Timer_online_grafs.start();
    Db.ExecuteStatement("insert into realtime_traf_p (ID_p,T_in,T_out,date_time,curr_traf_in,curr_traf_out) "
                        "values ('41','1','1','1','0','0')");
    // Page 7 "OK": the table emptied, back to page 6.
    Charts().BitBtn15->click();
    EXPECT_EQ(Query("select count(*) from realtime_traf_p"), "0\n");
    EXPECT_EQ(Form.PageControl1->currentIndex(), 6);
    EXPECT_FALSE(Charts().Realtime_Timer.isActive());

    Charts().BitBtn17->click();
    Form.PageControl1->setCurrentIndex(6);
    Db.ExecuteStatement("insert into realtime_traf_p (ID_p,T_in,T_out,date_time,curr_traf_in,curr_traf_out) "
                        "values ('41','1','1','1','0','0')");
    ASSERT_TRUE(Form.isVisible());
    Form.close();
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Query("select count(*) from realtime_traf_p"), "0\n");
    EXPECT_FALSE(Charts().Realtime_Timer.isActive());
    EXPECT_FALSE(Charts().Timer_online_grafs.isActive());
    EXPECT_TRUE(Charts().Chart3->Series().empty());
    EXPECT_EQ(Form.PageControl1->currentIndex(), 4); // the list, for the next opening

    // Page 7 "Close" empties the table and closes the window too.
    Charts().OpenTrafficMonitoring("7");
    Charts().DataGrid3CellDblClick(4, 0);
    Charts().BitBtn17->click();
    Db.ExecuteStatement("insert into realtime_traf_p (ID_p,T_in,T_out,date_time,curr_traf_in,curr_traf_out) "
                        "values ('41','1','1','1','0','0')");
    Charts().BitBtn16->click();
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Query("select count(*) from realtime_traf_p"), "0\n");
    EXPECT_FALSE(Charts().Realtime_Timer.isActive());
}

TEST_F(ChartPages, CountdownRedrawsOnlyTheShownTrafficPage) {
    Charts().OpenTrafficMonitoring("7");
    Charts().DataGrid3CellDblClick(4, 0);
    Form.TrafficWindowTick(30);
    EXPECT_EQ(Charts().Label27->text(), "30 s until the next traffic sample");
    AddTraffic("41", ChartWallSeconds(QDateTime::currentDateTime()) - 30, 1000, 10);
    Form.TrafficWindowTick(57);
    EXPECT_TRUE(Charts().Chart2->Series()[0].Points.empty());
    Form.TrafficWindowTick(58);
    EXPECT_EQ(Charts().Chart2->Series()[0].Points.size(), 1u);
    // Another page: nothing changes.
    Form.PageControl1->setCurrentIndex(4);
    Form.TrafficWindowTick(12);
    EXPECT_EQ(Charts().Label27->text(), "58 s until the next traffic sample");
}

TEST_F(ChartPages, SnmpChartPresets) {
    const char* const oids[] = {"",
                                "1.3.6.1.2.1.1.3.0",
                                "1.3.6.1.4.1.9.2.1.57.0",
                                "1.3.6.1.4.1.9.2.1.8.0",
                                "1.3.6.1.2.1.2.2.1.14.X",
                                "1.3.6.1.2.1.2.2.1.20.X",
                                "1.3.6.1.2.1.2.2.1.8.X"};
    ASSERT_EQ(Charts().ComboBox1->count(), 7);
    for (int item = 0; item < 7; ++item) {
        Charts().Edit6->setText("keep");
        Charts().ComboBox1Select(item);
        EXPECT_EQ(Charts().Edit6->text(), oids[item]) << item;
    }
    Charts().Timer_online_grafs.setInterval(5);
    Charts().SpinEdit2->setValue(7);
    EXPECT_EQ(Charts().Timer_online_grafs.interval(), 60000);
    EXPECT_FALSE(Charts().Timer_snmpTimer.isActive());
    EXPECT_EQ(Charts().Timer_snmpTimer.interval(), 100);
}
