// Shared types of the table control model: colours, enumerations of the column and grid
// properties, and the one exception class every grid error is raised with.
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

// Colours are stored as blue-green-red values; negative values name system colours.
using TColor = int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// System colours: 0x80000000 plus the index of the system colour.
inline constexpr TColor SystemColor(int index) {
    return int32_t(0x80000000u | uint32_t(index));
}
inline constexpr TColor clScrollBar = SystemColor(0);
inline constexpr TColor clBackground = SystemColor(1);
inline constexpr TColor clActiveCaption = SystemColor(2);
inline constexpr TColor clInactiveCaption = SystemColor(3);
inline constexpr TColor clMenu = SystemColor(4);
inline constexpr TColor clWindow = SystemColor(5);
inline constexpr TColor clWindowFrame = SystemColor(6);
inline constexpr TColor clMenuText = SystemColor(7);
inline constexpr TColor clWindowText = SystemColor(8);
inline constexpr TColor clCaptionText = SystemColor(9);
inline constexpr TColor clActiveBorder = SystemColor(10);
inline constexpr TColor clInactiveBorder = SystemColor(11);
inline constexpr TColor clAppWorkSpace = SystemColor(12);
inline constexpr TColor clHighlight = SystemColor(13);
inline constexpr TColor clHighlightText = SystemColor(14);
inline constexpr TColor clBtnFace = SystemColor(15);
inline constexpr TColor clBtnShadow = SystemColor(16);
inline constexpr TColor clGrayText = SystemColor(17);
inline constexpr TColor clBtnText = SystemColor(18);
inline constexpr TColor clInactiveCaptionText = SystemColor(19);
inline constexpr TColor clBtnHighlight = SystemColor(20);
inline constexpr TColor cl3DDkShadow = SystemColor(21);
inline constexpr TColor cl3DLight = SystemColor(22);
inline constexpr TColor clInfoText = SystemColor(23);
inline constexpr TColor clInfoBk = SystemColor(24);
inline constexpr TColor clHotLight = SystemColor(26);
inline constexpr TColor clGradientActiveCaption = SystemColor(27);
inline constexpr TColor clGradientInactiveCaption = SystemColor(28);
inline constexpr TColor clMenuHighlight = SystemColor(29);
inline constexpr TColor clMenuBar = SystemColor(30);
inline constexpr int SystemColorCount = 31;
inline constexpr bool IsSystemColor(TColor color) {
    return color < 0;
}

enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
enum TVerticalAlignment : uint8_t { taAlignTop, taAlignBottom, taVerticalCenter };
enum TBiDiMode : uint8_t { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
enum TDisplayMode : uint8_t { dmImageOnly, dmTextAndImage, dmTextOnly };
enum THeaderOrientation : uint8_t { hoHorizontal, hoVertical };
enum TFormulaKind : uint8_t { fkNone, fkAverage, fkCount, fkDistinct, fkMaximum, fkMinimum, fkSum, fkCustom };
enum TFormatMaskKind : uint8_t { mkText, mkFloat };
enum TDrawingOptions : uint8_t { doNormal, doBackgroundOnly, doCustom, doCustomOnly };
enum TSlideCatpionLocation : uint8_t { clLeft, clTop };
enum TSortKind : uint8_t { skAscending, skDescending };
enum TSortType : uint8_t { stAlphabetic, stBoolean, stCaseInsensitive, stCustom, stNumeric, stDate, stIP };
enum TWrapKind : uint8_t { wkNone, wkEllipsis, wkPathEllipsis, wkWordWrap };
enum TStartDayOfWeek : uint8_t { dwAutomatic, dwMonday, dwSunday };
enum TDataChange : uint8_t {
    dcAddColumn,
    dcAddRow,
    dcInsertColumn,
    dcInsertRow,
    dcDeleteColumn,
    dcDeleteRow
};
enum TCursor : int16_t { crDefault = 0 };
enum TBorderStyle : uint8_t { bsNone, bsSingle };
enum TEditCharCase : uint8_t { ecNormal, ecUpperCase, ecLowerCase };

// Font style bits (bold, italic, underline, strike-out) kept without a GUI font class.
using TFontStyles = uint8_t;
inline constexpr TFontStyles fsBold = 1;
inline constexpr TFontStyles fsItalic = 2;
inline constexpr TFontStyles fsUnderline = 4;
inline constexpr TFontStyles fsStrikeOut = 8;

// A font as the model knows it; the widget turns it into a real font.
struct TGridFont {
    QString Name;
    int Size = 8;
    TColor Color = clWindowText;
    TFontStyles Style = 0;
    bool operator==(const TGridFont&) const = default;
};

// Every error the grid raises: conversion errors, bad row or column names, list index errors
// and file errors. The message is the exact text the callers and the operator see.
class EGridError : public std::runtime_error {
public:
    explicit EGridError(const QString& message);
    const QString& Message() const { return FMessage; }

private:
    QString FMessage;
};

// Fills "%s" and "%d" placeholders in order (a tiny printf for the fixed message texts).
QString GxFormat(const QString& pattern, std::initializer_list<QString> args);

// Raises the list index error for an index outside a list.
[[noreturn]] void RaiseListIndexError(int64_t index);

// Column limit of one grid: the cell store keeps at most this many columns.
inline constexpr int MaxGridColumns = 1024;
