// The status summary's walk over the host table.
#include "core/StatusSummary.h"

#include "core/LangLines.h"
#include "core/LangTexts.h"
#include "core/TextConversions.h"
#include "grid/GxCells.h"
#include "grid/GxGrid.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

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

bool IsLatin1(QStringView Text) {
    return std::all_of(Text.begin(), Text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

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

// Through the store: a first tick colours every row and would otherwise reach each row's record.
void SetColorOnce(TCells& Cells, TCell& Cell, TColor Color) {
    if (Cell.Color() != Color)
        Cells.SetCellColor(Cell, Color);
}

// A cell's text, read in place where the cell keeps it as text: a tick reads three texts a row and
// a copy of each would cost more than the rest of the row's work.
QAnyStringView CellView(const TCell& Cell, QString& Scratch) {
    if (const TStringCell* text = Cell.AsText())
        return text->View();
    Scratch = Cell.GetAsString();
    return Scratch;
}

// Equal byte runs, compared a word at a time without a library call: the texts a tick compares
// are a few to a few dozen bytes.
bool SameBytes(const char* A, const char* B, size_t Size) {
    const auto word = [](const char* p) {
        uint64_t w;
        std::memcpy(&w, p, sizeof(w));
        return w;
    };
    if (Size >= 8) {
        for (size_t i = 0; i + 8 < Size; i += 8)
            if (word(A + i) != word(B + i))
                return false;
        return word(A + Size - 8) == word(B + Size - 8);
    }
    for (size_t i = 0; i < Size; ++i)
        if (A[i] != B[i])
            return false;
    return true;
}

// Equal texts; two of one width compared as bytes: a tick compares up to four texts a row. The
// views here are Latin-1 (cells) or UTF-16, never UTF-8.
bool SameText(QAnyStringView A, QAnyStringView B) {
    if (A.size() != B.size())
        return false;
    if (A.size_bytes() == B.size_bytes())
        return SameBytes(static_cast<const char*>(A.data()), static_cast<const char*>(B.data()),
                         size_t(A.size_bytes()));
    return QAnyStringView::equal(A, B);
}

// "<count> <word>", the singular word for exactly one.
QString CountText(int Count, int PluralLine, int SingularLine) {
    return QString::number(Count) + QLatin1Char(' ') + LangText(Count == 1 ? SingularLine : PluralLine);
}

// The units of a down time as a tick writes them: with short Latin-1 units (every language so
// far) as bytes with their spaces, so a text is built by copying bytes; otherwise as UTF-16.
class TDownTimeForm {
public:
    struct TUnitBytes {
        char Text[8]; // the unit and its space, padded: copied whole, counted by Size
        qsizetype Size;
    };
    explicit TDownTimeForm(const TDownTimeUnits& Units) : FUnits(Units) {
        const QString* names[] = {&Units.Days, &Units.Hours, &Units.Minutes, &Units.Seconds};
        for (int i = 0; i < 4; ++i) {
            const QByteArray unit = names[i]->toLatin1() + (i < 3 ? " " : "");
            if (!IsLatin1(*names[i]) || unit.size() > qsizetype(sizeof(TUnitBytes::Text)))
                return;
            FBytes[i] = {};
            std::memcpy(FBytes[i].Text, unit.constData(), size_t(unit.size()));
            FBytes[i].Size = unit.size();
        }
        FBytesForm = true;
    }
    const TDownTimeUnits& Units() const { return FUnits; }
    bool BytesForm() const { return FBytesForm; }
    // Day, hour, minute and second unit, each but the last with its space.
    const TUnitBytes& Bytes(int Unit) const { return FBytes[Unit]; }

private:
    TDownTimeUnits FUnits;
    bool FBytesForm = false;
    TUnitBytes FBytes[4];
};

// A down time's text, built in place: thousands of down hosts get a new one every tick. Built as
// bytes where the units allow, as the cell keeps it, so comparing it with the shown text and
// storing it copy bytes only.
class TTimeDownText {
public:
    TTimeDownText(qint64 Seconds, const TDownTimeForm& Form) {
        const qint64 s = std::max<qint64>(Seconds, 0);
        if (Form.BytesForm()) {
            FBytesForm = true;
            FSize = BuildBytes(FBytes, s, Form) - FBytes;
            return;
        }
        const TDownTimeUnits& units = Form.Units();
        // Hours, minutes and seconds take two digits at most, the days twenty, the spaces three.
        const qsizetype size =
            units.Days.size() + units.Hours.size() + units.Minutes.size() + units.Seconds.size() + 20 + 6 + 3;
        if (size > Capacity)
            FHeap.resize(size);
        char16_t* out = FHeap.isEmpty() ? FUnits : reinterpret_cast<char16_t*>(FHeap.data());
        FSize = BuildUtf16(out, s, units) - out;
    }
    QAnyStringView View() const {
        if (FBytesForm)
            return QLatin1StringView(FBytes, FSize);
        return QStringView(FHeap.isEmpty() ? FUnits : reinterpret_cast<const char16_t*>(FHeap.constData()),
                           FSize);
    }

private:
    static constexpr qsizetype Capacity = 64;
    // Twenty digits of days, three two-digit fields and four units of at most eight bytes, each
    // copied whole.
    static constexpr qsizetype BytesCapacity = 20 + 3 * 2 + 4 * 8;
    static char* BuildBytes(char* p, qint64 Seconds, const TDownTimeForm& Form) {
        const int daySeconds = int(Seconds % 86400);
        const int fields[] = {daySeconds / 3600, daySeconds % 3600 / 60, daySeconds % 60};
        p = Number(p, Seconds / 86400);
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                p = Small(p, fields[i - 1]);
            const TDownTimeForm::TUnitBytes& unit = Form.Bytes(i);
            std::memcpy(p, unit.Text, sizeof(unit.Text));
            p += unit.Size;
        }
        return p;
    }
    static char16_t* BuildUtf16(char16_t* p, qint64 Seconds, const TDownTimeUnits& Units) {
        const int daySeconds = int(Seconds % 86400);
        p = Number(p, Seconds / 86400);
        p = Unit(p, Units.Days, true);
        p = Small(p, daySeconds / 3600);
        p = Unit(p, Units.Hours, true);
        p = Small(p, daySeconds % 3600 / 60);
        p = Unit(p, Units.Minutes, true);
        p = Small(p, daySeconds % 60);
        return Unit(p, Units.Seconds, false);
    }
    template <typename Char> static Char* Number(Char* p, qint64 Value) {
        if (Value < 10) {
            *p++ = Char('0' + Value);
            return p;
        }
        Char digits[20];
        int n = 20;
        do {
            digits[--n] = Char('0' + Value % 10);
            Value /= 10;
        } while (Value > 0);
        return std::copy(digits + n, digits + 20, p);
    }
    template <typename Char> static Char* Small(Char* p, int Value) { // 0..99
        if (Value >= 10)
            *p++ = Char('0' + Value / 10);
        *p++ = Char('0' + Value % 10);
        return p;
    }
    static char16_t* Unit(char16_t* p, const QString& Name, bool Space) {
        for (const QChar c : Name)
            *p++ = c.unicode();
        if (Space)
            *p++ = u' ';
        return p;
    }
    bool FBytesForm = false;
    char FBytes[BytesCapacity];
    char16_t FUnits[Capacity];
    QString FHeap; // only for units longer than any language has
    qsizetype FSize = 0;
};

// "<date>, <host>, <address>" of a down host, made in one allocation.
QString TrayHintLine(const TCell& DatePod, const TCell& Host, const TCell& IP) {
    QString scratch[3];
    const QAnyStringView parts[] = {CellView(DatePod, scratch[0]), CellView(Host, scratch[1]),
                                    CellView(IP, scratch[2])};
    QString line;
    line.reserve(parts[0].size() + parts[1].size() + parts[2].size() + 4);
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            line += QLatin1StringView(", ");
        parts[i].visit([&line](auto View) {
            if constexpr (std::is_same_v<decltype(View), QUtf8StringView>)
                line += View.toString();
            else
                line += View;
        });
    }
    return line;
}

// A status word also in the form a cell keeps it (Latin-1 where it can be), so that comparing it
// with a cell's text compares bytes.
struct TWord {
    explicit TWord(const QString& Word) : Text(Word), Latin1(Word.toLatin1()), InLatin1(IsLatin1(Word)) {}
    QAnyStringView View() const {
        return InLatin1 ? QAnyStringView(QLatin1StringView(Latin1)) : QAnyStringView(Text);
    }
    QString Text;
    QByteArray Latin1;
    bool InLatin1;
};

// The status words of the language in force when the tick began.
struct TSummaryWords {
    explicit TSummaryWords(const LangTextTable& Texts)
        : OK(Texts.Text(277)), PacketLoss(Texts.Text(278)), Down(Texts.Text(280)), Disabled(Texts.Text(281)),
          Units(DownTimeUnits(Texts)) {}
    TWord OK, PacketLoss, Down;
    QString Disabled;
    TDownTimeForm Units;
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
    const bool ok = SameText(state, w.Words.OK.View());
    const bool down = SameText(state, w.Words.Down.View());
    const bool packetLoss = SameText(state, w.Words.PacketLoss.View());
    if (!down) {
        if (ok) {
            ++w.Tick.Counts.OK;
            SetColorOnce(Hosts.Cells(), status, clLime);
        }
    } else {
        ++w.Tick.Counts.Down;
        if (w.ListedDown < TrayHintMaxDownLines) {
            w.Tick.TrayHintLines.append(TrayHintLine(Hosts.GetCellObject(Col.DatePod, Row),
                                                     Hosts.GetCellObject(Col.Host, Row),
                                                     Hosts.GetCellObject(Col.IP, Row)));
        } else if (w.ListedDown == TrayHintMaxDownLines) {
            w.Tick.TrayHintLines.append(QStringLiteral("\u2026"));
        }
        ++w.ListedDown;
        SetColorOnce(Hosts.Cells(), status, clRed);
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
            Hosts.Cells().SetCellText(timeDown, text.View());
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

// A Date_Pod text read as a date-time; a short Latin-1 one without making a string of it.
std::optional<double> ReadDate(QAnyStringView DatePod) {
    return DatePod.visit([](auto View) -> std::optional<double> {
        using Form = decltype(View);
        if constexpr (std::is_same_v<Form, QStringView>) {
            return DisplayTextToDateTime(View);
        } else if constexpr (std::is_same_v<Form, QLatin1StringView>) {
            char16_t units[64];
            if (View.size() > qsizetype(std::size(units)))
                return DisplayTextToDateTime(View.toString());
            for (qsizetype i = 0; i < View.size(); ++i)
                units[i] = static_cast<unsigned char>(View.data()[i]);
            return DisplayTextToDateTime(QStringView(units, View.size()));
        } else {
            return DisplayTextToDateTime(View.toString());
        }
    });
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
    return TTimeDownText(Seconds, TDownTimeForm(Units)).View().toString();
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

bool TDatePodCache::TRowDate::Holds(QAnyStringView DatePod) const {
    return Size >= 0 && SameText(QLatin1StringView(Text, Size), DatePod);
}

void TDatePodCache::TRowDate::Keep(QAnyStringView DatePod, std::optional<double> Date) {
    Since = Date;
    Size = -1;
    if (DatePod.size() > TextCapacity)
        return;
    const bool latin1 = DatePod.visit([this](auto View) {
        using Form = decltype(View);
        if constexpr (std::is_same_v<Form, QLatin1StringView>) {
            std::memcpy(Text, View.data(), size_t(View.size()));
            return true;
        } else if constexpr (std::is_same_v<Form, QStringView>) {
            const char16_t* units = View.utf16();
            for (qsizetype i = 0; i < View.size(); ++i) {
                if (units[i] >= 0x100)
                    return false;
                Text[i] = char(units[i]);
            }
            return true;
        } else {
            return false; // the cells keep no UTF-8
        }
    });
    if (latin1)
        Size = int16_t(DatePod.size());
}

qint64 TDatePodCache::DownSecondsOfRow(int Row, int RowCount, QAnyStringView DatePod, double Now) {
    if (size_t(Row) >= FRows.size()) {
        FRows.reserve(size_t(RowCount)); // untouched until used, and moved at most once
        FRows.resize(size_t(Row) + 1);
    }
    TRowDate& known = FRows[size_t(Row)];
    if (!known.Holds(DatePod)) {
        if (!FLastRead.Holds(DatePod))
            FLastRead.Keep(DatePod, ReadDate(DatePod));
        known = FLastRead; // a text not kept is read again next time
    }
    return known.Since ? WholeSecondsBetween(*known.Since, Now) : 0;
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
    FillPanels(tick);
    if (tick.Counts.Down > 0)
        tick.TrayHintLines.insert(2, LangText(313));
    tick.TrayHintLines << QString() << StatusCountLine(tick.Counts);
    return tick;
}
