// Drawing kit of the table control family: text measuring and drawing with the DrawText flag
// set, the style colour table, colour blending and gradients, rectangle helpers, the binding to
// the visual-styles service (QStyle), hint windows and the floating-window base.
#pragma once

#include "grid/GxTypes.h"

#include <QColor>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

// ---- edges --------------------------------------------------------------------------------
// Rectangles here are given as left, top, right, bottom with the right and bottom edges
// excluded, and a line from one point to another leaves its end point undrawn. These two
// helpers are the only places that turn that into QRect's inclusive form.
inline QRect GxRect(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}
// Fills the pixels of a horizontal, vertical or 45-degree line from (x1, y1) towards (x2, y2),
// the end point excluded.
void GxLine(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& color);
// A polyline with the same rule: every point but the last is drawn.
void GxPolyline(QPainter& canvas, const QPoint* points, int count, const QColor& color);

// ---- colours ------------------------------------------------------------------------------
// System colours name palette roles through one table; other values are blue-green-red, and
// clNone is transparent.
QColor ColorToQColor(TColor color, const QPalette& palette);
QColor ColorToQColor(TColor color); // with the application's palette
TColor ColorToRGB(TColor color, const QPalette& palette);
TColor ColorToRGB(TColor color);
TColor QColorToColor(const QColor& color);
// The palette role (and group) that a system colour index stands for.
struct TSystemColorRole {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};
TSystemColorRole SystemColorRole(int index);

// Style colour table: 24 slots for each colour scheme 1 to 6; scheme 0 is the current one
// (2). Both arguments are taken modulo 128; anything outside the table gives 0.
inline constexpr int StyleColorSlots = 24;
inline constexpr int StyleColorSchemes = 6;
inline constexpr int CurrentColorScheme = 2;
TColor StyleColor(int index, int scheme = 0);

// Per channel (Alpha x A + (255 - Alpha) x B) >> 8; system colours are resolved first and an
// Alpha above 255 counts as 255 (below 0 as 0).
TColor Blend(TColor a, TColor b, int alpha);
// Per channel round(Fraction x B + (1 - Fraction) x A).
TColor MixColors(TColor a, TColor b, double fraction);
// One line per pixel row, row y in MixColors(Top, Bottom, (y - top) / height).
void VerticalGradient(QPainter& canvas, const QRect& rect, TColor topColor, TColor bottomColor);
// round(Alpha x Src / 255) + round((1 - Alpha / 255) x Dst), limited to 0..255.
uint8_t AlphaChannel(uint8_t src, uint8_t dst, uint8_t alpha);
// Draws a picture; one with an alpha channel is composited pixel by pixel with AlphaChannel.
void DrawGraphic(QPainter& canvas, int x, int y, const QImage& graphic);

// ---- rectangles and points ----------------------------------------------------------------
// True unless one lies wholly beside, above or below the other (touching edges intersect).
bool RectsIntersect(const QRect& a, const QRect& b);
// Top-left corner of a Width x Height box placed in rect by the alignments with a margin;
// centred boxes take the centre minus half the size, halves rounded toward zero.
QPoint PlaceBox(int width, int height, TVerticalAlignment verticalAlignment, TAlignment alignment,
                const QRect& rect, int margin);
QRect AdjustRect(const QRect& rect, int dLeft, int dBottom, int dRight, int dTop);
// True when P lies outside the square of half-size Distance around Q.
bool MovedBeyond(const QPoint& p, const QPoint& q, int distance);
void ClipToRect(QPainter& canvas, const QRect& rect);
// clBtnFace fill and a one-pixel 3-D frame on the rectangle inset by one.
void DrawButtonFrame(QPainter& canvas, const QRect& rect, bool dark, const QPalette& palette);
// Solid: a clHighlight frame; else the dotted focus rectangle in black and white.
void DrawFocusFrame(QPainter& canvas, const QRect& rect, bool solid, const QPalette& palette);
// A raised (clBtnHighlight top-left, clBtnShadow bottom-right) or sunken one-pixel frame.
void Draw3DFrame(QPainter& canvas, const QRect& rect, const QColor& topLeft, const QColor& bottomRight);
inline bool IsEmptyPoint(const QPoint& p) {
    return p.x() == -1 || p.y() == -1;
}
bool ParentFormActive(const QWidget* control);

// ---- text ---------------------------------------------------------------------------------
// The DrawText flags the family uses; MapDrawTextFlags turns them into Qt's once.
enum TDrawTextFlag : uint32_t {
    DT_LEFT = 0,
    DT_TOP = 0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_VCENTER = 0x4,
    DT_BOTTOM = 0x8,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_NOCLIP = 0x100,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
    DT_PATH_ELLIPSIS = 0x4000,
    DT_END_ELLIPSIS = 0x8000,
    DT_RTLREADING = 0x20000,
};
using TDrawTextFlags = uint32_t;
int MapDrawTextFlags(TDrawTextFlags flags);

// Draws (or with DT_CALCRECT only measures) text in rect; returns the height of the text.
// With DT_CALCRECT rect receives the measured rectangle.
int GxDrawText(QPainter& canvas, const QString& text, QRect& rect, TDrawTextFlags flags);
// Text shortened in the middle so that it fits: as much as possible of the part after the last
// path separator stays, the part before it loses characters from its end.
QString PathEllipsis(const QString& text, int width, const std::function<int(const QString&)>& measure);

QSize TextExtentW(const QFontMetrics& metrics, const QString& text);
int TextWidthW(const QFontMetrics& metrics, const QString& text);
int TextHeightW(const QFontMetrics& metrics, const QString& text);
int MultiLineTextWidth(const QFontMetrics& metrics, const QString& text);
// Single line, vertically centred, end ellipsis, no prefix characters.
void DrawTextInRect(QPainter& canvas, const QRect& rect, bool rightToLeft, const QString& text,
                    TAlignment alignment);
// The same with '&' marking the underlined character (hidden when showPrefix is false), unclipped.
void DrawTextInRectPrefixed(QPainter& canvas, const QRect& rect, bool rightToLeft, const QString& text,
                            TAlignment alignment, bool showPrefix);
// Word-wrapped text is measured first so that bottom and centre alignment move its top; text
// taller than the rectangle starts at the top and is clipped to it.
void DrawWrappedText(QPainter& canvas, const QRect& rect, bool rightToLeft, const QString& text,
                     bool wordWrap, TVerticalAlignment verticalAlignment, TAlignment alignment);
// Text of several lines (the flags' single-line and vertical bits are ignored) measured first so
// that bottom and centre alignment move its top, clipped to rect; text taller than rect starts
// at its top.
void DrawLinesAligned(QPainter& canvas, const QString& text, const QRect& rect, TDrawTextFlags flags,
                      TVerticalAlignment verticalAlignment);
// Text turned by 90 degrees, reading upwards, at the rectangle's bottom.
void DrawVerticalText(QPainter& canvas, const QRect& rect, const QString& text);
// The value part of item Index of "name=value" lines; empty for an index outside the list.
QString NameValueValue(const QStringList& strings, int index);

// ---- visual styles ------------------------------------------------------------------------
// The process switch that stands in for a missing visual-styles library: off makes every
// control of the family draw classically.
void SetVisualStylesAvailable(bool value);
bool VisualStylesAvailable();
// True when the switch is on and the application has a style; a failure inside raises
// "Error in Themes".
bool ThemesActive();

// Theme classes and parts the family draws through the style.
enum class TThemeClass : uint8_t { Header, Button, TreeView, ScrollBar, Edit };
inline constexpr int HP_HEADERITEM = 1;
inline constexpr int HP_HEADEREMPTY = 2;
inline constexpr int BP_CHECKBOX = 3;
inline constexpr int TVP_GLYPH = 2;
inline constexpr int EP_EDITBORDER = 1;
// Header item states 1 normal, 2 hot, 3 pressed; check box states 1-3 unchecked normal, hot,
// pressed and 5-7 checked; tree glyph states 1 closed and 2 opened.
// Draws the part in its state into rect through the window's style, clipped to rect; nothing
// when the window has no style.
void DrawThemePart(const QWidget* window, QPainter& canvas, const QRect& rect, int part, int state,
                   TThemeClass themeClass);

// ---- hints --------------------------------------------------------------------------------
// A hint window: plain text (never rich text), wrapped, and never larger than the screen.
class TGxHintWindow : public QLabel {
    Q_OBJECT
public:
    explicit TGxHintWindow(QWidget* owner = nullptr);
};
void ShowHintText(TGxHintWindow& window, const QRect& rect, const QString& text);
QRect CalcHintRect(const TGxHintWindow& window, int maxWidth, const QString& text);
void ReleaseHint(TGxHintWindow& window);

// ---- floating windows ---------------------------------------------------------------------
// Base of the family's floating windows: a frameless top-level tool window above the others
// that never takes the focus or the mouse and paints all of itself.
class TGxFlyoutControl : public QWidget {
    Q_OBJECT
public:
    explicit TGxFlyoutControl(QWidget* owner = nullptr);
};

// The marker of wheel-click scrolling: a 32 x 32 window, shaped as an up and a down triangle
// around a dot, filled clGrayText, placed at (x - 7, y - 11) around the point it marks.
class TRollShadow : public TGxFlyoutControl {
    Q_OBJECT
public:
    explicit TRollShadow(QWidget* owner = nullptr);
    // Shows the marker around a point in screen coordinates.
    void ShowAt(const QPoint& globalPoint);
    static QRegion Shape();

protected:
    void paintEvent(QPaintEvent* event) override;
};
