// The month calendar and the date picker.
#include "grid/widgets/GxMonthCalendar.h"
#include "grid/GxConvert.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

// ---- month calendar -----------------------------------------------------------------------

TGxMonthCalendar::TGxMonthCalendar(QWidget* parent) : QWidget(parent), FButtons(this) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(CalendarWidth, CalendarHeight);
    FSheet.Locale = locale();
    SetShowNoneButton(false);
    SelectDate(TodayDate());
}

void TGxMonthCalendar::SetMonth(int value) {
    if (value == FSheet.Month || value < 1 || value > 12)
        return;
    FSheet.Month = value;
    update();
}

void TGxMonthCalendar::SetYear(int value) {
    if (value == FSheet.Year || value < 100 || value > 9999)
        return;
    FSheet.Year = value;
    update();
}

void TGxMonthCalendar::SetSelectedDate(double value) {
    if (value == FSelectedDate)
        return;
    FSelectedDate = value;
    update();
    if (OnChange)
        OnChange(this);
}

void TGxMonthCalendar::SelectDate(double value) {
    FSelectedDate = value;
    if (value != 0)
        FSheet.ShowDate(ClampCalendarDate(DateOfDateTime(value)));
    update();
}

void TGxMonthCalendar::SetDayNames(const QStringList& value) {
    FSheet.DayNames = value;
    update();
}

void TGxMonthCalendar::SetMonthNames(const QStringList& value) {
    FSheet.MonthNames = value;
    update();
}

void TGxMonthCalendar::SetShowNoneButton(bool value) {
    FShowNoneButton = value;
    FButtons.Place(width(), value);
}

void TGxMonthCalendar::SetStartDay(TStartDayOfWeek value) {
    FSheet.StartDay = value;
    update();
}

void TGxMonthCalendar::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    const QDate selected = FSelectedDate != 0 ? DateOfDateTime(FSelectedDate) : QDate();
    std::function<void(int, QFont&)> dayFont;
    if (OnDayFont)
        dayFont = [this](int day, QFont& font) {
            OnDayFont(this, day, font);
        };
    FSheet.Paint(canvas, this, selected, dayFont);
}

void TGxMonthCalendar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FSheet.Width = width();
    FSheet.Height = height();
    FButtons.Place(width(), FShowNoneButton);
}

void TGxMonthCalendar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LocaleChange) {
        FSheet.Locale = locale();
        update();
    }
}

void TGxMonthCalendar::SelectCell(const QPoint& point) {
    const int cell = TGxCalendarSheet::CellAt(point);
    if (cell < 0)
        return; // between or below the painted cells
    const double date = DateTimeOfDate(FSheet.CellDate(cell));
    if (date != FSelectedDate) {
        const int old = FSelectedDate != 0 ? FSheet.CellOfDate(DateOfDateTime(FSelectedDate)) : -1;
        SetSelectedDate(date);
        if (old >= 0)
            update(TGxCalendarSheet::CellRect(old));
        update(TGxCalendarSheet::CellRect(cell));
    }
    if (OnDayClick)
        OnDayClick(this);
}

void TGxMonthCalendar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    if (FButtons.Press(point))
        return;
    if (FSheet.PrevArrowArea().contains(point) || FSheet.NextArrowArea().contains(point)) {
        FSheet.StepMonth(FSheet.PrevArrowArea().contains(point) ? -1 : 1);
        update();
        return;
    }
    if (!FSheet.DayArea().contains(point))
        return;
    FPressed = true;
    SelectCell(point);
}

void TGxMonthCalendar::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    FButtons.Move(point);
    if (FPressed && FSheet.DayArea().contains(point))
        SelectCell(point);
}

void TGxMonthCalendar::mouseReleaseEvent(QMouseEvent* event) {
    FPressed = false;
    const int tag = FButtons.Release(event->position().toPoint());
    if (tag == 0)
        SelectDate(TodayDate());
    else if (tag == 1)
        SelectDate(0);
}

void TGxMonthCalendar::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    FButtons.Move(QPoint(-1, -1));
}

// ---- date picker --------------------------------------------------------------------------

TGxDatePicker::TGxDatePicker(QWidget* parent) : TGxPopupEdit(parent), FTextLocale(Locale()) {
    SetDate(TodayDate());
}

void TGxDatePicker::EditChanged(TEditChange change) {
    TGxPopupEdit::EditChanged(change);
    if (change != ecLocale || FTextLocale == Locale())
        return;
    // The date stays; its text follows the new locale.
    const auto date = TryTextToDateTime(text().trimmed(), FTextLocale);
    FTextLocale = Locale();
    if (date)
        SetDate(*date);
}

double TGxDatePicker::Date() const {
    const QString value = text().trimmed();
    if (value.isEmpty() || value == QLatin1String("0"))
        return TodayDate();
    return TryTextToDateTime(value, Locale()).value_or(0.0);
}

void TGxDatePicker::SetDate(double value) {
    FTextLocale = Locale();
    setText(DateTimeToText(value, Locale(), true));
}

void TGxDatePicker::SetEmptyText(const QString& value) {
    FEmptyText = value;
    update();
}

TGxDatePopup* TGxDatePicker::DatePopup() {
    return static_cast<TGxDatePopup*>(Popup());
}

TGxPopupControl* TGxDatePicker::CreatePopup() {
    auto* popup = new TGxDatePopup(this);
    popup->setObjectName(QStringLiteral("DatePopup"));
    return popup;
}

void TGxDatePicker::PreparePopup(TGxPopupControl& popup) {
    auto& sheet = static_cast<TGxDatePopup&>(popup);
    sheet.SetNoneCaption(FNoneCaption);
    const double date = Date();
    const double selected = date != 0 ? date : TodayDate();
    sheet.SetSelectedDate(selected);
    sheet.Sheet().DayNames = FDayNames;
    sheet.Sheet().MonthNames = FMonthNames;
    sheet.Sheet().StartDay = FStartDay;
    sheet.Sheet().Locale = Locale();
    sheet.SetTodayCaption(FTodayCaption);
    sheet.resize(CalendarWidth, CalendarHeight);
    sheet.SetShowNoneButton(FShowNoneButton);
    sheet.SetDate(DateOfDateTime(selected));
}

void TGxDatePicker::StepDate(const QDate& date) {
    SetDate(DateTimeOfDate(date));
    TGxDatePopup* popup = DatePopup();
    popup->SetSelectedDate(DateTimeOfDate(date));
    popup->SetDate(date);
}

void TGxDatePicker::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool alt = event->modifiers() & Qt::AltModifier;
    if (!DroppedDown() || alt || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        TGxPopupEdit::keyPressEvent(event);
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const double current = Date();
    const QDate from = current != 0 ? DateOfDateTime(current) : QDate::currentDate();
    QDate to;
    switch (key) {
    case Qt::Key_PageUp:
        to = shift ? AddCalendarYears(from, -1) : AddCalendarMonths(from, -1);
        break;
    case Qt::Key_PageDown:
        to = shift ? AddCalendarYears(from, 1) : AddCalendarMonths(from, 1);
        break;
    case Qt::Key_Left:
        to = shift ? AddCalendarMonths(from, -1) : AddCalendarDays(from, -1);
        break;
    case Qt::Key_Right:
        to = shift ? AddCalendarMonths(from, 1) : AddCalendarDays(from, 1);
        break;
    case Qt::Key_Up:
        to = AddCalendarDays(from, -7);
        break;
    case Qt::Key_Down:
        to = AddCalendarDays(from, 7);
        break;
    default:
        if (Style() == dsDropDownList) {
            event->accept();
            return;
        }
        TGxPopupEdit::keyPressEvent(event);
        return;
    }
    StepDate(to);
    event->accept();
}

void TGxDatePicker::focusOutEvent(QFocusEvent* event) {
    TGxPopupEdit::focusOutEvent(event);
    // A text left behind is written again from its date, today when it does not parse.
    if (text().isEmpty())
        return;
    const auto parsed = TryTextToDateTime(text().trimmed(), Locale());
    SetDate(parsed ? *parsed : TodayDate());
}

void TGxDatePicker::paintEvent(QPaintEvent* event) {
    TGxPopupEdit::paintEvent(event);
    if (!text().isEmpty() || hasFocus() || FEmptyText.isEmpty())
        return;
    QPainter canvas(this);
    canvas.setPen(ColorToQColor(clGrayText, palette()));
    const QRect area = rect().adjusted(LeftMargin() + 3, 0, -RightMargin() - 3, 0);
    canvas.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, FEmptyText);
}

void TGxDatePicker::ApplySetup(const TEditorSetup& setup) {
    TGxPopupEdit::ApplySetup(setup);
    SetShowNoneButton(setup.ShowNoneButton);
    SetStartDay(setup.StartDay);
    if (!setup.NoneCaption.isEmpty())
        SetNoneCaption(setup.NoneCaption);
    if (!setup.TodayCaption.isEmpty())
        SetTodayCaption(setup.TodayCaption);
}
