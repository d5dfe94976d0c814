// The day picker that reloads a log page for one day.
#pragma once

#include "core/WindowRoles.h"
#include <QDate>
#include <QDialog>

class QPushButton;
class TDataGrid;
class TGxMonthCalendar;
class TMonitorServices;

class TCalendar_form : public QDialog, public ICalendarDialog {
    Q_OBJECT

public:
    explicit TCalendar_form(TMonitorServices& Services, QWidget* parent = nullptr);
    void ExecCalendar(TDataGrid* Events, TDataGrid* Syslog, TDataGrid* ProgramLog) override;

    // Creation handler: runs once, right after the window is created at start-up, in the fixed
    // creation order of the program's windows.
    void FormCreate();

    // The main window's grids that modes 0, 1 and 2 load.
    void SetTargets(TDataGrid* Events, TDataGrid* Syslog, TDataGrid* ProgramLog);

    // The month sheet stands behind these two, so another sheet can replace it.
    QDate SelectedDate() const;
    void SetSelectedDate(const QDate& Day);

    // "OK": the day's rows of the log CalendarMode names into its grid; closes in every case.
    void BitBtn1Click();
    // "Close": closes without loading.
    void BitBtn2Click();

    TGxMonthCalendar* GxMonthCalendar1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

private:
    TDataGrid* FTargets[3] = {nullptr, nullptr, nullptr};
};

extern TCalendar_form* Calendar_form;
