// The status bar's panels, their widths and layout, the painting of every panel and the mouse.
#include "desktop/StatusBarEx.h"

#include "core/ExceptionGuard.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSizeGrip>
#include <QStatusTipEvent>
#include <QToolTip>

#include <algorithm>

// ---- TStatusPanelPro ----

TStatusPanelPro::TStatusPanelPro(TStatusPanelsPro& Owner) : FOwner(Owner) {}

TStatusPanelPro::~TStatusPanelPro() = default;

TStatusBarPro& TStatusPanelPro::Bar() const {
    return FOwner.Bar();
}

int TStatusPanelPro::Index() const {
    return FOwner.IndexOf(*this);
}

void TStatusPanelPro::Changed(bool Relayout) {
    FNeedsRefresh = true;
    Bar().PanelChanged(*this, Relayout);
}

void TStatusPanelPro::SetText(const QString& Value) {
    if (Value == FText)
        return;
    FText = Value;
    Changed(FAutoWidth);
}

void TStatusPanelPro::SetImageIndex(int Value) {
    if (Value == FImageIndex)
        return;
    FImageIndex = Value;
    Changed(FAutoWidth);
}

void TStatusPanelPro::SetWidth(int Value) {
    if (FAutoSize || FAutoWidth)
        return;
    const int width = std::clamp(Value, FMinWidth, std::max(FMinWidth, FMaxWidth));
    if (width == FWidth)
        return;
    FWidth = width;
    Changed(true);
}

void TStatusPanelPro::SetMinWidth(int Value) {
    FMinWidth = Value;
    if (!FAutoSize && !FAutoWidth)
        FWidth = std::max(FWidth, FMinWidth);
    Changed(true);
}

void TStatusPanelPro::SetMaxWidth(int Value) {
    FMaxWidth = Value;
    if (!FAutoSize && !FAutoWidth)
        FWidth = std::clamp(FWidth, FMinWidth, std::max(FMinWidth, FMaxWidth));
    Changed(true);
}

void TStatusPanelPro::SetAutoWidth(bool Value) {
    FAutoWidth = Value;
    if (Value)
        FAutoSize = false;
    Changed(true);
}

void TStatusPanelPro::SetAutoSize(bool Value) {
    FAutoSize = Value;
    if (Value)
        FAutoWidth = false;
    else
        FWidth = std::clamp(FWidth, FMinWidth, std::max(FMinWidth, FMaxWidth));
    Changed(true);
}

TColor TStatusPanelPro::Color() const {
    return FParentColor ? Bar().Color() : FColor;
}

void TStatusPanelPro::SetColor(TColor Value) {
    FColor = Value;
    FParentColor = false;
    Changed(false);
}

void TStatusPanelPro::SetParentColor(bool Value) {
    FParentColor = Value;
    Changed(false);
}

QFont TStatusPanelPro::Font() const {
    return FParentFont ? Bar().BarFont() : FFont;
}

TColor TStatusPanelPro::FontColor() const {
    return FParentFont ? Bar().BarFontColor() : FFontColor;
}

void TStatusPanelPro::SetFont(const QFont& Value) {
    if (FParentFont)
        FFontColor = Bar().BarFontColor();
    FFont = Value;
    FParentFont = false;
    Changed(FAutoWidth);
}

void TStatusPanelPro::SetFontColor(TColor Value) {
    if (!FParentFont && FFontColor == Value)
        return;
    if (FParentFont)
        FFont = Bar().BarFont();
    FFontColor = Value;
    FParentFont = false;
    Changed(false);
}

void TStatusPanelPro::SetParentFont(bool Value) {
    FParentFont = Value;
    Changed(FAutoWidth);
}

void TStatusPanelPro::SetAlignment(Qt::Alignment Value) {
    FAlignment = Value & Qt::AlignHorizontal_Mask;
    Changed(false);
}

void TStatusPanelPro::SetBevel(TStatusPanelBevel Value) {
    FBevel = Value;
    Changed(false);
}

bool TStatusPanelPro::RightToLeft() const {
    return FParentBiDiMode ? Bar().layoutDirection() == Qt::RightToLeft : FRightToLeft;
}

void TStatusPanelPro::SetRightToLeft(bool Value) {
    FRightToLeft = Value;
    FParentBiDiMode = false;
    Changed(false);
}

void TStatusPanelPro::SetParentBiDiMode(bool Value) {
    FParentBiDiMode = Value;
    Changed(false);
}

void TStatusPanelPro::SetIndent(int Value) {
    FIndent = Value;
    Changed(FAutoWidth);
}

void TStatusPanelPro::SetStyle(TStatusPanelStyle Value) {
    FStyle = Value;
    Changed(false);
}

void TStatusPanelPro::SetControl(QWidget* Value) {
    if (Value == FControl)
        return;
    if (Value) {
        Bar().ReleaseControl(Value, this);
        Value->setParent(&Bar());
        Value->show();
    }
    FControl = Value;
    Changed(false);
    Bar().PlaceControls();
}

// ---- TStatusPanelsPro ----

TStatusPanelPro& TStatusPanelsPro::Add() {
    return Insert(Count());
}

TStatusPanelPro& TStatusPanelsPro::Insert(int Index) {
    const int at = std::clamp(Index, 0, Count());
    auto& panel = **FItems.insert(FItems.begin() + at, std::make_unique<TStatusPanelPro>(*this));
    FBar.UpdatePanels();
    return panel;
}

void TStatusPanelsPro::Delete(int Index) {
    if (Index < 0 || Index >= Count())
        return;
    FItems.erase(FItems.begin() + Index);
    FBar.UpdatePanels();
}

void TStatusPanelsPro::Clear() {
    FItems.clear();
    FBar.UpdatePanels();
}

int TStatusPanelsPro::IndexOf(const TStatusPanelPro& Panel) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == &Panel)
            return int(i);
    return -1;
}

void TStatusPanelsPro::Reverse() {
    std::reverse(FItems.begin(), FItems.end());
    FBar.UpdatePanels();
}

void TStatusPanelsPro::Update(TStatusPanelPro* Item) {
    if (Item) {
        Item->Changed(false);
        return;
    }
    for (auto& panel : FItems)
        panel->FNeedsRefresh = true;
    FBar.UpdatePanels();
}

// ---- TStatusBarPro ----

TStatusBarPro::TStatusBarPro(QWidget* parent)
    : QWidget(parent), FPanels(std::make_unique<TStatusPanelsPro>(*this)), FGrip(new QSizeGrip(this)) {
    setObjectName(QStringLiteral("StatusBar1"));
    setFixedHeight(BarHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
    PlaceGrip();
}

TStatusBarPro::~TStatusBarPro() {
    if (FTipWindow)
        FTipWindow->removeEventFilter(this);
    FPanels.reset();
}

QSize TStatusBarPro::sizeHint() const {
    return QSize(200, BarHeight);
}

void TStatusBarPro::SetPanel(int Index, const QString& Text, TColor FontColor) {
    if (Index < 0 || Index >= FPanels->Count())
        return;
    TStatusPanelPro& panel = FPanels->Items(Index);
    panel.SetText(Text);
    panel.SetFontColor(FontColor);
}

void TStatusBarPro::SetImages(const TStatusImageList* Value) {
    FImages = Value;
    UpdatePanels();
}

void TStatusBarPro::SetSimplePanel(bool Value) {
    FSimplePanel = Value;
    UpdatePanels();
}

void TStatusBarPro::SetSimpleText(const QString& Value) {
    if (Value == FSimpleText)
        return;
    FSimpleText = Value;
    if (FSimplePanel || FPanels->Count() == 0)
        update();
}

void TStatusBarPro::SetSizeGrip(bool Value) {
    FSizeGrip = Value;
    PlaceGrip();
    UpdatePanels();
}

void TStatusBarPro::SetUseSystemFont(bool Value) {
    FUseSystemFont = Value;
    UpdatePanels();
}

QFont TStatusBarPro::BarFont() const {
    return FUseSystemFont ? QToolTip::font() : FFont;
}

void TStatusBarPro::SetBarFont(const QFont& Value) {
    FFont = Value;
    FUseSystemFont = false;
    UpdatePanels();
}

void TStatusBarPro::SetBarFontColor(TColor Value) {
    FFontColor = Value;
    UpdatePanels();
}

void TStatusBarPro::SetColor(TColor Value) {
    FColor = Value;
    update();
}

void TStatusBarPro::SetAutoHint(bool Value) {
    FAutoHint = Value;
    WatchStatusTips();
}

void TStatusBarPro::SetAutoHintPanelIndex(int Value) {
    if (Value >= 0 && Value < FPanels->Count())
        FAutoHintPanelIndex = Value;
}

void TStatusBarPro::ShowAutoHint(const QString& Hint) {
    if (OnHint && OnHint(*this, Hint))
        return;
    QString text = Hint;
    text.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (FSimplePanel || FPanels->Count() == 0 || FAutoHintPanelIndex >= FPanels->Count())
        SetSimpleText(text);
    else
        FPanels->Items(FAutoHintPanelIndex).SetText(text);
}

void TStatusBarPro::WatchStatusTips() {
    QWidget* target = FAutoHint ? window() : nullptr;
    if (target == FTipWindow)
        return;
    if (FTipWindow)
        FTipWindow->removeEventFilter(this);
    FTipWindow = target;
    if (target)
        target->installEventFilter(this);
}

bool TStatusBarPro::eventFilter(QObject* watched, QEvent* event) {
    if (FAutoHint && watched == FTipWindow && event->type() == QEvent::StatusTip) {
        Guarded("TStatusBarPro.AutoHint", [&] { ShowAutoHint(static_cast<QStatusTipEvent*>(event)->tip()); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

int TStatusBarPro::ImageWidthOf(const TStatusPanelPro& Panel) const {
    const bool shown = FImages && Panel.ImageIndex() >= 0 && Panel.ImageIndex() < FImages->Images.size();
    return shown ? FImages->Size.width() : 0;
}

int TStatusBarPro::AutoWidthOf(const TStatusPanelPro& Panel) const {
    int width = QFontMetrics(Panel.Font()).horizontalAdvance(Panel.Text()) + 2 * Panel.Indent() + 2;
    if (const int image = ImageWidthOf(Panel); image > 0)
        width += image + 2;
    return std::min(std::max(width, Panel.MinWidth()), std::max(Panel.MinWidth(), Panel.MaxWidth()));
}

std::vector<int> TStatusBarPro::PanelWidths() const {
    const int count = std::min(FPanels->Count(), MaxPanels);
    std::vector<int> widths(size_t(count), 0);
    int available = width() - (FSizeGrip ? GripWidth : 0);
    int shared = 0;
    for (int i = 0; i < count; ++i) {
        const TStatusPanelPro& panel = FPanels->Items(i);
        if (panel.AutoSize()) {
            ++shared;
            continue;
        }
        widths[size_t(i)] = panel.AutoWidth() ? AutoWidthOf(panel) : panel.Width();
        available -= widths[size_t(i)];
    }
    const int share = shared > 0 && available > 0 ? available / shared : 0;
    for (int i = 0; i < count; ++i)
        if (FPanels->Items(i).AutoSize())
            widths[size_t(i)] = share;
    return widths;
}

QRect TStatusBarPro::PanelRect(int Index) const {
    const int count = std::min(FPanels->Count(), MaxPanels);
    if (FSimplePanel || Index < 0 || Index >= count)
        return QRect();
    const std::vector<int> widths = PanelWidths();
    int left = 0;
    for (int i = 0; i < Index; ++i)
        left += widths[size_t(i)];
    // The last panel reaches to the end of the bar.
    const int right = Index == count - 1 ? width() : left + widths[size_t(Index)];
    if (right <= left)
        return QRect();
    return QRect(left, 0, right - left, height());
}

QRect TStatusBarPro::PanelDrawRect(int Index) const {
    QRect rect = PanelRect(Index);
    if (rect.isEmpty())
        return rect;
    rect.adjust(1, 1, -1, -1);
    if (FSizeGrip && Index == std::min(FPanels->Count(), MaxPanels) - 1)
        rect.setRight(rect.right() - GripWidth);
    return rect;
}

int TStatusBarPro::PanelAt(QPoint Pos) const {
    const int count = std::min(FPanels->Count(), MaxPanels);
    for (int i = 0; i < count; ++i)
        if (PanelRect(i).contains(Pos))
            return i;
    return -1;
}

TStatusPanelPro* TStatusBarPro::PanelOrNull(int Index) const {
    return Index >= 0 && Index < FPanels->Count() ? &FPanels->Items(Index) : nullptr;
}

void TStatusBarPro::PanelChanged(TStatusPanelPro& Panel, bool Relayout) {
    if (Relayout) {
        UpdatePanels();
        return;
    }
    const QRect rect = PanelRect(Panel.Index());
    if (!rect.isEmpty())
        update(rect);
}

void TStatusBarPro::UpdatePanels() {
    PlaceControls();
    update();
}

void TStatusBarPro::ReleaseControl(QWidget* Control, const TStatusPanelPro* Keeper) {
    for (int i = 0; i < FPanels->Count(); ++i) {
        TStatusPanelPro& panel = FPanels->Items(i);
        if (&panel != Keeper && panel.FControl == Control) {
            panel.FControl = nullptr;
            panel.FNeedsRefresh = true;
        }
    }
}

void TStatusBarPro::PlaceControls() {
    for (int i = 0; i < FPanels->Count(); ++i) {
        QWidget* control = FPanels->Items(i).Control();
        if (!control || control->parentWidget() != this)
            continue;
        const QRect rect = PanelDrawRect(i);
        control->setGeometry(rect);
        control->setVisible(!rect.isEmpty());
    }
}

void TStatusBarPro::PlaceGrip() {
    const QWidget* top = window();
    const bool sizeable = top == this || top->minimumSize() != top->maximumSize();
    const bool shown =
        FSizeGrip && sizeable && !(top->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    FGrip->setVisible(shown);
    FGrip->setGeometry(width() - GripWidth, 0, GripWidth, height());
    FGrip->raise();
}

void TStatusBarPro::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceGrip();
    UpdatePanels();
}

bool TStatusBarPro::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int index = PanelAt(help->pos());
        QString hint = index >= 0 ? FPanels->Items(index).Hint() : QString();
        if (hint.isEmpty())
            hint = toolTip();
        if (hint.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), hint, this, index >= 0 ? PanelRect(index) : rect());
        }
        return true;
    }
    case QEvent::ParentChange:
    case QEvent::Show:
        WatchStatusTips();
        PlaceGrip();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TStatusBarPro::mousePressEvent(QMouseEvent* event) {
    FMousePanel = PanelAt(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void TStatusBarPro::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    Guarded("TStatusBarPro.Click", [&] {
        TStatusPanelPro* panel = PanelOrNull(FMousePanel);
        if (panel && panel->OnClick)
            panel->OnClick(*panel);
        else if (OnClick)
            OnClick(*this);
    });
}

void TStatusBarPro::mouseDoubleClickEvent(QMouseEvent* event) {
    FMousePanel = PanelAt(event->position().toPoint());
    Guarded("TStatusBarPro.DblClick", [&] {
        TStatusPanelPro* panel = PanelOrNull(FMousePanel);
        if (panel && panel->OnDblClick)
            panel->OnDblClick(*panel);
        else if (OnDblClick)
            OnDblClick(*this);
    });
}

void TStatusBarPro::mouseMoveEvent(QMouseEvent* event) {
    const int index = PanelAt(event->position().toPoint());
    if (index != FMousePanel) {
        // Another panel: its own hint, not the last one's.
        QToolTip::hideText();
        FMousePanel = index;
    }
    QWidget::mouseMoveEvent(event);
}

void TStatusBarPro::contextMenuEvent(QContextMenuEvent* event) {
    const int index = PanelAt(event->pos());
    TStatusPanelPro* panel = PanelOrNull(index);
    Guarded("TStatusBarPro.ContextPopup", [&] {
        bool handled = false;
        if (panel && panel->OnContextPopup)
            panel->OnContextPopup(*panel, event->pos(), handled);
        if (!handled && OnContextPopup)
            OnContextPopup(*this, event->pos(), handled);
        if (handled)
            return;
        QMenu* menu = panel && panel->PopupMenu() ? panel->PopupMenu() : FPopupMenu.data();
        if (!menu)
            return;
        if (panel && panel->PopupMenu())
            menu->setLayoutDirection(panel->RightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
        menu->popup(event->globalPos());
    });
    event->accept();
}

void TStatusBarPro::FlipChildren() {
    const int count = FPanels->Count();
    if (count == 0)
        return;
    const std::vector<int> widths = PanelWidths();
    int lastWidth = width();
    for (int i = 0; i + 1 < int(widths.size()); ++i)
        lastWidth -= widths[size_t(i)];
    const int firstWidth = FPanels->Items(0).Width();
    FPanels->Reverse();
    FPanels->Items(0).SetWidth(lastWidth);
    FPanels->Items(count - 1).SetWidth(firstWidth);
}

void TStatusBarPro::DrawBevel(QPainter& Painter, const QRect& Rect, TStatusPanelBevel Bevel) const {
    if (Bevel == pbNone)
        return;
    const QColor shadow = palette().color(QPalette::Mid);
    const QColor light = palette().color(QPalette::Light);
    const QColor topLeft = Bevel == pbLowered ? shadow : light;
    const QColor bottomRight = Bevel == pbLowered ? light : shadow;
    Painter.setPen(topLeft);
    Painter.drawLine(Rect.topLeft(), Rect.topRight());
    Painter.drawLine(Rect.topLeft(), Rect.bottomLeft());
    Painter.setPen(bottomRight);
    Painter.drawLine(Rect.bottomLeft(), Rect.bottomRight());
    Painter.drawLine(Rect.topRight(), Rect.bottomRight());
}

void TStatusBarPro::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorToQColor(FColor, palette()));
    painter.setFont(BarFont());
    painter.setBrush(ColorToQColor(FColor, palette()));
    if (FSimplePanel || FPanels->Count() == 0) {
        QRect area = rect().adjusted(0, 0, FSizeGrip ? -GripWidth : 0, 0);
        DrawBevel(painter, area, pbLowered);
        area.adjust(3, 1, -1, -1);
        painter.setPen(ColorToQColor(FFontColor, palette()));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, FSimpleText);
        return;
    }
    const int count = std::min(FPanels->Count(), MaxPanels);
    for (int i = 0; i < count; ++i) {
        TStatusPanelPro& panel = FPanels->Items(i);
        const QRect place = PanelRect(i);
        const QRect area = PanelDrawRect(i);
        if (place.isEmpty())
            continue;
        DrawBevel(painter, place, panel.Bevel());
        if (area.isEmpty())
            continue;
        painter.save();
        painter.setClipRect(area);
        Guarded("TStatusBarPro.DrawPanel", [&] { DrawPanel(painter, panel, area); });
        painter.restore();
        panel.FNeedsRefresh = false;
    }
}

void TStatusBarPro::DrawPanel(QPainter& Painter, TStatusPanelPro& Panel, const QRect& Rect) {
    if (Panel.Style() == psOwnerDraw && OnDrawPanel) {
        OnDrawPanel(*this, Panel, Painter, Rect);
        return;
    }
    const bool rtl = Panel.RightToLeft();
    Qt::Alignment alignment = Panel.Alignment();
    if (rtl && alignment == Qt::AlignLeft)
        alignment = Qt::AlignRight;
    else if (rtl && alignment == Qt::AlignRight)
        alignment = Qt::AlignLeft;
    const int imageWidth = ImageWidthOf(Panel);
    const QFont font = Panel.Font();
    const QFontMetrics metrics(font);
    const int textWidth = metrics.horizontalAdvance(Panel.Text());
    const int left = Rect.left();
    const int right = Rect.left() + Rect.width();
    int x = 0;
    if (alignment == Qt::AlignRight)
        x = right - imageWidth - Panel.Indent() - 1;
    else if (alignment == Qt::AlignHCenter)
        x = rtl ? left + (imageWidth + textWidth + Rect.width()) / 2 - imageWidth
                : left + (Rect.width() - imageWidth - textWidth) / 2;
    else
        x = left + Panel.Indent() + 1;
    Painter.fillRect(Rect, ColorToQColor(Panel.Color(), palette()));
    if (imageWidth > 0) {
        const QPixmap& image = FImages->Images[Panel.ImageIndex()];
        Painter.drawPixmap(x, Rect.top() + (Rect.height() - FImages->Size.height()) / 2, image);
    }
    const bool textRight = alignment == Qt::AlignRight || (alignment == Qt::AlignHCenter && rtl);
    x += textRight ? -2 : imageWidth + 2;
    if (Panel.Text().isEmpty())
        return;
    Painter.setFont(font);
    Painter.setPen(ColorToQColor(Panel.FontColor(), palette()));
    if (textRight)
        x -= textWidth;
    const int y = Rect.top() + (Rect.height() - metrics.height()) / 2;
    Painter.setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    Painter.drawText(x, y + metrics.ascent(), Panel.Text());
}
