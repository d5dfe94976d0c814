// Colour values of the desktop controls (blue-green-red, negative for system colours) turned into
// Qt colours, with the system colours taken from the palette.
#pragma once

#include "grid/GxTypes.h"

#include <QColor>
#include <QPalette>

// "No colour": a transparent background where a control allows it.
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clInfoBk = int32_t(0x80000018u);
inline constexpr TColor clInfoText = int32_t(0x80000017u);

// The colour a value stands for; system colours come from Palette, clNone is transparent.
QColor ColorToQColor(TColor Color, const QPalette& Palette);
// The same with the application's palette.
QColor ColorToQColor(TColor Color);

// The blue-green-red value of a colour, system colours resolved through the application palette.
TColor ColorToRGB(TColor Color);

// A Qt colour as a blue-green-red value (alpha dropped).
TColor QColorToColor(const QColor& Color);
