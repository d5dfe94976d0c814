// The periodic status summary over the host table: colours the Status cells, fills TimeDown,
// counts hosts by state and builds the tray hint lines, the status-bar texts and the icon choice.
#pragma once

#include "grid/GxTypes.h"

#include <QAnyStringView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

class LangTextTable;

class TDataGrid;

// Font colours of the count panels.
inline constexpr TColor StatusOkPanelColor = 0x008000; // green
inline constexpr TColor StatusDownPanelColor = clRed;
inline constexpr TColor StatusNoDownPanelColor = clBlack;

// At most this many down hosts are listed in the tray hint; "…" stands for the rest.
inline constexpr int TrayHintMaxDownLines = 40;

// The picture the tray icon and the application show: Image7 no host down, Image8 packet loss
// but none down, Image6 at least one host down.
enum class TSummaryIcon { Image7, Image8, Image6 };

// One status-bar panel's new look; an empty member leaves that side of the panel as it is.
struct TSummaryPanel {
    std::optional<QString> Text;
    std::optional<TColor> FontColor;
};

struct TStatusCounts {
    int Rows = 0;
    int OK = 0;
    int Down = 0;
    int Disabled = 0;
    int PacketLoss = 0;
};

// What one tick of the summary found. Ran is false while monitoring is off: then only Interval
// is meaningful and nothing in the grid was touched.
struct TStatusSummaryTick {
    int Interval = 2000;
    bool Ran = false;
    TStatusCounts Counts;
    QStringList TrayHintLines;
    TSummaryPanel Panel3; // OK count
    TSummaryPanel Panel4; // Down count
    TSummaryPanel Panel5; // Disabled count
    TSummaryIcon Icon = TSummaryIcon::Image7;
};

// The summary's period: 5 ms per host row, never below 2000 ms.
int StatusSummaryInterval(int RowCount);

// The units of a down time in the current language ("d", "h", "m", "s" in English).
struct TDownTimeUnits {
    QString Days, Hours, Minutes, Seconds;
};
TDownTimeUnits DownTimeUnits(const LangTextTable& Texts);

// "<d>d <h>h <m>m <s>s" without leading zeros ("0d 3h 7m 12s"), the units of the current
// language; negative seconds count as 0.
QString TimeDownText(qint64 Seconds);
QString TimeDownText(qint64 Seconds, const TDownTimeUnits& Units);

// The down duration of a host whose Date_Pod reads DatePod: whole seconds up to Now, 0 when the
// text is not a date-time.
qint64 DownSeconds(const QString& DatePod, double Now);

// The date-times of the Date_Pod texts the rows showed at the last tick. Reading a date text
// costs far more than the rest of a row's work, and a down host's text stays the same for many
// ticks.
class TDatePodCache {
public:
    // The down seconds of the host in Row of RowCount whose Date_Pod reads DatePod: the text is
    // compared with what that row read last and read again only when it changed.
    qint64 DownSecondsOfRow(int Row, int RowCount, QAnyStringView DatePod, double Now);

private:
    // A text and its date-time, the text kept in the entry: the tick reads the entries in row
    // order and no text elsewhere. A text too long for it, or not Latin-1, is not kept.
    struct TRowDate {
        static constexpr int TextCapacity = 46;
        char Text[TextCapacity];
        int16_t Size = -1; // -1: nothing kept
        std::optional<double> Since;
        bool Holds(QAnyStringView DatePod) const;
        void Keep(QAnyStringView DatePod, std::optional<double> Date);
    };
    std::vector<TRowDate> FRows;
    // The text read last: hosts that went down together share it and it is read once.
    TRowDate FLastRead;
};

// The summary as the main window keeps it from tick to tick.
class TStatusSummary {
public:
    // One tick over the host grid at date-time Now, in the current language. Rows are coloured
    // and their TimeDown, Date_Pod (stamped when empty) and the Disabled word written.
    TStatusSummaryTick Tick(TDataGrid& Hosts, bool MonitoringActive, double Now);

private:
    TDatePodCache FDates;
};

// One tick without anything remembered from earlier ticks.
TStatusSummaryTick StatusSummaryTick(TDataGrid& Hosts, bool MonitoringActive, double Now);

// The icon the stored states call for, before the first summary: a host stored Down gives Image6,
// else one stored with Packet loss Image8, else Image7.
TSummaryIcon StoredStateIcon(const TDataGrid& Hosts);

// The hint's last line: "Hosts: 5, OK: 2, Down: 1, Disabled: 1, Packet loss: 1".
QString StatusCountLine(const TStatusCounts& Counts);
