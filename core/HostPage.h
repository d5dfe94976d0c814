// The host page's work on the host table, without a display: the five filters, the running number,
// deleting hosts, the Enabled column, moving a host into a group by a dropped "Kod_|row" text, and
// the group tree's expansion and list files. Every statement goes through THostStore, bound.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class TDataGrid;
class THostStore;
struct TDatabaseLoadResult;

// The host page's view state, named as the window knows it; Settings.cnfg keeps the last three
// (lines 34-36). GUI thread only.
struct THostViewState {
    int SelectedGroup = 0;    // N_group of the chosen group
    QString CurrentGroupText; // the same number as text; rows compare their N_group with it
    bool ShowAllHosts = false;
    QString StatusFilterWord; // item index of the status filter, as text
};
extern THostViewState HostView;

// After the start-up load: the first group is chosen, or every host is shown when there is none.
void SetHostViewFromLoad(const TDatabaseLoadResult& Result);

// Lower-cases A-Z and the capital Cyrillic letters А-Я; every other character stays.
QString LowerCaseCyr(const QString& Text);

// number_ of the shown rows becomes 1, 2, 3 ... in row order.
void RenumberShownRows(TDataGrid& Grid);

// Host name (Column "Host") and description (Column "Note_") filters: only rows of CurrentGroup are
// touched, shown when Filter is empty or contained in the cell (both through LowerCaseCyr).
void ApplyTextFilter(TDataGrid& Grid, const QString& Column, const QString& Filter,
                     const QString& CurrentGroup);
// IP filter, ASCII upper-cased on both sides; ShowAll touches every row, else the current group's.
void ApplyIpFilter(TDataGrid& Grid, const QString& Filter, bool ShowAll, const QString& CurrentGroup);
// Host type filter on every row: shown when HType equals Index or when ComboText is "All".
void ApplyHostTypeFilter(TDataGrid& Grid, int Index, const QString& ComboText);

struct TStatusFilterWords {
    QString Ok;    // the OK status word
    QString NotUp; // the filter word Not Up
    QString All;   // the filter word All
};
void ApplyStatusFilter(TDataGrid& Grid, const QString& ComboText, bool ShowAll, const QString& CurrentGroup,
                       const TStatusFilterWords& Words);

// The rows a delete takes: shown and selected (SelectedOnly), or every shown row.
std::vector<int> RowsToDelete(const TDataGrid& Grid, bool SelectedOnly);
// The rows of group Group, shown or not.
std::vector<int> RowsOfGroup(const TDataGrid& Grid, const QString& Group);
// Deletes the hosts of Rows (ascending) from the database and the grid. A row whose hosts row could
// not be deleted stays in the grid. Step runs once per row. Returns how many rows went.
int DeleteHostRows(TDataGrid& Grid, THostStore& Store, const std::vector<int>& Rows,
                   const std::function<void()>& Step = {});

// Flips Enabled of every shown selected row and stores each flipped value. Returns the count.
int FlipEnabledOfSelected(TDataGrid& Grid, THostStore& Store);
// After a click on the Enabled check box of Row: Status becomes Unknown on white or Disabled on
// grey, and the value is stored.
void ApplyEnabledClick(TDataGrid& Grid, THostStore& Store, int Row, const QString& UnknownWord,
                       const QString& DisabledWord);

// The drag text of a host row: its Kod_, "|" and the row index.
QString HostDragText(const TDataGrid& Grid, int Row);
struct TDroppedHost {
    qint64 Kod = 0;
    qint64 Row = 0;
};
// Splits at the first "|"; nullopt when there is none or the id is no number.
std::optional<TDroppedHost> ParseDroppedHost(const QString& Text);
// Moves the host named by a dropped text into Group: stored, then hidden unless ShowAll when its
// group changes, and the shown rows renumbered. A text naming no row, or a failed statement,
// changes nothing. Returns whether the host moved.
bool DropHostOnGroup(TDataGrid& Grid, THostStore& Store, const QString& Text, const QString& Group,
                     bool ShowAll);

// tr_ex.cnfg: one line per node in tree order, "-1" expanded, "0" collapsed.
QByteArray TreeExpansionText(const std::vector<bool>& Expanded);
// The flags of the lines that hold a Boolean; reading stops at the first line that does not.
std::vector<bool> ParseTreeExpansion(const QByteArray& Text);

// group_list.cnfg: one node per line, indented by two blanks per depth.
struct TGroupListLine {
    int Depth = 0;
    QString Name;
};
QByteArray GroupListText(const std::vector<TGroupListLine>& Nodes);

// Swaps the stored identities (name, number, parent) of two groups, found by their numbers. False
// when either is not stored or a statement fails.
bool SwapGroupRows(THostStore& Store, const QString& GroupA, const QString& GroupB);

// The row the host menu acts on: the current row while it is shown, else the first shown row; -1
// when no row is shown.
int HostMenuRow(const TDataGrid& Grid);

// The 19 columns the edit dialog takes from a host row, in dialog order, and their values.
const QStringList& HostDialogFieldColumns();
QHash<QString, QString> HostDialogFields(const TDataGrid& Grid, int Row);

// Width of Note_ so that the visible columns fill the grid less 20 pixels, never under MinWidth.
int NoteColumnWidth(int NoteWidth, int VisibleWidths, int GridWidth, int MinWidth);

// The group path of a node given its captions from the top down: "A\B\C".
QString GroupPath(const QStringList& CaptionsFromTop);
