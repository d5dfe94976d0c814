// The tools window's chart pages 4-8: their controls, timers and handlers.
#include "ui/dialogs/ToolChartPages.h"

#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "core/ToolCharts.h"
#include "core/ToolChartsSampler.h"
#include "grid/GxColumnClasses.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "net/blcksock.h"
#include "ui/common/Widgets.h"
#include "ui/dialogs/Unit_tracert.h"
#include "ui/dialogs/date_time_select_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

// Series colours (blue-green-red values 0x008000 and 0xFF0000).
const QColor OutColor(0x00, 0x80, 0x00);
const QColor InColor(0x00, 0x00, 0xFF);

QGroupBox* AddBox(QWidget* Page, const char* Name, QGridLayout*& Grid) {
    auto* box = Make<QGroupBox>(Name, Page);
    Grid = new QGridLayout(box);
    Page->layout()->addWidget(box);
    return box;
}

qint64 NowWall() {
    return ChartWallSeconds(QDateTime::currentDateTime());
}

} // namespace

TToolChartPages::TToolChartPages(TPing_tracert_form& Form) : FForm(Form) {
    Timer_online_grafs.setInterval(60000);
    connect(&Timer_online_grafs, &QTimer::timeout, this,
            [this] { Guarded("Timer_online_grafs", [this] { Timer_online_grafsTimer(); }); });
    Realtime_Timer.setInterval(5000);
    connect(&Realtime_Timer, &QTimer::timeout, this,
            [this] { Guarded("Realtime_Timer", [this] { Realtime_TimerTimer(); }); });
    Timer_snmpTimer.setInterval(100);
    connect(&Timer_snmpTimer, &QTimer::timeout, this, [this] { Timer_snmpTimer.stop(); });
}

TToolChartPages::~TToolChartPages() {
    // A sample in flight ends before this page (its Done's receiver) goes.
    Sampler().Stop();
}

TRealtimeSampler& TToolChartPages::Sampler() {
    return FForm.FServices->RealtimeSampler();
}

void TToolChartPages::Build() {
    BuildInterfaceList();
    BuildLatencyPage();
    BuildTrafficPage();
    BuildRealtimePage();
    BuildSnmpChartPage();
    TranslateCaptions();
}

void TToolChartPages::BuildInterfaceList() {
    QGridLayout* box = nullptr;
    GroupBox6 = AddBox(FForm.TabSheet5, "GroupBox6", box);
    DataGrid3 = std::make_unique<TDataGrid>();
    DataGrid3->setObjectName(QStringLiteral("DataGrid3"));
    const char* const names[] = {"GxTextColumn3", "GxTextColumn4", "Port_name", "Port_id", "View"};
    const int widths[] = {10, 10, 420, 10, 90};
    for (int col = 0; col < 5; ++col) {
        auto& column = DataGrid3->AddColumn<TGxTextColumn>(QLatin1String(names[col]));
        column.SetWidth(widths[col]);
        column.SetVisible(col == 2 || col == 4);
    }
    DataGrid3->SetOptions(DataGrid3->Options() | goGrid | goSelectFullRow);
    DataGrid3->SetReadOnly(true);
    DataGrid3View = new TGxGridView(DataGrid3.get(), GroupBox6);
    DataGrid3View->setObjectName(QStringLiteral("DataGrid3"));
    DataGrid3Viewport = DataGrid3View->viewport();
    DataGrid3Viewport->installEventFilter(this);
    BitBtn5 = MakeButton("BitBtn5", QString(), GroupBox6);
    BitBtn6 = MakeButton("BitBtn6", QStringLiteral("OK"), GroupBox6);
    box->addWidget(DataGrid3View, 0, 0, 1, 3);
    box->addWidget(BitBtn5, 1, 1);
    box->addWidget(BitBtn6, 1, 2);
    box->setColumnStretch(0, 1);
    BindClick(BitBtn5, "BitBtn5", this, [this] { FForm.PageControl1->setCurrentIndex(2); });
    BindClick(BitBtn6, "BitBtn6", this, [this] { FForm.close(); });
}

void TToolChartPages::BuildLatencyPage() {
    QGridLayout* box = nullptr;
    GroupBox7 = AddBox(FForm.TabSheet6, "GroupBox7", box);
    Chart1 = Make<TToolChartView>("Chart1", GroupBox7);
    Alarm_CheckBox = Make<QCheckBox>("Alarm_CheckBox", GroupBox7);
    Alarm_SpinEdit = Make<QSpinBox>("Alarm_SpinEdit", GroupBox7);
    Alarm_SpinEdit->setRange(0, 10000);
    Alarm_SpinEdit->setValue(100);
    Label14 = Make<QLabel>("Label14", GroupBox7);
    BitBtn19 = MakeButton("BitBtn19", QString(), GroupBox7);
    BitBtn11 = MakeButton("BitBtn11", QStringLiteral("OK"), GroupBox7);
    BitBtn20 = MakeButton("BitBtn20", QStringLiteral("OK"), GroupBox7);
    BitBtn20->setVisible(false);
    box->addWidget(Chart1, 0, 0, 1, 5);
    box->addWidget(Alarm_CheckBox, 1, 0);
    box->addWidget(Alarm_SpinEdit, 1, 1);
    box->addWidget(Label14, 1, 2);
    box->addWidget(BitBtn19, 1, 3);
    box->addWidget(BitBtn11, 1, 4);
    box->setColumnStretch(2, 1);
    box->setRowStretch(0, 1);
    BindClick(BitBtn11, "BitBtn11", this, [this] { BitBtn11Click(); });
    BindClick(BitBtn20, "BitBtn20", this, [this] { BitBtn11Click(); });
    BindClick(BitBtn19, "BitBtn19", this, [this] { BitBtn19Click(); });
}

void TToolChartPages::BuildTrafficPage() {
    QGridLayout* box = nullptr;
    GroupBox8 = AddBox(FForm.TabSheet7, "GroupBox8", box);
    Chart2 = Make<TToolChartView>("Chart2", GroupBox8);
    Label27 = Make<QLabel>("Label27", GroupBox8);
    in_traf = Make<QCheckBox>("in_traf", GroupBox8);
    Out_traf = Make<QCheckBox>("Out_traf", GroupBox8);
    in_pers = Make<QSpinBox>("in_pers", GroupBox8);
    out_pers = Make<QSpinBox>("out_pers", GroupBox8);
    for (QSpinBox* spin : {in_pers, out_pers}) {
        spin->setRange(1, 100);
        spin->setValue(50);
    }
    Label28 = Make<QLabel>("Label28", GroupBox8);
    Label29 = Make<QLabel>("Label29", GroupBox8);
    BitBtn17 = MakeButton("BitBtn17", QString(), GroupBox8);
    BitBtn18 = MakeButton("BitBtn18", QString(), GroupBox8);
    BitBtn13 = MakeButton("BitBtn13", QStringLiteral("OK"), GroupBox8);
    BitBtn14 = MakeButton("BitBtn14", QString(), GroupBox8);
    box->addWidget(Chart2, 0, 0, 1, 6);
    box->addWidget(Label27, 1, 0, 1, 6);
    box->addWidget(in_traf, 2, 0);
    box->addWidget(in_pers, 2, 1);
    box->addWidget(Label28, 2, 2);
    box->addWidget(Out_traf, 3, 0);
    box->addWidget(out_pers, 3, 1);
    box->addWidget(Label29, 3, 2);
    box->addWidget(BitBtn17, 2, 4);
    box->addWidget(BitBtn18, 2, 5);
    box->addWidget(BitBtn13, 3, 4);
    box->addWidget(BitBtn14, 3, 5);
    box->setColumnStretch(3, 1);
    box->setRowStretch(0, 1);
    BindClick(BitBtn13, "BitBtn13", this, [this] { BitBtn13Click(); });
    BindClick(BitBtn14, "BitBtn14", this, [this] { BitBtn14Click(); });
    BindClick(BitBtn17, "BitBtn17", this, [this] { BitBtn17Click(); });
    BindClick(BitBtn18, "BitBtn18", this, [this] { BitBtn18Click(); });
}

void TToolChartPages::BuildRealtimePage() {
    QGridLayout* box = nullptr;
    GroupBox9 = AddBox(FForm.TabSheet8, "GroupBox9", box);
    Chart3 = Make<TToolChartView>("Chart3", GroupBox9);
    BitBtn15 = MakeButton("BitBtn15", QStringLiteral("OK"), GroupBox9);
    BitBtn16 = MakeButton("BitBtn16", QString(), GroupBox9);
    box->addWidget(Chart3, 0, 0, 1, 3);
    box->addWidget(BitBtn15, 1, 1);
    box->addWidget(BitBtn16, 1, 2);
    box->setColumnStretch(0, 1);
    box->setRowStretch(0, 1);
    BindClick(BitBtn15, "BitBtn15", this, [this] { RealtimeOkClick(); });
    BindClick(BitBtn16, "BitBtn16", this, [this] { RealtimeCloseClick(); });
}

void TToolChartPages::BuildSnmpChartPage() {
    QGridLayout* box = nullptr;
    GroupBox10 = AddBox(FForm.TabSheet9, "GroupBox10", box);
    ComboBox1 = Make<QComboBox>("ComboBox1", GroupBox10);
    Edit6 = Make<QLineEdit>("Edit6", GroupBox10);
    SpinEdit2 = Make<QSpinBox>("SpinEdit2", GroupBox10);
    SpinEdit2->setRange(0, 1000000);
    BitBtn22 = MakeButton("BitBtn22", QString(), GroupBox10);
    box->addWidget(ComboBox1, 0, 0);
    box->addWidget(Edit6, 0, 1);
    box->addWidget(SpinEdit2, 1, 0);
    box->addWidget(BitBtn22, 1, 1);
    box->setRowStretch(2, 1);
    connect(ComboBox1, &QComboBox::activated, this,
            [this](int Item) { Guarded("ComboBox1Select", [&] { ComboBox1Select(Item); }); });
    connect(SpinEdit2, &QSpinBox::valueChanged, this,
            [this] { Guarded("SpinEdit2Change", [this] { SpinEdit2Change(); }); });
    BindClick(BitBtn22, "BitBtn22", this, [this] { SelectDate(0); });
}

void TToolChartPages::TranslateCaptions() {
    if (!GroupBox6)
        return;
    GroupBox6->setTitle(LangText(257));
    BitBtn5->setText(LangText(219));
    DataGrid3->Columns().GetColumn(2)->Header().SetCaption(LangText(208));
    Alarm_CheckBox->setText(LangText(373));
    BitBtn19->setText(LangText(359));
    GroupBox8->setTitle(LangText(257));
    in_traf->setText(LangText(221));
    Out_traf->setText(LangText(222));
    Label28->setText(LangText(223));
    Label29->setText(LangText(223));
    BitBtn17->setText(LangText(358));
    BitBtn18->setText(LangText(359));
    BitBtn14->setText(LangText(384));
    GroupBox9->setTitle(LangText(375));
    BitBtn16->setText(LangText(384));
    GroupBox10->setTitle(LangText(230));
    FillPeriodBox();
    BitBtn22->setText(LangText(359));
}

void TToolChartPages::FillPeriodBox() {
    ComboBox1->clear();
    for (int line = 361; line <= 367; ++line)
        ComboBox1->addItem(LangText(line));
}

// ---------------------------------------------------------------------------------------------------
// The host the window acts on

int TToolChartPages::HostRow() const {
    TDataGrid* hosts = FForm.HostGrid();
    const int kod = hosts ? hosts->ColumnIndex(u"Kod_") : -1;
    for (int row = 0; kod >= 0 && !FHostId.isEmpty() && row < hosts->RowCount(); ++row)
        if (hosts->CellText(kod, row) == FHostId)
            return row;
    return -1;
}

QString TToolChartPages::HostText(const char16_t* Column) const {
    const int row = HostRow();
    TDataGrid* hosts = FForm.HostGrid();
    const int col = row >= 0 ? hosts->ColumnIndex(QStringView(Column)) : -1;
    return col >= 0 ? hosts->CellText(col, row) : QString();
}

void TToolChartPages::OpenTrafficMonitoring(const QString& HostId, bool Show) {
    FHostId = HostId;
    FForm.DataGrid2->ClearRows();
    const int row = HostRow();
    const bool ports = row >= 0 && FForm.HostGrid()->Cell(u"Port_check", row).GetAsBoolean();
    if (ports) {
        FForm.PageControl1->setCurrentIndex(4);
        DataGrid3->ClearRows();
        try {
            auto table = FForm.Database().OpenResultTable(
                QStringLiteral("Select * from m_port where ID_h=? and Enabled_p=?"),
                {HostId, QStringLiteral("-1")});
            for (; !table->AtEnd(); table->NextRow()) {
                int added = DataGrid3->AddRow();
                DataGrid3->Cell(2, added).SetAsString(table->FieldTextOrEmpty(3));
                DataGrid3->Cell(3, added).SetAsString(table->FieldTextOrEmpty(0));
                DataGrid3->Cell(4, added).SetAsString(QStringLiteral("View"));
            }
        } catch (const ESQLiteException&) {
            ReportCurrentException("OpenTrafficMonitoring");
        }
    } else {
        FForm.PageControl1->setCurrentIndex(2);
    }
    FForm.setWindowTitle(LangText(345) + QLatin1Char(' ') + HostText(u"Host"));
    FForm.Host_snmp_Edit2->setText(HostText(u"IP"));
    FForm.com_snmp_Edit2->setText(HostText(u"Comunity"));
    FForm.FSelectionHostId = HostId;
    if (Show)
        FForm.show();
}

bool TToolChartPages::eventFilter(QObject* Watched, QEvent* Event) {
    // Compared by address only: while the view is destroyed its viewport still sends events.
    if (DataGrid3Viewport && Watched == DataGrid3Viewport && Event->type() == QEvent::MouseButtonPress) {
        bool handled = false;
        Guarded("DataGrid3", [&] { handled = DataGrid3Click(static_cast<QMouseEvent*>(Event)); });
        return handled;
    }
    return QObject::eventFilter(Watched, Event);
}

bool TToolChartPages::DataGrid3Click(QMouseEvent* Event) {
    const QPoint at = Event->position().toPoint();
    for (int row = std::max(0, DataGrid3->FirstRow()); row < DataGrid3->RowCount(); ++row)
        for (int col = 0; col < DataGrid3->ColumnCount(); ++col)
            if (DataGrid3->Columns().GetColumn(col)->Visible() &&
                DataGrid3View->CellRect(col, row).contains(at)) {
                DataGrid3->SelectCell(col, row);
                DataGrid3CellDblClick(col, row);
                return true;
            }
    return false;
}

void TToolChartPages::DataGrid3CellDblClick(int Col, int Row) {
    if (Col != 4 || Row < 0 || Row >= DataGrid3->RowCount())
        return;
    PortChartId = DataGrid3->CellText(3, Row);
    DrawTrafficChart(QDateTime::currentDateTime());
    FForm.setWindowTitle(QStringLiteral("Traffic monitoring - ") + HostText(u"Host") + QStringLiteral(" - ") +
                         DataGrid3->CellText(2, Row));
    FForm.PageControl1->setCurrentIndex(6);
    TTrafficAlarm alarm;
    if (LoadTrafficAlarm(FForm.Database(), PortChartId, alarm)) {
        in_traf->setChecked(alarm.InAlarm);
        Out_traf->setChecked(alarm.OutAlarm);
        in_pers->setValue(alarm.InPercent);
        out_pers->setValue(alarm.OutPercent);
    }
}

// ---------------------------------------------------------------------------------------------------
// Charts

void TToolChartPages::DrawLatencyChart(const QDateTime& EndTime) {
    const int timeout = FForm.FServices->Settings().Snapshot()->Timeout_Spin;
    TLatencyChartData data = LoadLatencyChart(FForm.Database(), FHostId, EndTime, timeout);
    Chart1->Clear();
    Chart1->SetTimeRange(data.StartSeconds, data.EndSeconds);
    Chart1->SetValueUnit(QString());
    Chart1->SetSeries(0, std::move(data.Points), OutColor);
    Chart1->SetAxisMaximum(double(data.AxisMax));
}

void TToolChartPages::DrawTrafficChart(const QDateTime& EndTime) {
    TTrafficChartData data = LoadTrafficChart(FForm.Database(), PortChartId, EndTime);
    Chart2->Clear();
    Chart2->SetTimeRange(data.EndSeconds - 3600, data.EndSeconds);
    Chart2->SetValueUnit(data.Scale.Unit);
    Chart2->SetSeries(0, std::move(data.Out), OutColor);
    Chart2->SetSeries(1, std::move(data.In), InColor);
    Chart2->SetAxisMaximum(double(std::max<qint64>(data.AxisMax, 1)));
}

void TToolChartPages::DrawRealtimeChart() {
    const qint64 now = NowWall();
    TTrafficChartData data = LoadRealtimeChart(FForm.Database(), PortChartId, now);
    Chart3->Clear();
    Chart3->SetTimeRange(now - 60, now);
    Chart3->SetValueUnit(data.Scale.Unit);
    Chart3->SetSeries(0, std::move(data.Out), OutColor);
    Chart3->SetSeries(1, std::move(data.In), InColor);
    Chart3->SetAxisMaximum(0);
}

// ---------------------------------------------------------------------------------------------------
// Latency page

void TToolChartPages::OpenLatency(const QString& HostId) {
    const bool refresh = Timer_online_grafs.isActive() && HostId == FHostId && FForm.isVisible();
    FHostId = HostId;
    FForm.setWindowTitle(LangText(249));
    GroupBox7->setTitle(LangText(249) + QLatin1Char(' ') + HostText(u"Host"));
    Timer_online_grafs.start(60000);
    FForm.PageControl1->setCurrentIndex(5);
    FForm.show();
    DrawLatencyChart(QDateTime::currentDateTime());
    // The 60 s refresh redraws only: the user's unsaved edits stay.
    if (!refresh) {
        const int row = HostRow();
        if (row >= 0) {
            Alarm_CheckBox->setChecked(FForm.HostGrid()->Cell(u"SPing_alarm", row).GetAsBoolean());
            Alarm_SpinEdit->setValue(int(TextToInt64(HostText(u"Sping_kol_vo"))));
        }
    }
    ShowLatencyStatus();
}

void TToolChartPages::ShowLatencyStatus() {
    const int row = HostRow();
    const bool on = row >= 0 && FForm.HostGrid()->Cell(u"SPing_alarm", row).GetAsBoolean();
    Label14->setVisible(on);
    if (!on || !Alarm_CheckBox->isChecked())
        return;
    const qint64 average = TextToInt64(HostText(u"Avarage_Latency"));
    const qint64 threshold = TextToInt64(HostText(u"Sping_kol_vo"));
    Label14->setText(LangText(374) + QLatin1Char(' ') + QString::number(average) + QLatin1Char(' ') +
                     LangText(65));
    QPalette palette = Label14->palette();
    palette.setColor(QPalette::WindowText, threshold < average ? QColor(0xFF, 0, 0) : QColor(0, 0x80, 0));
    Label14->setPalette(palette);
}

void TToolChartPages::Timer_online_grafsTimer() {
    OpenLatency(FHostId);
}

void TToolChartPages::BitBtn11Click() {
    const int row = HostRow();
    if (row >= 0) {
        TDataGrid* hosts = FForm.HostGrid();
        hosts->Cell(u"SPing_alarm", row).SetAsBoolean(Alarm_CheckBox->isChecked());
        hosts->Cell(u"Sping_kol_vo", row).SetAsString(QString::number(Alarm_SpinEdit->value()));
    }
    FForm.close();
}

// ---------------------------------------------------------------------------------------------------
// Traffic pages

void TToolChartPages::BitBtn13Click() {
    StoreTrafficAlarm(FForm.Database(), PortChartId, in_traf->isChecked(), Out_traf->isChecked(),
                      in_pers->value(), out_pers->value());
    OpenTrafficMonitoring(FHostId);
}

void TToolChartPages::BitBtn14Click() {
    OpenTrafficMonitoring(FHostId);
}

void TToolChartPages::TrafficWindowTick(int Tag) {
    if (!FForm.isVisible() || FForm.PageControl1->currentIndex() != 6)
        return;
    if (Tag == 58)
        DrawTrafficChart(QDateTime::currentDateTime());
    // The seconds before their unit, as the status bar writes them: "30 s until the next ...".
    Label27->setText(QString::number(Tag) + QLatin1Char(' ') + LangText(347) + QLatin1Char(' ') +
                     LangText(346));
}

void TToolChartPages::BitBtn17Click() {
    FForm.PageControl1->setCurrentIndex(7);
    Realtime_Timer.start(5000);
}

void TToolChartPages::RealtimeOkClick() {
    Realtime_Timer.stop();
    ClearRealtimeTraffic(FForm.Database());
    Chart3->Clear();
    FForm.PageControl1->setCurrentIndex(6);
}

void TToolChartPages::RealtimeCloseClick() {
    ClearRealtimeTraffic(FForm.Database());
    FForm.close();
}

void TToolChartPages::Realtime_TimerTimer() {
    // A tick while the last one's reads are running is skipped: ticks never queue up.
    if (FInFlight)
        return;
    const int row = HostRow();
    const bool sample = row >= 0 && FForm.HostGrid()->Cell(u"Port_check", row).GetAsBoolean();
    if (!sample) {
        DrawRealtimeChart();
        return;
    }
    FInFlight = true;
    const TRealtimeTarget target{OwnText(PortChartId), OwnText(HostText(u"IP")),
                                 OwnText(HostText(u"Comunity"))};
    Sampler().Start(FForm.Database(), target, OwnText(FForm.SnmpPort), NowWall, this,
                    [this] { RealtimeDone(); });
}

QString TToolChartPages::OwnText(const QString& Text) {
    return QString(Text.constData(), Text.size());
}

void TToolChartPages::RealtimeDone() {
    Sampler().Join();
    FInFlight = false;
    if (FIdleWait)
        FIdleWait->quit();
    Guarded("Realtime chart", [this] { DrawRealtimeChart(); });
}

bool TToolChartPages::WaitRealtimeIdle(int LimitMs) {
    if (!FInFlight)
        return true;
    // The tick's completion is posted here; it ends the wait.
    QEventLoop loop;
    FIdleWait = &loop;
    QTimer::singleShot(LimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    FIdleWait = nullptr;
    return !FInFlight;
}

void TToolChartPages::CloseSteps() {
    const bool trafficShown = FForm.PageControl1->currentIndex() == 6;
    Timer_online_grafs.stop();
    Realtime_Timer.stop();
    // A tick in flight ends at once and stores before the table is emptied.
    Sampler().Stop();
    ClearRealtimeTraffic(FForm.Database());
    Chart3->Clear();
    // Page 6 goes back to the interface list for the next opening.
    if (trafficShown && !FHostId.isEmpty())
        OpenTrafficMonitoring(FHostId, false);
}

// ---------------------------------------------------------------------------------------------------
// Page 8 and the date buttons

void TToolChartPages::ComboBox1Select(int Item) {
    Edit6->setText(SnmpChartPresetOid(Item));
}

void TToolChartPages::SpinEdit2Change() {
    Timer_online_grafs.setInterval(60000);
}

void TToolChartPages::SetDateDialog(TSelect_date_Form* Dialog) {
    FDateDialog = Dialog;
}

TSelect_date_Form& TToolChartPages::DateDialog() {
    if (FDateDialog)
        return *FDateDialog;
    if (!FOwnDateDialog)
        FOwnDateDialog = std::make_unique<TSelect_date_Form>(*FForm.FServices, &FForm);
    return *FOwnDateDialog;
}

void TToolChartPages::SelectDate(int Mode) {
    if (Mode >= 0)
        ChartDateMode = quint8(Mode);
    TSelect_date_Form& dialog = DateDialog();
    dialog.SetChartPages(this);
    dialog.Preset(QDateTime::currentDateTime());
    // Modal, yet not a nested loop: the charts' timers go on while it shows.
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    dialog.raise();
}
