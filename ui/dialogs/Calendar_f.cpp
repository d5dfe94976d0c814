// The day picker that reloads a log page for one day.
#include "ui/dialogs/Calendar_f.h"

#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "core/LogPages.h"
#include "core/TextConversions.h"
#include "grid/widgets/GxCalendarSheet.h"
#include "grid/widgets/GxMonthCalendar.h"

#include <algorithm>

#include <QDateTime>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TCalendar_form* Calendar_form = nullptr;

namespace {

// The sheet's day cells have a fixed size; a larger desktop font makes the numbers run into each
// other, so the calendar's own font shrinks until every day number fits its cell.
QFont FitCalendarFont(QFont Font) {
    const auto fits = [](const QFont& F) {
        const QFontMetrics metrics(F);
        if (metrics.height() > CalendarCellHeight + 2)
            return false;
        for (int day = 10; day <= 31; ++day)
            if (metrics.horizontalAdvance(QString::number(day)) > CalendarCellWidth - 3)
                return false;
        return true;
    };
    int pixels = std::max(QFontInfo(Font).pixelSize(), 7);
    Font.setPixelSize(pixels);
    while (!fits(Font) && pixels > 7)
        Font.setPixelSize(--pixels);
    return Font;
}

} // namespace

TCalendar_form::TCalendar_form(TMonitorServices&, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Calendar_form"));
    setWindowTitle(QStringLiteral("Calendar"));
    auto* layout = new QVBoxLayout(this);
    resize(158, 206);
    GxMonthCalendar1 = new TGxMonthCalendar(this);
    GxMonthCalendar1->setObjectName(QStringLiteral("GxMonthCalendar1"));
    GxMonthCalendar1->setMinimumSize(CalendarWidth, CalendarHeight);
    GxMonthCalendar1->setFont(FitCalendarFont(font()));
    GxMonthCalendar1->SetTodayCaption(QStringLiteral("Today"));
    GxMonthCalendar1->SetNoneCaption(QStringLiteral("None"));
    layout->addWidget(GxMonthCalendar1, 1);
    auto* row = new QHBoxLayout;
    BitBtn1 = new QPushButton(LangText(136), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("Close"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    row->addStretch(1);
    row->addWidget(BitBtn1);
    row->addWidget(BitBtn2);
    layout->addLayout(row);
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guarded("TCalendar_form.BitBtn1Click", [this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guarded("TCalendar_form.BitBtn2Click", [this] { BitBtn2Click(); }); });
    // Today selected, its month shown.
    SetSelectedDate(QDate::currentDate());
}

void TCalendar_form::FormCreate() {
    SetSelectedDate(QDate::currentDate());
}

void TCalendar_form::SetTargets(TDataGrid* Events, TDataGrid* Syslog, TDataGrid* ProgramLog) {
    FTargets[lkEvents] = Events;
    FTargets[lkSyslog] = Syslog;
    FTargets[lkProgramLog] = ProgramLog;
}

void TCalendar_form::ExecCalendar(TDataGrid* Events, TDataGrid* Syslog, TDataGrid* ProgramLog) {
    SetTargets(Events, Syslog, ProgramLog);
    exec();
}

QDate TCalendar_form::SelectedDate() const {
    const double day = GxMonthCalendar1->SelectedDate();
    return day != 0 ? DateOfDateTime(day) : QDate();
}

void TCalendar_form::SetSelectedDate(const QDate& Day) {
    // The month of the day is shown and the day selected.
    if (Day.isValid())
        GxMonthCalendar1->SelectDate(DateTimeOfDate(Day));
}

void TCalendar_form::BitBtn1Click() {
    const int mode = CalendarMode <= lkProgramLog ? int(CalendarMode) : int(lkEvents);
    TDataGrid* grid = FTargets[mode];
    const QDate day = SelectedDate();
    // Errors are swallowed by the loaders; the window closes whatever happened.
    if (grid && day.isValid())
        Guarded("TCalendar_form.BitBtn1Click",
                [&] { ShowLogDay(TLogKind(mode), QDateTimeToDateTime(QDateTime(day, QTime(0, 0))), *grid); });
    accept();
}

void TCalendar_form::BitBtn2Click() {
    reject();
}
