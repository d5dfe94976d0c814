// What the online monitoring page does without a display: the grid of hosts that are not OK, built
// from the host table, its status colours, the date order of the last-down column, the group
// icons, and the chosen row kept by host id across refreshes.
#pragma once

#include "core/DatabaseLoader.h"

#include <QString>

#include <vector>

class TDataGrid;

// Columns of the online grid (the host table's first 20, same positions).
namespace OnlineColumn {
inline constexpr int Host = 1;
inline constexpr int Address = 4;
inline constexpr int Status = 5;
inline constexpr int LastDown = 12;
inline constexpr int Group = 13;
inline constexpr int Community = 15;
inline constexpr int Kod = 16;
inline constexpr int Description = 18;
inline constexpr int Count = 20;
} // namespace OnlineColumn

// The host-table columns a refresh copies; 9 is copied as an integer.
inline constexpr int OnlineCopiedColumns[] = {1, 4, 5, 8, 9, 12, 13, 15, 16, 18, 19};

// Status cell colours (blue-green-red): Down red, Disabled grey, Packet loss yellow.
inline constexpr unsigned OnlineDownColor = 0x0000FF;
inline constexpr unsigned OnlineDisabledColor = 0x808080;
inline constexpr unsigned OnlinePacketLossColor = 0x00FFFF;

// Adds the first 20 columns of the host table to an empty grid: the shown ones are the running
// number, host, address, status, event count, last down, ID, description and down time; several
// rows may be chosen, always whole rows. The last-down column sorts by the date its text names.
void CreateDownGridColumns(TDataGrid& Grid);

// The status words of the current language.
struct TOnlineStatusWords {
    QString Ok;
    QString Down;
    QString Disabled;
    QString PacketLoss;
};
TOnlineStatusWords CurrentOnlineStatusWords();

// Refresh steps 3-6: Down is emptied and gets one row per host whose status is not the OK word,
// coloured by status, sorted by last down (newest first) and numbered from 1; the result holds one image
// index per node of Tree, 1 when at least one down host belongs to that very group, else 0.
std::vector<int> RefreshOnlineGrid(TDataGrid& Hosts, TDataGrid& Down, const TGroupTree& Tree,
                                   const TOnlineStatusWords& Words);

// The row of Down listing host Kod, -1 when none does.
int FindOnlineRowByKod(TDataGrid& Down, const QString& Kod);

// Width of the description column after a resize: its width plus the grid's client width minus the
// visible columns' widths minus 20.
int OnlineDescriptionWidth(int DescriptionWidth, int GridWidth, int VisibleColumnsWidth);
