// What the alert popups decide without a display: where they rest and how they slide, the texts
// they copy, the address the host's web page opens, and the host a popup row names.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>

class TDataGrid;

// Client size of both popups and the pixels of one slide step.
inline constexpr int AlertPopupWidth = 292;
inline constexpr int AlertPopupHeight = 152;
inline constexpr int AlertSlideStep = 6;

// Language lines: the down and up headings and the copy button.
inline constexpr int AlertDownHeadingLine = 402;
inline constexpr int AlertUpHeadingLine = 403;
inline constexpr int AlertCopyButtonLine = 404;
// The column headers: number, host name, description, time, state; the buttons Sound off and Close.
inline constexpr int AlertNumberHeaderLine = 383;
inline constexpr int AlertHostHeaderLine = 47;
inline constexpr int AlertDescriptionHeaderLine = 51;
inline constexpr int AlertTimeHeaderLine = 95;
inline constexpr int AlertStateHeaderLine = 52;
inline constexpr int AlertSoundOffButtonLine = 34;
inline constexpr int AlertCloseButtonLine = 384;

// Column names of the popups' lists beyond the dispatcher's Host, ID_, Time_d, State_. Kod_ holds
// the host's id, so a click finds the host even after the host table was sorted or shrunk.
namespace AlertColumn {
inline constexpr const char* Num_k = "Num_k";
inline constexpr const char* Host = "Host";
inline constexpr const char* Description_ = "Description_";
inline constexpr const char* ID_ = "ID_";
inline constexpr const char* Time_d = "Time_d";
inline constexpr const char* State_ = "State_";
inline constexpr const char* Kod_ = "Kod_";
} // namespace AlertColumn

// The list of the down popup (Down true) or of the up popup, added to an empty grid.
void CreateAlertGridColumns(TDataGrid& Grid, bool Down);

// Where a popup waits: 3 pixels from the screen's right edge, just below its bottom.
QPoint AlertStartPosition(const QRect& Screen, int Width);

// The stacking offset: the other popup's height - 2 when it shows and is not itself stacked above
// this one, otherwise 0.
int AlertStackOffset(bool OtherVisible, bool OtherStacked, int OtherHeight);

// One slide-in tick: the next top, or nothing when the popup has come to rest (its bottom 3 pixels
// below the work area's bottom, or above the other popup by Offset).
std::optional<int> AlertSlideInStep(int Top, int Height, const QRect& WorkArea, int Offset);

// One slide-out tick: the next top, or nothing when the popup is 10 pixels below the screen.
std::optional<int> AlertSlideOutStep(int Top, const QRect& Screen);

// The clipboard texts: the heading, then one line per list row, joined by "\n".
QString DownAlertClipboardText(const QString& Heading, TDataGrid& Grid);
QString UpAlertClipboardText(const QString& Heading, TDataGrid& Grid);

// "http://" and the host part of an address: the text after its last backslash or colon, except
// that an IPv6 literal is kept whole, in brackets. Empty for an address no command line may get
// (empty, or starting with "-").
QString ExploreUrl(const QString& Address);
// The address as a program argument, or empty when it would read as an option.
QString SafeHostArgument(const QString& Address);

// The host table's row of the host id, -1 when no row has it.
int FindHostRowByKod(TDataGrid& Hosts, const QString& Kod);

// Fills the empty Kod_ cells of a popup's list from the host table's row named by ID_ (valid at
// the moment the dispatcher listed the event).
void FillAlertKods(TDataGrid& Popup, TDataGrid& Hosts);

// Shows only the host of id Kod in the host table, numbered 1; the others are hidden. Returns the
// host's N_group, or nothing (and changes nothing) when no host has that id.
std::optional<int> ShowOnlyHost(TDataGrid& Hosts, const QString& Kod);
