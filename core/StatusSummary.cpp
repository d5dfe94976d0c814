// The status summary's walk over the host table.
#include "core/StatusSummary.h"

#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"

#include <algorithm>

namespace {

constexpr int minimumIntervalMs = 2000;
constexpr int msPerRow = 5;

// The column positions one tick uses, looked up once instead of per cell.
struct TSummaryColumns {
    explicit TSummaryColumns(const TDataGrid& Hosts)
        : Status(Hosts.ColumnIndex(u"Status")), DatePod(Hosts.ColumnIndex(u"Date_Pod")),
          TimeDown(Hosts.ColumnIndex(u"TimeDown")), Enabled(Hosts.ColumnIndex(u"Enabled")),
          Host(Hosts.ColumnIndex(u"Host")), IP(Hosts.ColumnIndex(u"IP")) {}
    bool Complete() const { return std::min({Status, DatePod, TimeDown, Enabled, Host, IP}) >= 0; }
    int Status, DatePod, TimeDown, Enabled, Host, IP;
};

// The status words of the language in force when the tick began.
struct TSummaryWords {
    explicit TSummaryWords(const LangTextTable& Texts)
        : OK(Texts.Text(277)), PacketLoss(Texts.Text(278)), Down(Texts.Text(280)), Disabled(Texts.Text(281)),
          Units(DownTimeUnits(Texts)) {}
    QString OK, PacketLoss, Down, Disabled;
    TDownTimeUnits Units;
};

// BeginUpdate/EndUpdate that also ends when a cell access throws.
class TUpdateScope {
public:
    explicit TUpdateScope(TDataGrid& Grid) : FGrid(Grid) { FGrid.BeginUpdate(); }
    ~TUpdateScope() { FGrid.EndUpdate(); }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TDataGrid& FGrid;
};

void SetColorOnce(TCell& Cell, TColor Color) {
    if (Cell.Color() != Color)
        Cell.SetCellColor(Color);
}

void SetTextOnce(TCell& Cell, const QString& Text) {
    if (Cell.GetAsString() != Text)
        Cell.SetAsString(Text);
}

// "<count> <word>", the singular word for exactly one.
QString CountText(int Count, int PluralLine, int SingularLine) {
    return QString::number(Count) + QLatin1Char(' ') + LangText(Count == 1 ? SingularLine : PluralLine);
}

void WalkRow(TDataGrid& Hosts, int Row, const TSummaryColumns& Col, const TSummaryWords& Words, double Now,
             TDatePodCache& Dates, TStatusSummaryTick& Tick, int& ListedDown) {
    TCell& status = Hosts.GetCellObject(Col.Status, Row);
    const QString state = status.GetAsString();
    const bool ok = state == Words.OK;
    if (state != Words.Down) {
        if (ok) {
            ++Tick.Counts.OK;
            SetColorOnce(status, clLime);
        }
    } else {
        ++Tick.Counts.Down;
        if (ListedDown < TrayHintMaxDownLines) {
            Tick.TrayHintLines.append(Hosts.GetCellObject(Col.DatePod, Row).GetAsString() +
                                      QStringLiteral(", ") +
                                      Hosts.GetCellObject(Col.Host, Row).GetAsString() +
                                      QStringLiteral(", ") + Hosts.GetCellObject(Col.IP, Row).GetAsString());
        } else if (ListedDown == TrayHintMaxDownLines) {
            Tick.TrayHintLines.append(QStringLiteral("\u2026"));
        }
        ++ListedDown;
        SetColorOnce(status, clRed);
    }
    TCell& timeDown = Hosts.GetCellObject(Col.TimeDown, Row);
    if (!ok) {
        TCell& datePod = Hosts.GetCellObject(Col.DatePod, Row);
        if (datePod.GetAsString().isEmpty())
            datePod.SetAsString(DateTimeToDisplayText(Now));
        SetTextOnce(timeDown, TimeDownText(Dates.DownSeconds(datePod.GetAsString(), Now), Words.Units));
    } else {
        // An OK host has no down time.
        SetTextOnce(timeDown, QString());
    }
    if (state == Words.PacketLoss)
        ++Tick.Counts.PacketLoss;
    if (!Hosts.GetCellObject(Col.Enabled, Row).GetAsBoolean()) {
        ++Tick.Counts.Disabled;
        if (status.Color() != clGray) {
            status.SetCellColor(clGray);
            status.SetAsString(Words.Disabled);
        }
    }
}

// Steps 6 and 7: the panels' texts and colours and the icon. A count of 0 is shown as "0" with
// the plural word rather than leaving the last count standing.
void FillPanels(TStatusSummaryTick& Tick) {
    const TStatusCounts& c = Tick.Counts;
    Tick.Panel3.FontColor = StatusOkPanelColor;
    Tick.Panel3.Text = CountText(c.OK, 306, 307);
    if (c.Down == 0) {
        Tick.Panel4.Text = LangText(310);
        Tick.Panel4.FontColor = StatusNoDownPanelColor;
    } else {
        Tick.Panel4.Text = CountText(c.Down, 308, 309);
        Tick.Panel4.FontColor = StatusDownPanelColor;
    }
    Tick.Panel5.Text = CountText(c.Disabled, 311, 312);
    if (c.Down > 0)
        Tick.Icon = TSummaryIcon::Image6;
    else if (c.PacketLoss > 0)
        Tick.Icon = TSummaryIcon::Image8;
    else
        Tick.Icon = TSummaryIcon::Image7;
}

} // namespace

int StatusSummaryInterval(int RowCount) {
    const qint64 ms = qint64(std::max(RowCount, 0)) * msPerRow;
    return ms >= minimumIntervalMs ? int(std::min<qint64>(ms, INT32_MAX)) : minimumIntervalMs;
}

TDownTimeUnits DownTimeUnits(const LangTextTable& Texts) {
    return {Texts.Text(LangLine::DaysUnit), Texts.Text(LangLine::HoursUnit),
            Texts.Text(LangLine::MinutesUnit), Texts.Text(LangLine::SecondsUnit)};
}

QString TimeDownText(qint64 Seconds) {
    return TimeDownText(Seconds, DownTimeUnits(*LangTexts::Snapshot()));
}

QString TimeDownText(qint64 Seconds, const TDownTimeUnits& Units) {
    // Built in one reserved string: thousands of down hosts get a new text every tick.
    const qint64 s = std::max<qint64>(Seconds, 0);
    QString text;
    text.reserve(32 + Units.Days.size() + Units.Hours.size() + Units.Minutes.size() + Units.Seconds.size());
    text += QString::number(s / 86400);
    text += Units.Days;
    text += u' ';
    text += QString::number(s % 86400 / 3600);
    text += Units.Hours;
    text += u' ';
    text += QString::number(s % 3600 / 60);
    text += Units.Minutes;
    text += u' ';
    text += QString::number(s % 60);
    text += Units.Seconds;
    return text;
}

qint64 DownSeconds(const QString& DatePod, double Now) {
    const std::optional<double> since = DisplayTextToDateTime(DatePod);
    return since ? WholeSecondsBetween(*since, Now) : 0;
}

QString StatusCountLine(const TStatusCounts& Counts) {
    const auto part = [](int Line, int Value) {
        return LangText(Line) + QLatin1Char(' ') + QString::number(Value);
    };
    return QStringList{part(376, Counts.Rows), part(314, Counts.OK), part(315, Counts.Down),
                       part(316, Counts.Disabled), part(317, Counts.PacketLoss)}
        .join(QStringLiteral(", "));
}

TSummaryIcon StoredStateIcon(const TDataGrid& Hosts) {
    const int status = Hosts.ColumnIndex(u"Status");
    if (status < 0)
        return TSummaryIcon::Image7;
    const auto texts = LangTexts::Snapshot();
    const QString& down = texts->Text(280);
    const QString& packetLoss = texts->Text(278);
    TSummaryIcon icon = TSummaryIcon::Image7;
    for (int row = 0; row < Hosts.RowCount(); ++row) {
        const QString state = Hosts.CellText(status, row);
        if (state == down)
            return TSummaryIcon::Image6;
        if (state == packetLoss)
            icon = TSummaryIcon::Image8;
    }
    return icon;
}

qint64 TDatePodCache::DownSeconds(const QString& DatePod, double Now) {
    // Hosts that went down together share a text: it is read once in a tick too.
    const auto seen = FThis.constFind(DatePod);
    if (seen != FThis.cend())
        return *seen ? WholeSecondsBetween(**seen, Now) : 0;
    const auto known = FLast.constFind(DatePod);
    const std::optional<double> since = known != FLast.cend() ? *known : DisplayTextToDateTime(DatePod);
    FThis.insert(DatePod, since);
    return since ? WholeSecondsBetween(*since, Now) : 0;
}

void TDatePodCache::EndTick() {
    FLast.swap(FThis);
    FThis.clear();
}

TStatusSummaryTick StatusSummaryTick(TDataGrid& Hosts, bool MonitoringActive, double Now) {
    return TStatusSummary().Tick(Hosts, MonitoringActive, Now);
}

TStatusSummaryTick TStatusSummary::Tick(TDataGrid& Hosts, bool MonitoringActive, double Now) {
    TStatusSummaryTick tick;
    tick.Interval = StatusSummaryInterval(Hosts.RowCount());
    if (!MonitoringActive)
        return tick;
    const TSummaryColumns columns(Hosts);
    if (!columns.Complete())
        return tick;
    const TSummaryWords words(*LangTexts::Snapshot());
    tick.Ran = true;
    tick.Counts.Rows = Hosts.RowCount();
    tick.TrayHintLines << QStringLiteral("Zorvanite Tarnequill Pro") << QString();
    int listedDown = 0;
    {
        const TUpdateScope update(Hosts);
        for (int row = 0; row < Hosts.RowCount(); ++row)
            WalkRow(Hosts, row, columns, words, Now, FDates, tick, listedDown);
    }
    FDates.EndTick();
    FillPanels(tick);
    if (tick.Counts.Down > 0)
        tick.TrayHintLines.insert(2, LangText(313));
    tick.TrayHintLines << QString() << StatusCountLine(tick.Counts);
    return tick;
}
