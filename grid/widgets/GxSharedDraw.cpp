// Drawing kit of the table control family.
#include "grid/widgets/GxSharedDraw.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPaintEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

// ---- edges --------------------------------------------------------------------------------

void GxLine(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& color) {
    const int dx = (x2 > x1) - (x2 < x1);
    const int dy = (y2 > y1) - (y2 < y1);
    if (dx == 0 && dy == 0)
        return;
    if (dy == 0) { // horizontal: one fill
        canvas.fillRect(GxRect(std::min(x1, x2 + 1), y1, std::max(x1 + 1, x2), y1 + 1), color);
        return;
    }
    if (dx == 0) {
        canvas.fillRect(GxRect(x1, std::min(y1, y2 + 1), x1 + 1, std::max(y1 + 1, y2)), color);
        return;
    }
    const int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
    for (int i = 0; i < steps; ++i)
        canvas.fillRect(QRect(x1 + dx * i, y1 + dy * i, 1, 1), color);
}

void GxPolyline(QPainter& canvas, const QPoint* points, int count, const QColor& color) {
    for (int i = 0; i + 1 < count; ++i)
        GxLine(canvas, points[i].x(), points[i].y(), points[i + 1].x(), points[i + 1].y(), color);
}

// ---- colours ------------------------------------------------------------------------------

namespace {

// System colour index -> palette role. Where a system colour has no role of its own it takes
// the nearest one (the desktop and borders the window colour, captions the highlight).
const TSystemColorRole kSystemRoles[SystemColorCount] = {
    {QPalette::Active, QPalette::Button},          // 0 scroll bar
    {QPalette::Active, QPalette::Window},          // 1 background
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Active, QPalette::Mid},             // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 window
    {QPalette::Active, QPalette::Shadow},          // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::Text},            // 8 window text
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Window},          // 10 active border
    {QPalette::Active, QPalette::Window},          // 11 inactive border
    {QPalette::Active, QPalette::Mid},             // 12 application work space
    {QPalette::Active, QPalette::Highlight},       // 13 highlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 highlight text
    {QPalette::Active, QPalette::Button},          // 15 button face
    {QPalette::Active, QPalette::Dark},            // 16 button shadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Disabled, QPalette::WindowText},    // 19 inactive caption text
    {QPalette::Active, QPalette::Light},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow},          // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText},     // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},     // 24 info background
    {QPalette::Active, QPalette::Button},          // 25 (unused)
    {QPalette::Active, QPalette::Link},            // 26 hot light
    {QPalette::Active, QPalette::Highlight},       // 27 gradient active caption
    {QPalette::Active, QPalette::Mid},             // 28 gradient inactive caption
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
};

QPalette ApplicationPalette() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::palette()
                                                                        : QPalette();
}

// Scheme 2 of the style colour table; the other schemes hold no colours.
const TColor kScheme2[StyleColorSlots] = {
    0,          0x00CE9266, 0x00CF9365, 0x00FFEFE3, 0x00F0D9C2, 0,          0x00FFFFFF, 0x00FFD2AF,
    0x00EEE7DD, 0x008B4215, 0x00FFC69A, 0x00FFD2AF, 0x00FFEFE3, 0x00CF9365, 0x00C9B0A7, 0,
    0,          0,          0x00E9CFB8, 0x00A2E7FF, 0x0069BDFF, 0x003C8CFB, 0x00FFEFE3, 0x00FFD6B6,
};

} // namespace

TSystemColorRole SystemColorRole(int index) {
    if (index < 0 || index >= SystemColorCount)
        return {QPalette::Active, QPalette::Window};
    return kSystemRoles[index];
}

QColor ColorToQColor(TColor color, const QPalette& palette) {
    if (color == clNone) {
        return QColor(Qt::transparent);
    }
    if (IsSystemColor(color)) {
        const TSystemColorRole role = SystemColorRole(color & 0xFF);
        return palette.color(role.Group, role.Role);
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QColor ColorToQColor(TColor color) {
    return ColorToQColor(color, ApplicationPalette());
}

TColor QColorToColor(const QColor& color) {
    return TColor(color.red() | (color.green() << 8) | (color.blue() << 16));
}

TColor ColorToRGB(TColor color, const QPalette& palette) {
    return IsSystemColor(color) ? QColorToColor(ColorToQColor(color, palette)) : (color & 0xFFFFFF);
}

TColor ColorToRGB(TColor color) {
    return IsSystemColor(color) ? ColorToRGB(color, ApplicationPalette()) : (color & 0xFFFFFF);
}

TColor StyleColor(int index, int scheme) {
    index %= 128;
    scheme %= 128;
    if (scheme == 0)
        scheme = CurrentColorScheme;
    if (index < 0 || index >= StyleColorSlots || scheme < 1 || scheme > StyleColorSchemes)
        return 0;
    return scheme == 2 ? kScheme2[index] : 0;
}

TColor Blend(TColor a, TColor b, int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    const uint32_t ca = uint32_t(ColorToRGB(a));
    const uint32_t cb = uint32_t(ColorToRGB(b));
    const uint32_t wa = uint32_t(alpha);
    const uint32_t wb = 255u - wa;
    // Red and blue share one product; the gap between them keeps them apart.
    const uint32_t redBlue = (((ca & 0xFF00FFu) * wa + (cb & 0xFF00FFu) * wb) >> 8) & 0xFF00FFu;
    const uint32_t green = (((ca & 0x00FF00u) * wa + (cb & 0x00FF00u) * wb) >> 8) & 0x00FF00u;
    return TColor(redBlue | green);
}

TColor MixColors(TColor a, TColor b, double fraction) {
    const TColor ca = ColorToRGB(a);
    const TColor cb = ColorToRGB(b);
    TColor result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double va = (ca >> shift) & 0xFF;
        const double vb = (cb >> shift) & 0xFF;
        const int v = std::clamp(int(std::lround(fraction * vb + (1 - fraction) * va)), 0, 255);
        result |= v << shift;
    }
    return result;
}

void VerticalGradient(QPainter& canvas, const QRect& rect, TColor topColor, TColor bottomColor) {
    const int height = rect.height();
    if (height <= 0 || rect.width() <= 0)
        return;
    for (int y = rect.top(); y < rect.top() + height; ++y) {
        const double fraction = double(y - rect.top()) / height;
        canvas.fillRect(QRect(rect.left(), y, rect.width(), 1),
                        ColorToQColor(MixColors(topColor, bottomColor, fraction)));
    }
}

uint8_t AlphaChannel(uint8_t src, uint8_t dst, uint8_t alpha) {
    const long v = std::lround(alpha * src / 255.0) + std::lround((1 - alpha / 255.0) * dst);
    return uint8_t(std::clamp(v, 0L, 255L));
}

void DrawGraphic(QPainter& canvas, int x, int y, const QImage& graphic) {
    auto* target = dynamic_cast<QImage*>(canvas.device());
    if (!graphic.hasAlphaChannel() || !target || canvas.transform().isScaling()) {
        canvas.drawImage(x, y, graphic);
        return;
    }
    // Composite into a copy of what lies below, then put it back opaque.
    const QPoint origin = canvas.transform().map(QPoint(x, y));
    const QRect area = QRect(origin, graphic.size()).intersected(target->rect());
    if (area.isEmpty())
        return;
    QImage work = target->copy(area).convertToFormat(QImage::Format_RGB32);
    const QImage src = graphic.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < area.height(); ++row) {
        auto* d = reinterpret_cast<QRgb*>(work.scanLine(row));
        const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(row + area.top() - origin.y()));
        for (int col = 0; col < area.width(); ++col) {
            const QRgb sp = s[col + area.left() - origin.x()];
            const uint8_t a = uint8_t(qAlpha(sp));
            d[col] = qRgb(AlphaChannel(uint8_t(qRed(sp)), uint8_t(qRed(d[col])), a),
                          AlphaChannel(uint8_t(qGreen(sp)), uint8_t(qGreen(d[col])), a),
                          AlphaChannel(uint8_t(qBlue(sp)), uint8_t(qBlue(d[col])), a));
        }
    }
    canvas.save();
    canvas.resetTransform();
    canvas.drawImage(area.topLeft(), work);
    canvas.restore();
}

// ---- rectangles and points ----------------------------------------------------------------

bool RectsIntersect(const QRect& a, const QRect& b) {
    // Exclusive right and bottom edges: touching rectangles count as intersecting.
    const int aRight = a.left() + a.width();
    const int aBottom = a.top() + a.height();
    const int bRight = b.left() + b.width();
    const int bBottom = b.top() + b.height();
    return !(aRight < b.left() || bRight < a.left() || aBottom < b.top() || bBottom < a.top());
}

QPoint PlaceBox(int width, int height, TVerticalAlignment verticalAlignment, TAlignment alignment,
                const QRect& rect, int margin) {
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    int x = rect.left() + margin;
    if (alignment == taRightJustify)
        x = right - width - margin;
    else if (alignment == taCenter)
        x = (rect.left() + right) / 2 - width / 2;
    int y = rect.top() + margin;
    if (verticalAlignment == taAlignBottom)
        y = bottom - height - margin;
    else if (verticalAlignment == taVerticalCenter)
        y = (rect.top() + bottom) / 2 - height / 2;
    return QPoint(x, y);
}

QRect AdjustRect(const QRect& rect, int dLeft, int dBottom, int dRight, int dTop) {
    return GxRect(rect.left() + dLeft, rect.top() + dTop, rect.left() + rect.width() + dRight,
                  rect.top() + rect.height() + dBottom);
}

bool MovedBeyond(const QPoint& p, const QPoint& q, int distance) {
    return std::abs(p.x() - q.x()) > distance || std::abs(p.y() - q.y()) > distance;
}

void ClipToRect(QPainter& canvas, const QRect& rect) {
    canvas.setClipRect(rect);
}

void Draw3DFrame(QPainter& canvas, const QRect& rect, const QColor& topLeft, const QColor& bottomRight) {
    const int l = rect.left();
    const int t = rect.top();
    const int r = l + rect.width();
    const int b = t + rect.height();
    if (r <= l || b <= t)
        return;
    GxLine(canvas, l, t, r - 1, t, topLeft);
    GxLine(canvas, l, t, l, b - 1, topLeft);
    GxLine(canvas, l, b - 1, r, b - 1, bottomRight);
    GxLine(canvas, r - 1, t, r - 1, b - 1, bottomRight);
}

void DrawButtonFrame(QPainter& canvas, const QRect& rect, bool dark, const QPalette& palette) {
    canvas.fillRect(rect, ColorToQColor(clBtnFace, palette));
    Draw3DFrame(canvas, rect.adjusted(1, 1, -1, -1), ColorToQColor(clBtnHighlight, palette),
                ColorToQColor(dark ? clWindowFrame : clBtnShadow, palette));
}

void DrawFocusFrame(QPainter& canvas, const QRect& rect, bool solid, const QPalette& palette) {
    if (rect.isEmpty())
        return;
    if (solid) {
        const QColor c = ColorToQColor(clHighlight, palette);
        Draw3DFrame(canvas, rect, c, c);
        return;
    }
    // The dotted focus rectangle: every other pixel of the outline, inverted against the cell.
    canvas.save();
    canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QColor white(255, 255, 255);
    const int l = rect.left();
    const int t = rect.top();
    const int r = l + rect.width() - 1;
    const int b = t + rect.height() - 1;
    for (int x = l; x <= r; x += 2) {
        canvas.fillRect(QRect(x, t, 1, 1), white);
        if (b != t)
            canvas.fillRect(QRect(x, b, 1, 1), white);
    }
    for (int y = t + 2; y < b; y += 2) {
        canvas.fillRect(QRect(l, y, 1, 1), white);
        if (r != l)
            canvas.fillRect(QRect(r, y, 1, 1), white);
    }
    canvas.restore();
}

bool ParentFormActive(const QWidget* control) {
    return control && control->window() && control->window()->isActiveWindow();
}

// ---- text ---------------------------------------------------------------------------------

int MapDrawTextFlags(TDrawTextFlags flags) {
    int result = 0;
    if (flags & DT_RIGHT)
        result |= Qt::AlignRight;
    else if (flags & DT_CENTER)
        result |= Qt::AlignHCenter;
    else
        result |= Qt::AlignLeft;
    // Vertical placement applies to single lines only, as the platform's routine does.
    if ((flags & DT_SINGLELINE) && (flags & DT_VCENTER))
        result |= Qt::AlignVCenter;
    else if ((flags & DT_SINGLELINE) && (flags & DT_BOTTOM))
        result |= Qt::AlignBottom;
    else
        result |= Qt::AlignTop;
    if (flags & DT_SINGLELINE)
        result |= Qt::TextSingleLine;
    else if (flags & DT_WORDBREAK)
        result |= Qt::TextWordWrap;
    if (flags & DT_NOCLIP)
        result |= Qt::TextDontClip;
    if (!(flags & DT_NOPREFIX))
        result |= Qt::TextShowMnemonic;
    return result;
}

QString PathEllipsis(const QString& text, int width, const std::function<int(const QString&)>& measure) {
    if (measure(text) <= width)
        return text;
    const QString dots = QStringLiteral("...");
    const qsizetype cut = std::max(text.lastIndexOf(u'\\'), text.lastIndexOf(u'/'));
    const QString tail = cut >= 0 ? text.mid(cut) : QString();
    const QString head = cut >= 0 ? text.left(cut) : text;
    for (qsizetype keep = head.size() - 1; keep >= 0; --keep) {
        const QString candidate = head.left(keep) + dots + tail;
        if (measure(candidate) <= width)
            return candidate;
    }
    // Not even the last part fits: it loses characters from its end.
    for (qsizetype keep = tail.size() - 1; keep >= 0; --keep) {
        const QString candidate = dots + tail.left(keep);
        if (measure(candidate) <= width)
            return candidate;
    }
    return QString();
}

namespace {

// One line placed by hand: cheaper than the general layout and exact to the pixel.
int DrawSingleLine(QPainter& canvas, const QString& source, const QRect& rect, TDrawTextFlags flags) {
    const QFontMetrics metrics = canvas.fontMetrics();
    QString text = source;
    int width = metrics.horizontalAdvance(text);
    if (width > rect.width() && (flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS))) {
        if (flags & DT_PATH_ELLIPSIS)
            text = PathEllipsis(text, rect.width(),
                                [&](const QString& t) { return metrics.horizontalAdvance(t); });
        else
            text = metrics.elidedText(text, Qt::ElideRight, rect.width());
        width = metrics.horizontalAdvance(text);
    }
    const int height = metrics.height();
    int x = rect.left();
    if (flags & DT_RIGHT)
        x = rect.left() + rect.width() - width;
    else if (flags & DT_CENTER)
        x = rect.left() + (rect.width() - width) / 2;
    int y = rect.top();
    if (flags & DT_VCENTER)
        y = rect.top() + (rect.height() - height) / 2;
    else if (flags & DT_BOTTOM)
        y = rect.top() + rect.height() - height;
    const bool clip = !(flags & DT_NOCLIP) && (width > rect.width() || y < rect.top() ||
                                               y + height > rect.top() + rect.height() || x < rect.left());
    if (clip) {
        canvas.save();
        canvas.setClipRect(rect, Qt::IntersectClip);
    }
    canvas.drawText(QPoint(x, y + metrics.ascent()), text);
    if (clip)
        canvas.restore();
    return height;
}

} // namespace

int GxDrawText(QPainter& canvas, const QString& text, QRect& rect, TDrawTextFlags flags) {
    const QFontMetrics metrics = canvas.fontMetrics();
    const bool singleLine = flags & DT_SINGLELINE;
    if (flags & DT_CALCRECT) {
        const int qtFlags = MapDrawTextFlags(flags) & ~(Qt::AlignVCenter | Qt::AlignBottom);
        const int wrapWidth = (flags & DT_WORDBREAK) && !singleLine ? std::max(rect.width(), 1) : 1 << 20;
        const QRect measured = metrics.boundingRect(QRect(0, 0, wrapWidth, 1 << 20), qtFlags, text);
        rect.setWidth(text.isEmpty() ? 0 : measured.width());
        rect.setHeight(std::max(measured.height(), metrics.height()));
        return rect.height();
    }
    const bool rightToLeft = flags & DT_RTLREADING;
    const bool plain =
        singleLine && (flags & DT_NOPREFIX) && !rightToLeft && !text.contains(u'\n') && !text.contains(u'\r');
    if (plain)
        return DrawSingleLine(canvas, text, rect, flags);
    QString shown = text;
    if (singleLine && (flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS))) {
        shown.replace(u'\r', u' ').replace(u'\n', u' ');
        if (flags & DT_PATH_ELLIPSIS)
            shown = PathEllipsis(shown, rect.width(),
                                 [&](const QString& t) { return metrics.horizontalAdvance(t); });
        else if (metrics.horizontalAdvance(shown) > rect.width())
            shown = metrics.elidedText(shown, Qt::ElideRight, rect.width(),
                                       (flags & DT_NOPREFIX) ? 0 : Qt::TextShowMnemonic);
    }
    const Qt::LayoutDirection oldDirection = canvas.layoutDirection();
    if (rightToLeft)
        canvas.setLayoutDirection(Qt::RightToLeft);
    QRect bounds;
    canvas.drawText(rect, MapDrawTextFlags(flags), shown, &bounds);
    canvas.setLayoutDirection(oldDirection);
    return bounds.height();
}

QSize TextExtentW(const QFontMetrics& metrics, const QString& text) {
    return QSize(metrics.horizontalAdvance(text), metrics.height());
}

int TextWidthW(const QFontMetrics& metrics, const QString& text) {
    return TextExtentW(metrics, text).width();
}

int TextHeightW(const QFontMetrics& metrics, const QString& text) {
    return TextExtentW(metrics, text).height();
}

int MultiLineTextWidth(const QFontMetrics& metrics, const QString& text) {
    return metrics.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::AlignLeft | Qt::AlignTop, text).width();
}

namespace {

TDrawTextFlags AlignmentFlag(TAlignment alignment) {
    if (alignment == taRightJustify)
        return DT_RIGHT;
    return alignment == taCenter ? DT_CENTER : DT_LEFT;
}

} // namespace

void DrawTextInRect(QPainter& canvas, const QRect& rect, bool rightToLeft, const QString& text,
                    TAlignment alignment) {
    QRect r = rect;
    GxDrawText(canvas, text, r,
               DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | AlignmentFlag(alignment) |
                   (rightToLeft ? TDrawTextFlags(DT_RTLREADING) : 0u));
}

void DrawTextInRectPrefixed(QPainter& canvas, const QRect& rect, bool rightToLeft, const QString& text,
                            TAlignment alignment, bool showPrefix) {
    QRect r = rect;
    if (!showPrefix) {
        // The prefix characters are taken out, as the platform does with a hidden prefix.
        QString plain = text;
        plain.replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
        GxDrawText(canvas, plain, r,
                   DT_END_ELLIPSIS | DT_NOPREFIX | DT_NOCLIP | DT_SINGLELINE | DT_VCENTER |
                       AlignmentFlag(alignment) | (rightToLeft ? TDrawTextFlags(DT_RTLREADING) : 0u));
        return;
    }
    GxDrawText(canvas, text, r,
               DT_END_ELLIPSIS | DT_NOCLIP | DT_SINGLELINE | DT_VCENTER | AlignmentFlag(alignment) |
                   (rightToLeft ? TDrawTextFlags(DT_RTLREADING) : 0u));
}

void DrawLinesAligned(QPainter& canvas, const QString& text, const QRect& rect, TDrawTextFlags flags,
                      TVerticalAlignment verticalAlignment) {
    flags &= ~TDrawTextFlags(DT_VCENTER | DT_BOTTOM | DT_SINGLELINE);
    QRect r = rect;
    if (verticalAlignment != taAlignTop) {
        QRect measured = rect;
        GxDrawText(canvas, text, measured, flags | DT_CALCRECT);
        const int free = rect.height() - measured.height();
        // Text taller than the cell keeps its top: it never runs over the row above.
        if (free > 0)
            r.setTop(rect.top() + (verticalAlignment == taAlignBottom ? free : int(std::lround(free / 2.0))));
    }
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    GxDrawText(canvas, text, r, flags);
    canvas.restore();
}

void DrawWrappedText(QPainter& canvas, const QRect& rect, bool rightToLeft, const QString& text,
                     bool wordWrap, TVerticalAlignment verticalAlignment, TAlignment alignment) {
    TDrawTextFlags flags =
        DT_NOPREFIX | AlignmentFlag(alignment) | (rightToLeft ? TDrawTextFlags(DT_RTLREADING) : 0u);
    if (wordWrap) {
        DrawLinesAligned(canvas, text, rect, flags | DT_WORDBREAK, verticalAlignment);
        return;
    }
    flags |= DT_SINGLELINE;
    if (verticalAlignment == taAlignBottom)
        flags |= DT_BOTTOM;
    else if (verticalAlignment == taVerticalCenter)
        flags |= DT_VCENTER;
    QRect r = rect;
    GxDrawText(canvas, text, r, flags);
}

void DrawVerticalText(QPainter& canvas, const QRect& rect, const QString& text) {
    canvas.save();
    canvas.translate(rect.left(), rect.top() + rect.height());
    canvas.rotate(-90);
    canvas.drawText(QPoint(0, canvas.fontMetrics().ascent()), text);
    canvas.restore();
}

QString NameValueValue(const QStringList& strings, int index) {
    if (index < 0 || index >= strings.size())
        return QString();
    const QString& item = strings[index];
    const qsizetype separator = item.indexOf(u'=');
    return separator < 0 ? QString() : item.mid(separator + 1);
}

// ---- visual styles ------------------------------------------------------------------------

namespace {
std::atomic<bool> gVisualStylesAvailable{true};
}

void SetVisualStylesAvailable(bool value) {
    gVisualStylesAvailable = value;
}

bool VisualStylesAvailable() {
    return gVisualStylesAvailable;
}

bool ThemesActive() {
    try {
        return gVisualStylesAvailable && qobject_cast<QApplication*>(QCoreApplication::instance()) &&
               QApplication::style() != nullptr;
    } catch (...) {
        throw std::runtime_error("Error in Themes");
    }
}

void DrawThemePart(const QWidget* window, QPainter& canvas, const QRect& rect, int part, int state,
                   TThemeClass themeClass) {
    QStyle* style = window ? window->style() : QApplication::style();
    if (!style || rect.isEmpty())
        return;
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    switch (themeClass) {
    case TThemeClass::Header: {
        QStyleOptionHeader option;
        if (window)
            option.initFrom(window);
        option.rect = rect;
        option.state = QStyle::State_Enabled | QStyle::State_Horizontal | QStyle::State_Raised;
        option.orientation = Qt::Horizontal;
        if (state == 2)
            option.state |= QStyle::State_MouseOver;
        else if (state == 3)
            option.state |= QStyle::State_Sunken | QStyle::State_On;
        if (part == HP_HEADEREMPTY)
            style->drawControl(QStyle::CE_HeaderEmptyArea, &option, &canvas, window);
        else
            style->drawControl(QStyle::CE_HeaderSection, &option, &canvas, window);
        break;
    }
    case TThemeClass::Button: {
        QStyleOptionButton option;
        if (window)
            option.initFrom(window);
        option.rect = rect;
        option.state = QStyle::State_Enabled | (state >= 5 ? QStyle::State_On : QStyle::State_Off);
        const int kind = (state - 1) % 4; // 0 normal, 1 hot, 2 pressed, 3 disabled
        if (kind == 1)
            option.state |= QStyle::State_MouseOver;
        else if (kind == 2)
            option.state |= QStyle::State_Sunken;
        else if (kind == 3)
            option.state &= ~QStyle::State_Enabled;
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &canvas, window);
        break;
    }
    case TThemeClass::TreeView: {
        QStyleOption option;
        if (window)
            option.initFrom(window);
        option.rect = rect;
        option.state = QStyle::State_Enabled | QStyle::State_Children |
                       (state == 2 ? QStyle::State_Open : QStyle::State_None);
        style->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &canvas, window);
        break;
    }
    case TThemeClass::ScrollBar:
    case TThemeClass::Edit: {
        QStyleOptionFrame option;
        if (window)
            option.initFrom(window);
        option.rect = rect;
        option.lineWidth = 1;
        option.state = QStyle::State_Enabled | QStyle::State_Sunken;
        style->drawPrimitive(QStyle::PE_Frame, &option, &canvas, window);
        break;
    }
    }
    canvas.restore();
}

// ---- hints --------------------------------------------------------------------------------

TGxHintWindow::TGxHintWindow(QWidget* owner)
    : QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setTextFormat(Qt::PlainText); // a syslog line with markup is shown as it is
    setWordWrap(true);
    setMargin(2);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

namespace {

QRect ScreenArea(const QWidget& window, const QPoint& near) {
    QScreen* screen = QGuiApplication::screenAt(near);
    if (!screen)
        screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1 << 14, 1 << 14);
}

} // namespace

QRect CalcHintRect(const TGxHintWindow& window, int maxWidth, const QString& text) {
    const QRect screen = ScreenArea(window, window.pos());
    const int frame = 2 * (window.margin() + window.frameWidth());
    const int limit = std::max(1, std::min(maxWidth, screen.width()) - frame);
    const QRect text_rect = window.fontMetrics().boundingRect(QRect(0, 0, limit, 1 << 20),
                                                              Qt::AlignLeft | Qt::TextWordWrap, text);
    return QRect(0, 0, std::min(text_rect.width() + frame + 4, screen.width()),
                 std::min(text_rect.height() + frame, screen.height()));
}

void ShowHintText(TGxHintWindow& window, const QRect& rect, const QString& text) {
    const QRect screen = ScreenArea(window, rect.topLeft());
    QRect r(rect.topLeft(), rect.size().boundedTo(screen.size()));
    if (r.right() > screen.right())
        r.moveRight(screen.right());
    if (r.bottom() > screen.bottom())
        r.moveBottom(screen.bottom());
    r.moveLeft(std::max(r.left(), screen.left()));
    r.moveTop(std::max(r.top(), screen.top()));
    window.setText(text);
    window.setGeometry(r);
    window.show();
    window.raise();
}

void ReleaseHint(TGxHintWindow& window) {
    window.hide();
}

// ---- floating windows ---------------------------------------------------------------------

TGxFlyoutControl::TGxFlyoutControl(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

TRollShadow::TRollShadow(QWidget* owner) : TGxFlyoutControl(owner) {
    setFixedSize(32, 32);
    setMask(Shape());
}

QRegion TRollShadow::Shape() {
    const QPolygon up({QPoint(-1, 7), QPoint(7, -1), QPoint(8, 0), QPoint(14, 7), QPoint(0, 6)});
    const QPolygon down({QPoint(-1, 15), QPoint(14, 15), QPoint(6, 22), QPoint(6, 22), QPoint(-1, 14)});
    const QRegion dot(QRect(5, 9, 5, 5), QRegion::Ellipse);
    return QRegion(up).united(QRegion(down)).united(dot);
}

void TRollShadow::ShowAt(const QPoint& globalPoint) {
    move(globalPoint.x() - 7, globalPoint.y() - 11);
    show();
    raise();
}

void TRollShadow::paintEvent(QPaintEvent* event) {
    QPainter canvas(this);
    canvas.fillRect(event->rect(), ColorToQColor(clGrayText, palette()));
}
