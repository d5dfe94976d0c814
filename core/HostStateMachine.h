// The per-host state machine: one check's edge becomes an event (a queue row for the alarms, a row
// of table log and a write-back of the host's counters and statuses), and after all checks the
// host's overall state moves between OK, Packet loss and Down.
//
// The grid halves run on the GUI thread (the thread that owns the grids); the database halves run
// on the calling worker afterwards, in the same order, so no lock is held across threads.
#pragma once

#include "core/HostStore.h"

#include <QString>
#include <QStringList>

#include <optional>

class TDataGrid;
struct THostColumnIndexes;

// The columns of the event queue DownHostGrid, in grid order.
QStringList DownHostGridColumnNames();
// Adds those columns to an empty grid.
void CreateDownHostGridColumns(TDataGrid& Grid);

// The grid half of RecordHostEvent: appends the queue row when the host's alerts are on and
// returns the log insert and the hosts write-back to run next. Row is a valid host grid row.
struct THostEventWrites {
    THostWriteBack LogInsert;
    THostWriteBack HostsUpdate;
};
THostEventWrites QueueHostEvent(TDataGrid& Hosts, TDataGrid& DownHostGrid, int Row, const QString& Text,
                                int Colour, const QString& Code, const QString& UpSoundText);

// Runs both statements in order; a failing one is discarded.
void RunHostWrites(THostStore& Store, const THostEventWrites& Writes);

// Both halves at once, for callers already on the GUI thread.
void RecordHostEvent(TDataGrid& Hosts, TDataGrid& DownHostGrid, THostStore& Store, int Row,
                     const QString& Text, int Colour, const QString& Code, const QString& UpSoundText);

// What the checks of one host found in this pass.
struct THostPassResults {
    QString HttpResult;       // empty when the probe failed
    QString PingError;        // empty on success
    QString SnmpReply;        // empty on failure
    bool PingSkipped = false; // the echo could not be sent: the ICMP check is left out of this pass
};

// The state words of the language in use, read once for the many hosts of one apply.
struct THostStatusWords {
    THostStatusWords();
    QString Ok, PacketLoss, Down, Disabled, Unknown;
};

// The grid half of UpdateHostStatus; returns the hosts write-back when the state changed.
std::optional<THostWriteBack> UpdateHostStatus(TDataGrid& Hosts, int Row, const THostPassResults& Results,
                                               int ThresholdN);
// The same with the columns and words resolved by the caller for many rows.
std::optional<THostWriteBack> UpdateHostStatus(TDataGrid& Hosts, const THostColumnIndexes& Columns,
                                               const THostStatusWords& Words, int Row,
                                               const THostPassResults& Results, int ThresholdN);
