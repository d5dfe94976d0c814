// Colour conversions of the desktop controls.
#include "desktop/DesktopColors.h"

#include <QGuiApplication>

namespace {

// The palette role of a system colour index; roles the toolkit lacks map to their nearest kin.
QColor SystemColor(int Index, const QPalette& Palette) {
    switch (Index) {
    case 5: // window
        return Palette.color(QPalette::Base);
    case 8: // window text
        return Palette.color(QPalette::Text);
    case 13:
        return Palette.color(QPalette::Highlight);
    case 14:
        return Palette.color(QPalette::HighlightedText);
    case 0:  // scroll bar
    case 15: // button face
        return Palette.color(QPalette::Button);
    case 16: // button shadow
        return Palette.color(QPalette::Mid);
    case 17: // grey text
        return Palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return Palette.color(QPalette::ButtonText);
    case 20: // button highlight
        return Palette.color(QPalette::Light);
    case 23:
        return Palette.color(QPalette::ToolTipText);
    case 24:
        return Palette.color(QPalette::ToolTipBase);
    default:
        return Palette.color(QPalette::WindowText);
    }
}

} // namespace

namespace DesktopColors {

QColor ColorToQColor(TColor Color, const QPalette& Palette) {
    if (Color == clNone)
        return QColor(Qt::transparent);
    if (Color < 0)
        return SystemColor(Color & 0xFF, Palette);
    return QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
}

QColor ColorToQColor(TColor Color) {
    return ColorToQColor(Color, QGuiApplication::palette());
}

TColor ColorToRGB(TColor Color) {
    return Color < 0 ? QColorToColor(ColorToQColor(Color)) : TColor(Color & 0xFFFFFF);
}

TColor QColorToColor(const QColor& Color) {
    return TColor(Color.red() | (Color.green() << 8) | (Color.blue() << 16));
}

} // namespace DesktopColors
