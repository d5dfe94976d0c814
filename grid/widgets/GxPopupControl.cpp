// Drop-down windows of the family's edits.
#include "grid/widgets/GxPopupControl.h"
#include "grid/GxConvert.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWheelEvent>

// ---- item texts ---------------------------------------------------------------------------

QString ItemDisplayText(const QStringList& items, int index, TItemsDisplayMode mode) {
    if (index < 0 || index >= items.size())
        return QString();
    const QString& line = items[index];
    if (mode == dmDefault)
        return line;
    const qsizetype equals = line.indexOf(u'=');
    if (mode == dmNameList)
        return equals < 0 ? line : line.left(equals);
    return equals < 0 ? QString() : line.mid(equals + 1);
}

int ItemIndent(const QStringList& items, int index) {
    const QString name = ItemDisplayText(items, index, dmNameList);
    bool ok = false;
    const int units = name.trimmed().toInt(&ok);
    // Painting never raises: what is no count indents nothing, and no count overflows.
    return ok && units > 0 ? std::min(units, 100000) * 10 : 0;
}

// ---- mini button --------------------------------------------------------------------------

TGxMiniButton::TGxMiniButton(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void TGxMiniButton::SetDown(bool value) {
    if (FDown != value) {
        FDown = value;
        update();
    }
}

void TGxMiniButton::SetHot(bool value) {
    if (FHot != value) {
        FHot = value;
        update();
    }
}

void TGxMiniButton::SetGlyph(const QPixmap& value) {
    FGlyph = value;
    update();
}

void TGxMiniButton::SetThemedStyle(int value) {
    FThemedStyle = value;
    update();
}

void TGxMiniButton::SetCaption(const QString& value) {
    FCaption = value;
    update();
}

void TGxMiniButton::paintEvent(QPaintEvent*) {
    QPainter canvas(this);
    const QRect area = rect();
    if (ThemesActive()) {
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = area;
        option.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
        option.state |= FDown ? QStyle::State_Sunken : QStyle::State_Raised;
        if (FHot)
            option.state |= QStyle::State_MouseOver;
        if (FThemedStyle == 1 && !FDown && !FHot)
            canvas.fillRect(area, palette().color(QPalette::Button));
        else
            style()->drawPrimitive(FThemedStyle == 1 ? QStyle::PE_PanelButtonTool
                                                     : QStyle::PE_PanelButtonCommand,
                                   &option, &canvas, this);
    } else if (FDown) {
        canvas.fillRect(area, ColorToQColor(clBtnFace, palette()));
        const QColor shadow = ColorToQColor(clBtnShadow, palette());
        Draw3DFrame(canvas, area, shadow, shadow);
    } else {
        DrawButtonFrame(canvas, area, false, palette());
    }
    const int shift = FDown ? 1 : 0;
    if (!FGlyph.isNull()) {
        canvas.drawPixmap((width() - FGlyph.width()) / 2 + shift, (height() - FGlyph.height()) / 2 + shift,
                          FGlyph);
        return;
    }
    canvas.setPen(palette().color(isEnabled() ? QPalette::ButtonText : QPalette::PlaceholderText));
    canvas.drawText(area.translated(shift, shift), Qt::AlignCenter, FCaption);
}

// ---- calendar buttons ---------------------------------------------------------------------

TGxCalendarButtons::TGxCalendarButtons(QWidget* parent)
    : FToday(new TGxMiniButton(parent)), FNone(new TGxMiniButton(parent)) {
    FToday->setObjectName(QStringLiteral("TodayButton"));
    FNone->setObjectName(QStringLiteral("NoneButton"));
    FToday->SetTag(0);
    FNone->SetTag(1);
    FToday->SetCaption(QStringLiteral("Today"));
    FNone->SetCaption(QStringLiteral("None"));
    Place(CalendarWidth, true);
}

void TGxCalendarButtons::Place(int width, bool showNone) {
    FToday->setGeometry(CalendarTodayButtonLeft(width, showNone), CalendarButtonTop, CalendarButtonWidth,
                        CalendarButtonHeight);
    FNone->setGeometry(CalendarNoneLeft, CalendarButtonTop, CalendarButtonWidth, CalendarButtonHeight);
    FToday->show();
    FNone->setVisible(showNone);
}

TGxMiniButton* TGxCalendarButtons::At(const QPoint& point) const {
    for (TGxMiniButton* button : {FToday.data(), FNone.data()})
        if (button && !button->isHidden() && button->geometry().contains(point))
            return button;
    return nullptr;
}

bool TGxCalendarButtons::Press(const QPoint& point) {
    FPressed = At(point);
    if (FPressed)
        FPressed->SetDown(true);
    return FPressed != nullptr;
}

void TGxCalendarButtons::Move(const QPoint& point) {
    TGxMiniButton* over = At(point);
    for (TGxMiniButton* button : {FToday.data(), FNone.data()}) {
        button->SetHot(button == over);
        if (button == FPressed)
            button->SetDown(button == over);
    }
}

int TGxCalendarButtons::Release(const QPoint& point) {
    TGxMiniButton* pressed = FPressed;
    FPressed = nullptr;
    if (!pressed)
        return -1;
    pressed->SetDown(false);
    return At(point) == pressed ? pressed->Tag() : -1;
}

// ---- pop-up window ------------------------------------------------------------------------

TGxPopupControl::TGxPopupControl(QWidget* owner) : TGxControl(owner), FOwnerEdit(owner) {
    // A top-level window above the others that the window manager leaves alone and that is
    // never activated, so it stands where it is put and the edit keeps the keyboard (Qt::Popup
    // and Qt::Tool windows would take it).
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus |
                   Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    resize(80, 50);
    FHoldCheck.setInterval(100);
    connect(&FHoldCheck, &QTimer::timeout, this, [this] { CheckHold(); });
    FAppState =
        connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive)
                CloseUp();
        });
}

TGxPopupControl::~TGxPopupControl() {
    disconnect(FAppState);
    if (QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
}

QPoint TGxPopupControl::FitIntoScreen(const QRect& rect) {
    QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (!screen) {
        // The nearest screen by the distance of the window's centre to its area.
        qint64 best = -1;
        for (QScreen* candidate : QGuiApplication::screens()) {
            const QRect area = candidate->geometry();
            const int dx = std::max({area.left() - rect.center().x(), 0, rect.center().x() - area.right()});
            const int dy = std::max({area.top() - rect.center().y(), 0, rect.center().y() - area.bottom()});
            const qint64 distance = qint64(dx) * dx + qint64(dy) * dy;
            if (best < 0 || distance < best) {
                best = distance;
                screen = candidate;
            }
        }
    }
    if (!screen)
        return rect.topLeft();
    const QRect area = screen->availableGeometry();
    // Edges one past the last pixel, as the rectangle's are.
    const int areaRight = area.x() + area.width();
    const int areaBottom = area.y() + area.height();
    QPoint place = rect.topLeft();
    if (areaRight < rect.x() + rect.width())
        place.setX(areaRight - rect.width());
    else if (rect.x() < area.x())
        place.setX(area.x());
    if (areaBottom < rect.y() + rect.height())
        place.setY(areaBottom - rect.height());
    else if (rect.y() < area.y())
        place.setY(area.y());
    return place;
}

void TGxPopupControl::PopupAt(int x, int y) {
    move(FitIntoScreen(QRect(x, y, width(), height())));
    // The release of the press that opened the window only arms it; opened by a key, the next
    // click counts at once.
    FArmed = QGuiApplication::mouseButtons() == Qt::NoButton;
    FClosed = false;
    show();
    raise();
    viewport()->update();
    viewport()->grabMouse();
    FHoldCheck.start();
}

void TGxPopupControl::CloseUp() {
    if (FClosed)
        return;
    FClosed = true;
    FArmed = false;
    FHoldCheck.stop();
    if (QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
    BarMouseRelease();
    hide();
    if (OnCloseUp)
        OnCloseUp(this);
}

void TGxPopupControl::CheckHold() {
    // Whoever took the grab, the edit's focus or the application's activation ends the drop-down.
    if (FClosed)
        return;
    const bool grabbed = QWidget::mouseGrabber() == viewport();
    const bool focused = !FOwnerEdit || FOwnerEdit->hasFocus();
    if (!grabbed || !focused || QGuiApplication::applicationState() != Qt::ApplicationActive)
        CloseUp();
}

void TGxPopupControl::Select(const QString& text) {
    if (OnSelect)
        OnSelect(this, text);
}

void TGxPopupControl::mousePressEvent(QMouseEvent* event) {
    if (FClosed)
        return;
    FArmed = true;
    const QPoint point = event->position().toPoint();
    if (viewport()->rect().contains(point) && event->button() == Qt::LeftButton)
        PopupPress(point);
}

void TGxPopupControl::mouseMoveEvent(QMouseEvent* event) {
    if (!FClosed)
        PopupMove(event->position().toPoint());
}

void TGxPopupControl::mouseReleaseEvent(QMouseEvent* event) {
    if (FClosed)
        return;
    const QPoint point = event->position().toPoint();
    if (!FArmed) {
        FArmed = true;
        viewport()->grabMouse();
        return;
    }
    if (BarMouseRelease())
        return;
    if (!viewport()->rect().contains(point)) {
        CloseUp();
        return;
    }
    if (event->button() == Qt::LeftButton)
        PopupRelease(point);
}

void TGxPopupControl::hideEvent(QHideEvent* event) {
    TGxControl::hideEvent(event);
    // Hidden by anyone: the drop-down is closed and holds nothing.
    CloseUp();
}

// ---- string list --------------------------------------------------------------------------

TGxPopupList::TGxPopupList(QWidget* owner) : TGxPopupControl(owner) {
    VertScrollBar().SetSmallChange(1);
}

void TGxPopupList::SetItems(const QStringList& value) {
    FItems = value;
    if (FItemIndex >= FItems.size())
        FItemIndex = -1;
    FHotIndex = -1;
    UpdateScrollBar();
    viewport()->update();
}

void TGxPopupList::SetImages(const QList<QPixmap>& value) {
    FImages = value;
    viewport()->update();
}

void TGxPopupList::SetShowImages(bool value) {
    FShowImages = value;
    viewport()->update();
}

void TGxPopupList::SetDisplayMode(TItemsDisplayMode value) {
    FDisplayMode = value;
    viewport()->update();
}

void TGxPopupList::SetRowHeight(int value) {
    FRowHeight = std::max(value, 1);
    UpdateScrollBar();
    viewport()->update();
}

void TGxPopupList::SetDropDownCount(int value) {
    FDropDownCount = value;
    UpdateScrollBar();
}

void TGxPopupList::SetHighlightColor(TColor value) {
    FHighlightColor = value;
    viewport()->update();
}

void TGxPopupList::SetHighlightTextColor(TColor value) {
    FHighlightTextColor = value;
    viewport()->update();
}

void TGxPopupList::SetBackgroundColor(TColor value) {
    FBackgroundColor = value;
    viewport()->update();
}

void TGxPopupList::SetDrawStyle(TDrawingOptions value) {
    FDrawStyle = value;
    viewport()->update();
}

int TGxPopupList::VisibleRowCount() const {
    return ContentRect().height() / FRowHeight;
}

void TGxPopupList::UpdateScrollBar() {
    TGxVertScrollBar& bar = VertScrollBar();
    const int visible = VisibleRowCount();
    bar.SetLargeChange(std::max(visible, 1));
    bar.SetMax(std::max(int(FItems.size()) - visible, 0));
    // Shown by the list's own rule, not the bar's page rule.
    bar.SetVisible(FItems.size() > FDropDownCount);
    UpdateBarBounds();
    KeepInView(FItemIndex);
}

QRect TGxPopupList::RowRect(int index) const {
    const QRect content = ContentRect();
    return QRect(content.left(), content.top() + (index - VertScrollBar().Position()) * FRowHeight,
                 content.width(), FRowHeight);
}

int TGxPopupList::RowAt(const QPoint& point) const {
    if (!ContentRect().contains(point))
        return -1;
    const int row = (point.y() - 2) / FRowHeight + VertScrollBar().Position();
    return row >= 0 && row < FItems.size() ? row : -1;
}

void TGxPopupList::KeepInView(int index) {
    if (index < 0)
        return;
    TGxVertScrollBar& bar = VertScrollBar();
    const int visible = std::max(VisibleRowCount(), 1);
    if (index < bar.Position())
        bar.SetPosition(index);
    else if (index >= bar.Position() + visible)
        bar.SetPosition(index - visible + 1);
}

void TGxPopupList::SetItemIndex(int value) {
    if (value < -1 || value >= FItems.size())
        value = -1;
    FItemIndex = value;
    KeepInView(value);
    viewport()->update();
}

void TGxPopupList::MoveSelection(int delta) {
    if (FItems.isEmpty())
        return;
    const int from = FHotIndex >= 0 ? FHotIndex : FItemIndex;
    FHotIndex = -1;
    SetItemIndex(std::clamp(from < 0 ? (delta > 0 ? 0 : int(FItems.size()) - 1) : from + delta, 0,
                            int(FItems.size()) - 1));
}

void TGxPopupList::ScrollBy(int rows) {
    VertScrollBar().SetPosition(VertScrollBar().Position() + rows);
}

void TGxPopupList::SetHotIndex(int value) {
    if (value == FHotIndex)
        return;
    if (FHotIndex >= 0)
        viewport()->update(RowRect(FHotIndex));
    FHotIndex = value;
    if (FHotIndex >= 0)
        viewport()->update(RowRect(FHotIndex));
    if (FItemIndex >= 0)
        viewport()->update(RowRect(FItemIndex));
}

void TGxPopupList::PaintRow(QPainter& canvas, int index, const QRect& rect, bool selected) {
    const QPalette& p = palette();
    const bool fill = FDrawStyle != doCustomOnly;
    if (fill)
        canvas.fillRect(rect, ColorToQColor(selected ? FHighlightColor : FBackgroundColor, p));
    if (FDrawStyle == doNormal || FDrawStyle == doCustom) {
        int left = rect.left() + 2;
        if (FShowImages && index < FImages.size() && !FImages[index].isNull()) {
            const QPixmap& image = FImages[index];
            canvas.drawPixmap(rect.left() + 1, rect.top() + (rect.height() - image.height()) / 2, image);
            left = rect.left() + 1 + image.width() + 2;
        }
        if (FDisplayMode == dmIndentList)
            left += ItemIndent(FItems, index);
        canvas.setPen(selected ? ColorToQColor(FHighlightTextColor, p) : p.color(QPalette::Text));
        canvas.drawText(QRect(left, rect.top(), std::max(rect.right() + 1 - left, 0), rect.height()),
                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, RowText(index));
    }
    if (FDrawStyle != doNormal && OnDrawItem)
        OnDrawItem(this, canvas, index, selected, rect);
}

void TGxPopupList::PaintContent(QPainter& canvas) {
    const QRect content = ContentRect();
    canvas.save();
    canvas.setClipRect(content);
    canvas.setFont(font());
    const int highlighted = FHotIndex >= 0 ? FHotIndex : FItemIndex;
    int row = VertScrollBar().Position();
    int y = content.top();
    for (; row < FItems.size() && y <= content.bottom(); ++row, y += FRowHeight)
        PaintRow(canvas, row, QRect(content.left(), y, content.width(), FRowHeight), row == highlighted);
    if (y <= content.bottom())
        canvas.fillRect(QRect(content.left(), y, content.width(), content.bottom() + 1 - y),
                        ColorToQColor(FBackgroundColor, palette()));
    canvas.restore();
}

void TGxPopupList::PopupPress(const QPoint& point) {
    if (BarMousePress(point))
        return;
    SetHotIndex(RowAt(point));
}

void TGxPopupList::PopupMove(const QPoint& point) {
    if (BarMouseMove(point) || !ContentRect().contains(point))
        return;
    SetHotIndex(RowAt(point));
}

void TGxPopupList::PopupRelease(const QPoint& point) {
    const int row = RowAt(point);
    if (row < 0)
        return;
    FItemIndex = row;
    Select(FItems[row]);
}

void TGxPopupList::wheelEvent(QWheelEvent* event) {
    FWheelRest += event->angleDelta().y();
    while (FWheelRest >= 120) {
        FWheelRest -= 120;
        ScrollBy(-1);
    }
    while (FWheelRest <= -120) {
        FWheelRest += 120;
        ScrollBy(1);
    }
    event->accept();
}

void TGxPopupList::resizeEvent(QResizeEvent* event) {
    TGxPopupControl::resizeEvent(event);
    UpdateScrollBar();
}

// ---- calendar -----------------------------------------------------------------------------

TGxDatePopup::TGxDatePopup(QWidget* owner) : TGxPopupControl(owner), FButtons(viewport()) {
    resize(CalendarWidth, CalendarHeight);
    FSheet.ShowDate(QDate::currentDate());
}

void TGxDatePopup::SetDate(const QDate& value) {
    FSheet.ShowDate(ClampCalendarDate(value));
    viewport()->update();
}

void TGxDatePopup::SetSelectedDate(double value) {
    FSelectedDate = value;
    viewport()->update();
}

void TGxDatePopup::SetShowNoneButton(bool value) {
    FShowNone = value;
    FButtons.Place(width(), value);
}

void TGxDatePopup::resizeEvent(QResizeEvent* event) {
    TGxPopupControl::resizeEvent(event);
    FSheet.Width = width();
    FSheet.Height = height();
    FButtons.Place(FSheet.Width, FShowNone);
}

void TGxDatePopup::PaintContent(QPainter& canvas) {
    FSheet.Width = width();
    FSheet.Height = height();
    const QDate shown = FDragging && FHotDate.isValid()
                            ? FHotDate
                            : (FSelectedDate != 0 ? DateOfDateTime(FSelectedDate) : QDate());
    FSheet.Paint(canvas, viewport(), shown, nullptr);
}

void TGxDatePopup::SetHotDate(const QDate& value) {
    if (value == FHotDate)
        return;
    for (const QDate& date : {FHotDate, value})
        if (const int cell = FSheet.CellOfDate(date); cell >= 0)
            viewport()->update(TGxCalendarSheet::CellRect(cell));
    FHotDate = value;
}

void TGxDatePopup::PopupPress(const QPoint& point) {
    FSheet.Width = width();
    FSheet.Height = height();
    if (FButtons.Press(point))
        return;
    if (FSheet.PrevArrowArea().contains(point) || FSheet.NextArrowArea().contains(point)) {
        FSheet.StepMonth(FSheet.PrevArrowArea().contains(point) ? -1 : 1);
        viewport()->update();
        return;
    }
    if (!FSheet.DayArea().contains(point))
        return;
    FDragging = true;
    const int cell = TGxCalendarSheet::CellAt(point);
    SetHotDate(cell >= 0 ? FSheet.CellDate(cell) : QDate());
}

void TGxDatePopup::PopupMove(const QPoint& point) {
    if (FButtons.Pressing()) {
        FButtons.Move(point);
        return;
    }
    FButtons.Move(point);
    if (!FDragging)
        return;
    const int cell = TGxCalendarSheet::CellAt(point);
    SetHotDate(cell >= 0 ? FSheet.CellDate(cell) : QDate());
}

void TGxDatePopup::SelectDay(const QDate& date) {
    FSelectedDate = date.isValid() ? DateTimeOfDate(date) : 0;
    if (date.isValid())
        FSheet.ShowDate(date);
    viewport()->update();
    Select(date.isValid() ? DateTimeToText(FSelectedDate, FSheet.Locale, true) : QString());
}

void TGxDatePopup::PopupRelease(const QPoint& point) {
    const bool wasDragging = FDragging;
    FDragging = false;
    const int tag = FButtons.Release(point);
    if (tag == 0) {
        SelectDay(QDate::currentDate());
        return;
    }
    if (tag == 1) {
        SelectDay(QDate());
        return;
    }
    if (!wasDragging)
        return;
    const int cell = TGxCalendarSheet::CellAt(point);
    SetHotDate(QDate());
    viewport()->update();
    // Between or below the painted cells nothing is chosen.
    if (cell >= 0 && FSheet.DayArea().contains(point))
        SelectDay(FSheet.CellDate(cell));
}
