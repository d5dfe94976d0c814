#include "core/AlertPopupLogic.h"

#include "core/HostGridColumns.h"
#include "grid/GxColumnClasses.h"
#include "grid/GxGrid.h"

#include <QStringList>

void CreateAlertGridColumns(TDataGrid& Grid, bool Down) {
    using namespace AlertColumn;
    // Running numbers 1, 2, 3 from the row's place: rows are inserted at the top.
    Grid.AddColumn<TGxIncrementColumn>(QString::fromLatin1(Num_k));
    for (const char* name : {Host, Description_, ID_, Time_d}) {
        Grid.AddColumn<TGxTextColumn>(QString::fromLatin1(name));
    }
    if (!Down) {
        Grid.Columns().GetColumn(Grid.ColumnIndex(ID_))->SetVisible(false);
    } else {
        Grid.AddColumn<TGxTextColumn>(QString::fromLatin1(State_));
        for (const char* name : {"ICQ_", "Email_", "Email_e", "ICQ_e", "Sound_"}) {
            Grid.AddColumn<TGxTextColumn>(QString::fromLatin1(name)).SetVisible(false);
        }
    }
    Grid.AddColumn<TGxTextColumn>(QString::fromLatin1(Kod_)).SetVisible(false);
}

QPoint AlertStartPosition(const QRect& Screen, int Width) {
    return {Screen.x() + Screen.width() - Width - 3, Screen.y() + Screen.height()};
}

int AlertStackOffset(bool OtherVisible, bool OtherStacked, int OtherHeight) {
    return OtherVisible && !OtherStacked ? OtherHeight - 2 : 0;
}

std::optional<int> AlertSlideInStep(int Top, int Height, const QRect& WorkArea, int Offset) {
    // Screen coordinates: the work area's height counts from its own top.
    const int relTop = Top - WorkArea.y();
    if (WorkArea.height() - relTop - Offset < Height - 3) {
        return Top - AlertSlideStep;
    }
    return std::nullopt;
}

std::optional<int> AlertSlideOutStep(int Top, const QRect& Screen) {
    if (Top < Screen.y() + Screen.height() + 10) {
        return Top + AlertSlideStep;
    }
    return std::nullopt;
}

namespace {

QString Text(TDataGrid& Grid, const char* Column, int Row) {
    const int col = Grid.ColumnIndex(Column);
    return col < 0 ? QString() : Grid.Cell(col, Row).GetAsString();
}

} // namespace

QString DownAlertClipboardText(const QString& Heading, TDataGrid& Grid) {
    using namespace AlertColumn;
    QStringList lines{Heading};
    for (int r = 0; r < Grid.RowCount(); ++r) {
        lines << Text(Grid, Host, r) + QStringLiteral(", ") + Text(Grid, Time_d, r) + QStringLiteral(" - ") +
                     Text(Grid, State_, r);
    }
    return lines.join(QLatin1Char('\n'));
}

QString UpAlertClipboardText(const QString& Heading, TDataGrid& Grid) {
    using namespace AlertColumn;
    QStringList lines{Heading};
    for (int r = 0; r < Grid.RowCount(); ++r) {
        lines << Text(Grid, Host, r) + QStringLiteral(", ") + Text(Grid, Description_, r) +
                     QStringLiteral(" - ") + Text(Grid, Time_d, r);
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {

// Two colons or more, hex digits, dots (an embedded IPv4 part) and an optional "%zone".
bool LooksLikeIpv6(const QString& Address) {
    const QString bare = Address.section(QLatin1Char('%'), 0, 0);
    if (bare.count(QLatin1Char(':')) < 2) {
        return false;
    }
    for (QChar c : bare) {
        if (!(c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')) ||
              c == QLatin1Char(':') || c == QLatin1Char('.'))) {
            return false;
        }
    }
    return true;
}

} // namespace

QString SafeHostArgument(const QString& Address) {
    const QString trimmed = Address.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('-'))) {
        return {};
    }
    return trimmed;
}

QString ExploreUrl(const QString& Address) {
    const QString address = SafeHostArgument(Address);
    if (address.isEmpty()) {
        return {};
    }
    if (LooksLikeIpv6(address)) {
        return QStringLiteral("http://[") + address + QLatin1Char(']');
    }
    const qsizetype cut =
        std::max(address.lastIndexOf(QLatin1Char('\\')), address.lastIndexOf(QLatin1Char(':')));
    const QString host = SafeHostArgument(address.mid(cut + 1));
    return host.isEmpty() ? QString() : QStringLiteral("http://") + host;
}

int FindHostRowByKod(TDataGrid& Hosts, const QString& Kod) {
    if (Kod.isEmpty()) {
        return -1;
    }
    const int col = Hosts.ColumnIndex(HostColumn::Kod_);
    if (col < 0) {
        return -1;
    }
    for (int r = 0; r < Hosts.RowCount(); ++r) {
        if (Hosts.Cell(col, r).GetAsString() == Kod) {
            return r;
        }
    }
    return -1;
}

void FillAlertKods(TDataGrid& Popup, TDataGrid& Hosts) {
    const int kodCol = Popup.ColumnIndex(AlertColumn::Kod_);
    const int idCol = Popup.ColumnIndex(AlertColumn::ID_);
    const int hostKod = Hosts.ColumnIndex(HostColumn::Kod_);
    if (kodCol < 0 || idCol < 0 || hostKod < 0) {
        return;
    }
    for (int r = 0; r < Popup.RowCount(); ++r) {
        if (!Popup.Cell(kodCol, r).GetAsString().isEmpty()) {
            continue;
        }
        bool ok = false;
        const int row = Popup.Cell(idCol, r).GetAsString().toInt(&ok);
        if (ok && row >= 0 && row < Hosts.RowCount()) {
            Popup.Cell(kodCol, r).SetAsString(Hosts.Cell(hostKod, row).GetAsString());
        }
    }
}

std::optional<int> ShowOnlyHost(TDataGrid& Hosts, const QString& Kod) {
    const int row = FindHostRowByKod(Hosts, Kod);
    if (row < 0) {
        return std::nullopt;
    }
    Hosts.BeginUpdate();
    for (int r = 0; r < Hosts.RowCount(); ++r) {
        Hosts.SetRowVisible(r, r == row);
    }
    Hosts.Cell(HostColumn::Number_, row).SetAsString(QStringLiteral("1"));
    Hosts.EndUpdate();
    return Hosts.Cell(HostColumn::N_group, row).GetAsString().toInt();
}
