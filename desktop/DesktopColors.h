// Colour values of the desktop controls (blue-green-red, negative for system colours) turned into
// Qt colours, with the system colours taken from the palette.
#pragma once

#include "grid/GxTypes.h"

#include <QColor>
#include <QPalette>

// clNone ("no colour": a transparent background where a control allows it), clNavy, clGreen,
// clInfoBk and clInfoText come from grid/GxTypes.h.

// In a namespace of their own: the grid's drawing kit has functions of the same names with its own
// system-colour table, and both libraries end up in one program.
namespace DesktopColors {

// The colour a value stands for; system colours come from Palette, clNone is transparent.
QColor ColorToQColor(TColor Color, const QPalette& Palette);
// The same with the application's palette.
QColor ColorToQColor(TColor Color);

// The blue-green-red value of a colour, system colours resolved through the application palette.
TColor ColorToRGB(TColor Color);

// A Qt colour as a blue-green-red value (alpha dropped).
TColor QColorToColor(const QColor& Color);

} // namespace DesktopColors

using DesktopColors::ColorToQColor;
using DesktopColors::ColorToRGB;
using DesktopColors::QColorToColor;
