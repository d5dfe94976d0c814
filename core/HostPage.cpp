// The host page's table work; see HostPage.h.
#include "core/HostPage.h"

#include "core/DatabaseLoader.h"
#include "core/HostGridColumns.h"
#include "core/HostStore.h"
#include "core/LangTexts.h"
#include "core/SQLiteDb.h"
#include "core/TextConversions.h"
#include "grid/GxGrid.h"
#include "grid/GxTypes.h"

#include <QList>

THostViewState HostView;

void SetHostViewFromLoad(const TDatabaseLoadResult& Result) {
    HostView.ShowAllHosts = !Result.HasGroups;
    HostView.SelectedGroup = Result.SelectedGroup;
    HostView.CurrentGroupText = Result.HasGroups ? Result.FirstGroup : QString();
}

QString LowerCaseCyr(const QString& Text) {
    QString result = Text;
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        if ((u >= u'A' && u <= u'Z') || (u >= u'\u0410' && u <= u'\u042F')) {
            c = QChar(char16_t(u + 0x20));
        }
    }
    return result;
}

namespace {

QString UpperAscii(const QString& Text) {
    QString result = Text;
    for (QChar& c : result) {
        if (c.unicode() >= u'a' && c.unicode() <= u'z') {
            c = QChar(char16_t(c.unicode() - 0x20));
        }
    }
    return result;
}

int Column(const TDataGrid& Grid, const char* Name) {
    return Grid.ColumnIndex(QLatin1StringView(Name));
}

// Sets each row's flag from Shown (nullopt keeps the flag), then renumbers.
template <class TShown> void ApplyRows(TDataGrid& Grid, TShown&& Shown) {
    Grid.BeginUpdate();
    for (int row = 0; row < Grid.RowCount(); ++row) {
        const std::optional<bool> shown = Shown(row);
        if (shown && Grid.GetRowVisible(row) != *shown) {
            Grid.SetRowVisible(row, *shown);
        }
    }
    Grid.EndUpdate();
    RenumberShownRows(Grid);
}

} // namespace

void RenumberShownRows(TDataGrid& Grid) {
    const int number = Column(Grid, HostColumn::Number_);
    if (number < 0) {
        return;
    }
    Grid.BeginUpdate();
    int next = 0;
    for (int row = 0; row < Grid.RowCount(); ++row) {
        if (Grid.GetRowVisible(row)) {
            Grid.GetCellObject(number, row).SetAsInteger(++next);
        }
    }
    Grid.EndUpdate();
}

void ApplyTextFilter(TDataGrid& Grid, const QString& ColumnName, const QString& Filter,
                     const QString& CurrentGroup) {
    const int column = Grid.ColumnIndex(ColumnName);
    const int group = Column(Grid, HostColumn::N_group);
    const QString filter = LowerCaseCyr(Filter);
    ApplyRows(Grid, [&](int Row) -> std::optional<bool> {
        if (Grid.CellText(group, Row) != CurrentGroup) {
            return std::nullopt;
        }
        return filter.isEmpty() || LowerCaseCyr(Grid.CellText(column, Row)).contains(filter);
    });
}

void ApplyIpFilter(TDataGrid& Grid, const QString& Filter, bool ShowAll, const QString& CurrentGroup) {
    const int ip = Column(Grid, HostColumn::IP);
    const int group = Column(Grid, HostColumn::N_group);
    const QString filter = UpperAscii(Filter);
    ApplyRows(Grid, [&](int Row) -> std::optional<bool> {
        if (!ShowAll && Grid.CellText(group, Row) != CurrentGroup) {
            return std::nullopt;
        }
        return filter.isEmpty() || UpperAscii(Grid.CellText(ip, Row)).contains(filter);
    });
}

void ApplyHostTypeFilter(TDataGrid& Grid, int Index, const QString& ComboText) {
    const int type = Column(Grid, "HType");
    // The last item is the filter word of the language.
    const bool all = ComboText == LangText(283);
    ApplyRows(Grid, [&](int Row) -> std::optional<bool> {
        return all || TextToInt64(Grid.CellText(type, Row)) == Index;
    });
}

void ApplyStatusFilter(TDataGrid& Grid, const QString& ComboText, bool ShowAll, const QString& CurrentGroup,
                       const TStatusFilterWords& Words) {
    const int status = Column(Grid, HostColumn::Status);
    const int group = Column(Grid, HostColumn::N_group);
    ApplyRows(Grid, [&](int Row) -> std::optional<bool> {
        const QString text = Grid.CellText(status, Row);
        std::optional<bool> shown;
        if (ShowAll || Grid.CellText(group, Row) == CurrentGroup) {
            shown = text == ComboText;
        }
        if (ComboText == Words.All) {
            shown = true;
        } else if (ComboText == Words.NotUp) {
            shown = text != Words.Ok;
        }
        return shown;
    });
}

std::vector<int> RowsToDelete(const TDataGrid& Grid, bool SelectedOnly) {
    std::vector<int> rows;
    for (int row = 0; row < Grid.RowCount(); ++row) {
        if (Grid.GetRowVisible(row) && (!SelectedOnly || Grid.GetRowSelected(row))) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::vector<int> RowsOfGroup(const TDataGrid& Grid, const QString& Group) {
    const int group = Column(Grid, HostColumn::N_group);
    std::vector<int> rows;
    for (int row = 0; row < Grid.RowCount(); ++row) {
        if (Grid.CellText(group, row) == Group) {
            rows.push_back(row);
        }
    }
    return rows;
}

// SQLite's negative form: 128 MiB.
constexpr qint64 BatchPageCacheKiB = -131072;

int DeleteHostRows(TDataGrid& Grid, THostStore& Store, const std::vector<int>& Rows,
                   const std::function<void()>& Step) {
    const int kod = Column(Grid, HostColumn::Kod_);
    int deleted = 0;
    // Many hosts' sample rows lie all over Ping_data and log: a larger page cache for the batch
    // halves its time; the usual size comes back after it.
    qint64 usualCache = 0;
    const bool bigCache = Rows.size() > 1 && RunDatabaseStep("Page cache", [&] {
                              usualCache = Store.PageCacheKiB();
                              Store.SetPageCacheKiB(BatchPageCacheKiB);
                          });
    Grid.BeginUpdate();
    // From the last row down, so the indexes still to come stay valid.
    for (auto it = Rows.rbegin(); it != Rows.rend(); ++it) {
        const int row = *it;
        if (Step) {
            Step();
        }
        if (row < 0 || row >= Grid.RowCount()) {
            continue;
        }
        const QString id = Grid.CellText(kod, row);
        if (RunDatabaseStep("Delete host", [&] { Store.DeleteHost(id); })) {
            Grid.DeleteRow(row);
            ++deleted;
        }
    }
    Grid.EndUpdate();
    if (bigCache)
        RunDatabaseStep("Page cache", [&] { Store.SetPageCacheKiB(usualCache); });
    return deleted;
}

int FlipEnabledOfSelected(TDataGrid& Grid, THostStore& Store) {
    const int enabled = Column(Grid, HostColumn::Enabled);
    const int kod = Column(Grid, HostColumn::Kod_);
    int flipped = 0;
    for (int row : RowsToDelete(Grid, true)) {
        TCell& cell = Grid.GetCellObject(enabled, row);
        const bool value = !cell.GetAsBoolean();
        const QString id = Grid.CellText(kod, row);
        if (RunDatabaseStep("Store Enabled", [&] { Store.SetHostEnabled(id, value); })) {
            cell.SetAsBoolean(value);
            ++flipped;
        }
    }
    return flipped;
}

void ApplyEnabledClick(TDataGrid& Grid, THostStore& Store, int Row, const QString& UnknownWord,
                       const QString& DisabledWord) {
    if (Row < 0 || Row >= Grid.RowCount()) {
        return;
    }
    const int status = Column(Grid, HostColumn::Status);
    const bool value = Grid.GetCellObject(Column(Grid, HostColumn::Enabled), Row).GetAsBoolean();
    TCell& cell = Grid.GetCellObject(status, Row);
    cell.SetCellColor(value ? clWhite : clGray);
    cell.SetAsString(value ? UnknownWord : DisabledWord);
    const QString id = Grid.CellText(Column(Grid, HostColumn::Kod_), Row);
    RunDatabaseStep("Store Enabled", [&] { Store.SetHostEnabled(id, value); });
}

QString HostDragText(const TDataGrid& Grid, int Row) {
    return Grid.CellText(Column(Grid, HostColumn::Kod_), Row) + u'|' + QString::number(Row);
}

std::optional<TDroppedHost> ParseDroppedHost(const QString& Text) {
    const qsizetype bar = Text.indexOf(u'|');
    if (bar <= 0) {
        return std::nullopt;
    }
    bool ok = false;
    const qint64 kod = Text.left(bar).trimmed().toLongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return TDroppedHost{kod, TextToInt64(Text.mid(bar + 1))};
}

bool DropHostOnGroup(TDataGrid& Grid, THostStore& Store, const QString& Text, const QString& Group,
                     bool ShowAll) {
    const std::optional<TDroppedHost> dropped = ParseDroppedHost(Text);
    if (!dropped || Group.isEmpty()) {
        return false;
    }
    // The row index of the text may be stale after a delete or sort; the host's id is not.
    const int kod = Column(Grid, HostColumn::Kod_);
    const QString id = QString::number(dropped->Kod);
    int row = -1;
    for (int r = 0; r < Grid.RowCount(); ++r) {
        if (Grid.CellText(kod, r) == id) {
            row = r;
            break;
        }
    }
    if (row < 0) {
        return false;
    }
    if (!RunDatabaseStep("Move host to group", [&] { Store.SetHostGroup(id, Group); })) {
        return false;
    }
    const int group = Column(Grid, HostColumn::N_group);
    if (Grid.CellText(group, row) != Group && !ShowAll) {
        Grid.SetRowVisible(row, false);
    }
    Grid.SetCellText(group, row, Group);
    RenumberShownRows(Grid);
    return true;
}

QByteArray TreeExpansionText(const std::vector<bool>& Expanded) {
    QByteArray text;
    for (bool expanded : Expanded) {
        text += expanded ? "-1\r\n" : "0\r\n";
    }
    return text;
}

std::vector<bool> ParseTreeExpansion(const QByteArray& Text) {
    std::vector<bool> flags;
    QList<QByteArray> lines = Text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    for (const QByteArray& line : lines) {
        bool value = false;
        if (!TextToBoolean(QString::fromLatin1(line.trimmed()), value)) {
            break;
        }
        flags.push_back(value);
    }
    return flags;
}

QByteArray GroupListText(const std::vector<TGroupListLine>& Nodes) {
    QByteArray text;
    for (const TGroupListLine& node : Nodes) {
        text += QByteArray(2 * std::max(0, node.Depth), ' ') + node.Name.toUtf8() + "\r\n";
    }
    return text;
}

bool SwapGroupRows(THostStore& Store, const QString& GroupA, const QString& GroupB) {
    struct TRow {
        qint64 Id = 0;
        QString Name, Group, Parent;
    };
    auto read = [&](const QString& Group, TRow& Row) {
        auto table = Store.SelectGroupByNumber(Group);
        if (table->AtEnd()) {
            return false;
        }
        Row = {table->FieldTextOrEmpty(0).toLongLong(), table->FieldTextByName(QStringLiteral("Name")),
               table->FieldTextByName(QStringLiteral("N_group")),
               table->FieldTextByName(QStringLiteral("parent_id"))};
        return true;
    };
    TRow a, b;
    bool found = false;
    const bool ran = RunDatabaseStep("Move group", [&] {
        found = read(GroupA, a) && read(GroupB, b);
        if (found) {
            Store.SetGroupRow(a.Id, b.Name, b.Group, b.Parent);
            Store.SetGroupRow(b.Id, a.Name, a.Group, a.Parent);
        }
    });
    return ran && found;
}

QString GroupPath(const QStringList& CaptionsFromTop) {
    return CaptionsFromTop.join(u'\\');
}

int HostMenuRow(const TDataGrid& Grid) {
    const int current = Grid.SelectedRow();
    if (current >= 0 && current < Grid.RowCount() && Grid.GetRowVisible(current)) {
        return current;
    }
    for (int row = 0; row < Grid.RowCount(); ++row) {
        if (Grid.GetRowVisible(row)) {
            return row;
        }
    }
    return -1;
}

const QStringList& HostDialogFieldColumns() {
    static const QStringList columns = {QStringLiteral("Host"),
                                        QStringLiteral("IP"),
                                        QStringLiteral("HType"),
                                        QStringLiteral("Alarm"),
                                        QStringLiteral("Alarm_en"),
                                        QStringLiteral("Loop_sound"),
                                        QStringLiteral("Enabled"),
                                        QStringLiteral("Comunity"),
                                        QStringLiteral("Ping_check"),
                                        QStringLiteral("SNMP_check"),
                                        QStringLiteral("SPing_check"),
                                        QStringLiteral("Port_check"),
                                        QStringLiteral("Http_Check"),
                                        QStringLiteral("Note_"),
                                        QStringLiteral("Sound_alarm_enabled"),
                                        QStringLiteral("Email_alarm_enabled"),
                                        QStringLiteral("Email_contacts_list"),
                                        QStringLiteral("ICQ_alarm_enabled"),
                                        QStringLiteral("ICQ_contacts_list")};
    return columns;
}

QHash<QString, QString> HostDialogFields(const TDataGrid& Grid, int Row) {
    QHash<QString, QString> fields;
    if (Row < 0 || Row >= Grid.RowCount()) {
        return fields;
    }
    for (const QString& name : HostDialogFieldColumns()) {
        const int column = Grid.ColumnIndex(name);
        if (column >= 0) {
            fields.insert(name, Grid.CellText(column, Row));
        }
    }
    return fields;
}

int NoteColumnWidth(int NoteWidth, int VisibleWidths, int GridWidth, int MinWidth) {
    return std::max(MinWidth, NoteWidth + GridWidth - VisibleWidths - 20);
}
