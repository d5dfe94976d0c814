// Shared types of the table control model: colours, enumerations of the column and grid
// properties, and the one exception class every grid error is raised with.
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

// Colours are stored as blue-green-red values; negative values name system colours.
using TColor = int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clScrollBar = int32_t(0x80000000u);
inline constexpr TColor clHighlight = int32_t(0x8000000Du);
inline constexpr TColor clHighlightText = int32_t(0x8000000Eu);
inline constexpr TColor clBtnFace = int32_t(0x8000000Fu);
inline constexpr TColor clGrayText = int32_t(0x80000011u);
inline constexpr TColor clWindow = int32_t(0x80000005u);
inline constexpr TColor clWindowText = int32_t(0x80000008u);

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
