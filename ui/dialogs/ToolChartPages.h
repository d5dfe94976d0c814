// The tools window's chart pages: the list of monitored interfaces (page 4), latency (page 5),
// traffic with its alarm settings (page 6), real-time traffic (page 7) and the SNMP chart's presets
// (page 8). Every page acts on the host the window was opened for.
#pragma once

#include "ui/dialogs/ToolChartView.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QCheckBox;
class QComboBox;
class QEventLoop;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TDataGrid;
class TGxGridView;
class TNetCancel;
class TPing_tracert_form;
class TRealtimeSampler;
class TSelect_date_Form;

class TToolChartPages : public QObject {
    Q_OBJECT

public:
    explicit TToolChartPages(TPing_tracert_form& Form);
    ~TToolChartPages() override;

    // Fills the (empty) pages 4-8 of the window.
    void Build();
    void TranslateCaptions();
    // The chart period box's items in the current language, the first chosen.
    void FillPeriodBox();

    // The host menu's "Traffic monitoring" (TForm1.Portmonitoring2Click) for host HostId (its Kod_):
    // page 4 with the host's enabled interfaces when it monitors ports, else page 2; the window is
    // shown.
    void OpenTrafficMonitoring(const QString& HostId, bool Show = true);
    // The host dialog's latency "edit" button, repeated every 60 s by Timer_online_grafs.
    void OpenLatency(const QString& HostId);
    // The traffic countdown's chart step (the controller's TrafficWindowTick).
    void TrafficWindowTick(int Tag);
    // The window's close steps of the chart pages.
    void CloseSteps();

    void DrawLatencyChart(const QDateTime& EndTime);
    void DrawTrafficChart(const QDateTime& EndTime);
    void DrawRealtimeChart();
    void DataGrid3CellDblClick(int Col, int Row);
    void BitBtn11Click(); // page 5 "OK" (BitBtn20 does the same)
    void BitBtn13Click(); // page 6 "OK"
    void BitBtn14Click(); // page 6 "Close"
    void BitBtn17Click(); // "Realtime"
    void RealtimeOkClick();
    void RealtimeCloseClick();
    void Realtime_TimerTimer();
    void Timer_online_grafsTimer();
    void ComboBox1Select(int Item);
    void SpinEdit2Change();
    // "Select date": BitBtn18 (mode 1, traffic), BitBtn19 and BitBtn22 (mode 0, latency); Image1Click
    // keeps the mode. Each presets the date dialog to the last hour and shows it modally.
    void BitBtn18Click() { SelectDate(1); }
    void BitBtn19Click() { SelectDate(0); }
    void Image1Click() { SelectDate(-1); }
    // The date dialog these pages use (the program's, else one of their own).
    TSelect_date_Form& DateDialog();
    // The program's date dialog; without one the pages make their own.
    void SetDateDialog(TSelect_date_Form* Dialog);
    // True while the last real-time tick's reads are running.
    bool RealtimeInFlight() const { return FInFlight; }
    // Waits for a running real-time tick (tests), serving its completion.
    bool WaitRealtimeIdle(int LimitMs);

    QString PortChartId;
    quint8 ChartDateMode = 0;
    QString HostId() const { return FHostId; }

    // Page 4.
    QGroupBox* GroupBox6 = nullptr;
    std::unique_ptr<TDataGrid> DataGrid3;
    TGxGridView* DataGrid3View = nullptr;
    QPointer<QObject> DataGrid3Viewport;
    QPushButton* BitBtn5 = nullptr; // "Change settings"
    QPushButton* BitBtn6 = nullptr; // "OK"
    // Page 5.
    QGroupBox* GroupBox7 = nullptr;
    TToolChartView* Chart1 = nullptr;
    QCheckBox* Alarm_CheckBox = nullptr;
    QSpinBox* Alarm_SpinEdit = nullptr;
    QLabel* Label14 = nullptr;
    QPushButton* BitBtn11 = nullptr;
    QPushButton* BitBtn20 = nullptr;
    QPushButton* BitBtn19 = nullptr; // "Select date"
    QTimer Timer_online_grafs;
    // Page 6.
    QGroupBox* GroupBox8 = nullptr;
    TToolChartView* Chart2 = nullptr;
    QLabel* Label27 = nullptr;
    QCheckBox* in_traf = nullptr;
    QCheckBox* Out_traf = nullptr;
    QSpinBox* in_pers = nullptr;
    QSpinBox* out_pers = nullptr;
    QLabel* Label28 = nullptr;
    QLabel* Label29 = nullptr;
    QPushButton* BitBtn13 = nullptr;
    QPushButton* BitBtn14 = nullptr;
    QPushButton* BitBtn17 = nullptr;
    QPushButton* BitBtn18 = nullptr; // "Select date"
    // Page 7.
    QGroupBox* GroupBox9 = nullptr;
    TToolChartView* Chart3 = nullptr;
    QPushButton* BitBtn15 = nullptr; // "OK"
    QPushButton* BitBtn16 = nullptr; // "Close"
    QTimer Realtime_Timer;
    // Page 8.
    QGroupBox* GroupBox10 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QSpinBox* SpinEdit2 = nullptr;
    QPushButton* BitBtn22 = nullptr; // "Select date"
    QTimer Timer_snmpTimer;

private:
    void BuildInterfaceList();
    void BuildLatencyPage();
    void BuildTrafficPage();
    void BuildRealtimePage();
    void BuildSnmpChartPage();
    void SelectDate(int Mode);
    int HostRow() const;
    QString HostText(const char16_t* Column) const;
    void ShowLatencyStatus();
    void RealtimeDone();
    // A copy with its own buffer, for the sampling thread.
    static QString OwnText(const QString& Text);
    bool DataGrid3Click(QMouseEvent* Event);
    bool eventFilter(QObject* Watched, QEvent* Event) override;

    TPing_tracert_form& FForm;
    QString FHostId;
    // GUI thread only: set as a tick starts, cleared by its completion posted back here.
    bool FInFlight = false;
    QEventLoop* FIdleWait = nullptr;
    // The sampling thread is the services'.
    TRealtimeSampler& Sampler();
    std::unique_ptr<TSelect_date_Form> FOwnDateDialog;
    QPointer<TSelect_date_Form> FDateDialog;
};
