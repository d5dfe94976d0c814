// Host rows written by the host dialogs: a new row from the add dialog, the edited fields of one row,
// the ticked fields copied to many rows, and a series of new hosts; each row's statement on hosts.
#pragma once

#include "core/HostBulkAdd.h"
#include "core/HostRecord.h"
#include "core/SQLiteDb.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <set>
#include <vector>

class TDataGrid;
class THostStore;

// What the add/edit dialog's controls hold: the record's HostField::Dialog fields.
using THostDialogValues = THostRecord;

// The 38 columns of the host dialogs' INSERT and UPDATE, in statement order: every stored column of
// hosts but id and Avarage_Latency.
const QStringList& HostRecordColumns();
// The 35 columns the bulk edit writes: the Part's 34 and Http_check, whose box it copies.
const QStringList& MultiEditColumns();

// The stored values of a grid row for Columns: Boolean cells as "-1"/"0", the rest as their text.
TSQLiteValues HostRowValues(TDataGrid& Grid, int Row, const QStringList& Columns);

// Add: appends a row with the dialog's values (the Alerts tab's too), inserts it and sets Kod_ to the
// id SQLite gave that insert and number_ to the previous last row's + 1 (1 for the first). A failed
// insert removes the row again and raises ESQLiteException. Returns the new row.
int AddHostRow(TDataGrid& Grid, THostStore& Store, const THostDialogValues& Values);

// Edit: sets the dialog's 21 fields of Row and stores its 38 columns by Kod_. A failed UPDATE keeps
// the row as set, writes one program-log line and gives false.
bool EditHostRow(TDataGrid& Grid, THostStore& Store, int Row, const THostDialogValues& Values);

// The bulk edit's boxes, one per field it may copy.
enum class TMultiEditField {
    Host,
    IP,
    Note,
    Group,
    Type,
    Ping_check,
    SNMP_check,
    Enabled,
    Comunity,
    Alarm_en,
    Alarm,
    Loop_sound,
    Sound_alarm_enabled,
    ICQ_alarm_enabled,
    ICQ_contacts_list,
    Email_contacts_list,
    Email_alarm_enabled,
    SPing_check,
    Http_check,
};

// The rows the bulk edit touches: shown and selected.
std::vector<int> ShownSelectedRows(const TDataGrid& Grid);
// Copies the ticked fields from Values to every shown selected row and stores each row with one
// UPDATE of MultiEditColumns() by Kod_; a failed row is logged and the next follows. Step(row) runs
// before each row. Returns how many rows were stored.
int ApplyMultiEdit(TDataGrid& Grid, THostStore& Store, const THostDialogValues& Values,
                   const std::set<TMultiEditField>& Ticked, const std::function<void(int Row)>& Step = {});

// What the add-many dialog gives every new host.
struct TBulkHostDefaults {
    int TypeIndex = -1;
    QString Comunity = QStringLiteral("vorpal");
    QString Alarm = QStringLiteral("magic-wand-1.mp3");
    bool AlertEnabled = true; // "Enable alert": the sound-alert column
    bool Loop_sound = false;
    bool Ping_check = true;
    bool SNMP_check = false;
    bool Http_check = false;
    int Group = 0;
};

// Appends and inserts one host per entry; number_ counts on from FirstNumber + 1, Kod_ is each
// insert's id. A host whose insert fails is removed again and logged; the next follows. Step(i)
// runs before entry i. Returns how many hosts were added.
int AddBulkHosts(TDataGrid& Grid, THostStore& Store, const std::vector<TBulkHostEntry>& Entries,
                 const TBulkHostDefaults& Defaults, int FirstNumber,
                 const std::function<void(int Index)>& Step = {});

// The number of shown rows.
int ShownRowCount(const TDataGrid& Grid);
