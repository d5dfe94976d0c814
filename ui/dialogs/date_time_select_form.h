// The "Select date" dialog of the tools window's charts: picks the hour the latency or traffic chart
// shows, redrawing it at once on every change.
#pragma once

#include <QDateTime>
#include <QDialog>

class QDateEdit;
class QLabel;
class QPushButton;
class QTimeEdit;
class TMonitorServices;
class TToolChartPages;

class TSelect_date_Form : public QDialog {
    Q_OBJECT

public:
    explicit TSelect_date_Form(TMonitorServices& Services, QWidget* parent = nullptr);

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // The chart pages whose ChartDateMode picks the chart to redraw (0 latency, 1 traffic).
    void SetChartPages(TToolChartPages* Pages) { FPages = Pages; }
    // The pickers preset for the hour ending Now, without drawing: the date and time of Now - 1 h.
    void Preset(const QDateTime& Now);
    // The hour's end the pickers name: their date and time + 1 h.
    QDateTime EndTime() const;

    QLabel* Label1 = nullptr;
    QDateEdit* DateTimePicker1 = nullptr; // date
    QTimeEdit* DateTimePicker2 = nullptr; // time
    QPushButton* BitBtn1 = nullptr;       // "OK"
    QPushButton* BitBtn2 = nullptr;       // "Close"

    // Either picker changed: the chart of the current mode is drawn for the picked hour.
    void DateTimePicker1Change();
    void BitBtn1Click();
    void BitBtn2Click();

private:
    TToolChartPages* FPages = nullptr;
};

extern TSelect_date_Form* Select_date_Form;
