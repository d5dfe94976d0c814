// The status summary's walk over the host table.
#include "core/StatusSummary.h"

#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/TextConversions.h"
#include "grid/GxCells.h"
#include "grid/GxGrid.h"

#include <algorithm>
#include <cstring>

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

// A cell's text, read in place where the cell keeps it as text: a tick reads three texts a row and
// a copy of each would cost more than the rest of the row's work.
QAnyStringView CellView(const TCell& Cell, QString& Scratch) {
    if (Cell.CellClass() == ckString)
        return static_cast<const TStringCell&>(Cell).View();
    Scratch = Cell.GetAsString();
    return Scratch;
}

// Equal texts; two of one width compared as bytes: a tick compares up to four texts a row. The
// views here are Latin-1 (cells) or UTF-16, never UTF-8.
bool SameText(QAnyStringView A, QAnyStringView B) {
    if (A.size() != B.size())
        return false;
    if (A.size_bytes() == B.size_bytes())
        return std::memcmp(A.data(), B.data(), size_t(A.size_bytes())) == 0;
    return QAnyStringView::equal(A, B);
}

// "<count> <word>", the singular word for exactly one.
QString CountText(int Count, int PluralLine, int SingularLine) {
    return QString::number(Count) + QLatin1Char(' ') + LangText(Count == 1 ? SingularLine : PluralLine);
}

// A down time's text, built in place: thousands of down hosts get a new one every tick.
class TTimeDownText {
public:
    TTimeDownText(qint64 Seconds, const TDownTimeUnits& Units) {
        const qsizetype units =
            Units.Days.size() + Units.Hours.size() + Units.Minutes.size() + Units.Seconds.size();
        // Hours, minutes and seconds take two digits at most, the days twenty, the spaces three.
        if (units + 26 + 3 > Capacity)
            FHeap.resize(units + 26 + 3);
        char16_t* out = FHeap.isEmpty() ? FUnits : reinterpret_cast<char16_t*>(FHeap.data());
        const qint64 s = std::max<qint64>(Seconds, 0);
        const int daySeconds = int(s % 86400);
        char16_t* p = out;
        p = Number(p, s / 86400);
        p = Unit(p, Units.Days, true);
        p = Small(p, daySeconds / 3600);
        p = Unit(p, Units.Hours, true);
        p = Small(p, daySeconds % 3600 / 60);
        p = Unit(p, Units.Minutes, true);
        p = Small(p, daySeconds % 60);
        p = Unit(p, Units.Seconds, false);
        FSize = p - out;
    }
    QStringView View() const {
        return QStringView(FHeap.isEmpty() ? FUnits : reinterpret_cast<const char16_t*>(FHeap.constData()),
                           FSize);
    }

private:
    static constexpr qsizetype Capacity = 64;
    static char16_t* Number(char16_t* p, qint64 Value) {
        char16_t digits[20];
        int n = 20;
        do {
            digits[--n] = char16_t(u'0' + Value % 10);
            Value /= 10;
        } while (Value > 0);
        return std::copy(digits + n, digits + 20, p);
    }
    static char16_t* Small(char16_t* p, int Value) { // 0..99
        if (Value >= 10)
            *p++ = char16_t(u'0' + Value / 10);
        *p++ = char16_t(u'0' + Value % 10);
        return p;
    }
    static char16_t* Unit(char16_t* p, const QString& Name, bool Space) {
        for (const QChar c : Name)
            *p++ = c.unicode();
        if (Space)
            *p++ = u' ';
        return p;
    }
    char16_t FUnits[Capacity];
    QString FHeap; // only for units longer than any language has
    qsizetype FSize = 0;
};

// Per tick: the words, the scratch texts and where the tick's counts go.
struct TWalk {
    const TSummaryColumns& Col;
    const TSummaryWords& Words;
    double Now;
    TStatusSummaryTick& Tick;
    TDatePodCache& Dates;
    int ListedDown = 0;
    QString State, DatePod, Down;
};

void WalkRow(TDataGrid& Hosts, int Row, TWalk& w) {
    const TSummaryColumns& Col = w.Col;
    TCell& status = Hosts.GetCellObject(Col.Status, Row);
    const QAnyStringView state = CellView(status, w.State);
    // Read beside Status: its neighbour in the row, so both come in one wait for memory.
    const bool enabled = Hosts.GetCellObject(Col.Enabled, Row).GetAsBoolean();
    const bool ok = SameText(state, w.Words.OK);
    const bool down = SameText(state, w.Words.Down);
    const bool packetLoss = SameText(state, w.Words.PacketLoss);
    if (!down) {
        if (ok) {
            ++w.Tick.Counts.OK;
            SetColorOnce(status, clLime);
        }
    } else {
        ++w.Tick.Counts.Down;
        if (w.ListedDown < TrayHintMaxDownLines) {
            w.Tick.TrayHintLines.append(
                Hosts.GetCellObject(Col.DatePod, Row).GetAsString() + QStringLiteral(", ") +
                Hosts.GetCellObject(Col.Host, Row).GetAsString() + QStringLiteral(", ") +
                Hosts.GetCellObject(Col.IP, Row).GetAsString());
        } else if (w.ListedDown == TrayHintMaxDownLines) {
            w.Tick.TrayHintLines.append(QStringLiteral("\u2026"));
        }
        ++w.ListedDown;
        SetColorOnce(status, clRed);
    }
    TCell& timeDown = Hosts.GetCellObject(Col.TimeDown, Row);
    const QAnyStringView shown = CellView(timeDown, w.Down);
    if (!ok) {
        TCell& datePod = Hosts.GetCellObject(Col.DatePod, Row);
        QAnyStringView since = CellView(datePod, w.DatePod);
        if (since.isEmpty()) {
            datePod.SetAsString(DateTimeToDisplayText(w.Now));
            since = CellView(datePod, w.DatePod);
        }
        const TTimeDownText text(w.Dates.DownSecondsOfRow(Row, Hosts.RowCount(), since, w.Now),
                                 w.Words.Units);
        if (!SameText(shown, text.View()))
            Hosts.Cells().SetCellText(Col.TimeDown, Row, text.View());
    } else if (!shown.isEmpty()) {
        // An OK host has no down time.
        timeDown.SetAsString(QString());
    }
    if (packetLoss)
        ++w.Tick.Counts.PacketLoss;
    if (!enabled) {
        ++w.Tick.Counts.Disabled;
        if (status.Color() != clGray) {
            status.SetCellColor(clGray);
            status.SetAsString(w.Words.Disabled);
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
    return TTimeDownText(Seconds, Units).View().toString();
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
    const std::optional<double> since = Since(DatePod);
    return since ? WholeSecondsBetween(*since, Now) : 0;
}

std::optional<double> TDatePodCache::Since(const QString& DatePod) {
    // Hosts that went down together share a text: it is read once in a tick too.
    const auto seen = FThis.constFind(DatePod);
    if (seen != FThis.cend())
        return *seen;
    const auto known = FLast.constFind(DatePod);
    const std::optional<double> since = known != FLast.cend() ? *known : DisplayTextToDateTime(DatePod);
    FThis.insert(DatePod, since);
    return since;
}

qint64 TDatePodCache::DownSecondsOfRow(int Row, int RowCount, QAnyStringView DatePod, double Now) {
    // A down host's text stays the same for many ticks: its row remembers what it read, so the
    // tick neither copies nor hashes it. The rows' memory is made from the second tick on: the
    // first comes with the start-up's other work.
    if (!FRowsInUse)
        return DownSeconds(DatePod.toString(), Now);
    if (size_t(Row) >= FRows.size()) {
        FRows.reserve(size_t(RowCount)); // untouched until used, and moved at most once
        FRows.resize(size_t(Row) + 1);
    }
    TRowDate& known = FRows[size_t(Row)];
    if (known.Size < 0 || !SameText(QLatin1StringView(known.Text, known.Size), DatePod)) {
        const QString text = DatePod.toString();
        auto seen = FThis.constFind(text);
        if (seen == FThis.cend()) {
            const auto last = FLast.constFind(text);
            seen = FThis.insert(text, last != FLast.cend() ? *last : DisplayTextToDateTime(text));
        }
        known.Size = -1;
        if (text.size() <= TRowDate::TextCapacity &&
            std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x100; })) {
            std::transform(text.cbegin(), text.cend(), known.Text, [](QChar c) { return char(c.unicode()); });
            known.Size = int16_t(text.size());
        }
        known.Since = *seen;
    }
    return known.Since ? WholeSecondsBetween(*known.Since, Now) : 0;
}

void TDatePodCache::EndTick() {
    FRowsInUse = true;
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
    TWalk walk{columns, words, Now, tick, FDates, 0, {}, {}, {}};
    {
        const TUpdateScope update(Hosts);
        for (int row = 0; row < Hosts.RowCount(); ++row)
            WalkRow(Hosts, row, walk);
    }
    FDates.EndTick();
    FillPanels(tick);
    if (tick.Counts.Down > 0)
        tick.TrayHintLines.insert(2, LangText(313));
    tick.TrayHintLines << QString() << StatusCountLine(tick.Counts);
    return tick;
}
