// The interface list of the tools window's SNMP pages: the walk over a device's interface table
// (GETNEXT discovery of the indexes, then GETs per interface) and the rules that turn the answers
// into the list's cells.
#pragma once

#include "grid/GxTypes.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <string>

class TDataGrid;
class TNetCancel;
class TToolJob;

// Column prefixes of the interface table; the ifIndex follows.
inline constexpr const char* IfIndexOid = "1.3.6.1.2.1.2.2.1.1.";
inline constexpr const char* IfDescrOid = "1.3.6.1.2.1.2.2.1.2.";
inline constexpr const char* IfSpeedOid = "1.3.6.1.2.1.2.2.1.5.";
inline constexpr const char* IfAdminStatusOid = "1.3.6.1.2.1.2.2.1.7.";
inline constexpr const char* IfOperStatusOid = "1.3.6.1.2.1.2.2.1.8.";
inline constexpr const char* IfInOctetsOid = "1.3.6.1.2.1.2.2.1.10.";
inline constexpr const char* IfOutOctetsOid = "1.3.6.1.2.1.2.2.1.16.";
inline constexpr const char* IfNameOid = "1.3.6.1.2.1.31.1.1.1.1.";
inline constexpr const char* IfAliasOid = "1.3.6.1.2.1.31.1.1.1.18.";

// Cell colours of the status columns (blue-green-red).
inline constexpr TColor StatusUpColor = 0x008000;
inline constexpr TColor StatusDownColor = 0x0000FF;
inline constexpr TColor StatusTestingColor = 0x00FFFF;
inline constexpr TColor StatusUnknownColor = 0xFFFFFF;

// ifName, then " - " ifDescr when that is set and differs; with no ifName, ifDescr. Then " - "
// ifAlias when that is set and differs from ifName.
QString InterfaceDisplayName(const QString& IfName, const QString& IfDescr, const QString& IfAlias);
// A counter as the unsigned decimal text of its low 32 bits; empty when the value is no number.
QString CounterLow32Text(const std::string& Value);
// ifSpeed in whole Mbit/s (integer division by 1 000 000); empty when the value is no number.
QString SpeedMbitText(const std::string& Value);

struct TInterfaceStatus {
    QString Text;
    TColor Color = StatusUnknownColor;
};
// 1 up (line 395), 2 down (396; the administrative status: 398), 3 testing (397); anything else,
// also no answer, unknown (399).
TInterfaceStatus InterfaceStatusOf(const std::string& Value, bool Administrative);

// The discovery rule: the answer to a GETNEXT is the next interface only while its OID lies in the
// ifIndex column and its value is a number above the last index taken. Index receives it.
bool NextInterfaceIndex(const std::string& AnswerOid, const std::string& Value, qint64 LastIndex,
                        qint64& Index);

// The agent a walk talks to.
struct TSnmpAgent {
    std::string Host;
    std::string Community;
    std::string Port = "161";
    int TimeoutMs = 5000;
};

// One GETNEXT: the OID and value of the answer's first binding; false when no usable answer came.
bool SnmpGetNext(const TSnmpAgent& Agent, const std::string& Oid, std::string& AnswerOid, std::string& Value,
                 std::shared_ptr<TNetCancel> Cancel);

// What the walk learnt about one interface.
struct TInterfaceRow {
    qint64 Index = 0;
    QString Name;
    QString InOctets;
    QString OutOctets;
    TInterfaceStatus Oper;
    QString Speed;
    TInterfaceStatus Admin;
};

// Columns of both interface lists, in order: check box, index, name, traffic in, traffic out, a
// hidden unused text column, status, speed, administrative status, running number; the SNMP
// page's list hides its check box and adds a hidden image column.
void CreateInterfaceGridColumns(TDataGrid& Grid, bool SnmpPage);
// Writes what was learnt into row Row (columns 2-4 and 6-8; the box of column 0 is ticked when the
// interface is up). Empty texts leave their cells empty.
void WriteInterfaceRow(TDataGrid& Grid, int Row, const TInterfaceRow& Data);

class TGet_interfacesThread {
public:
    // Progress gets (interfaces found, interfaces filled in) on the GUI thread.
    TGet_interfacesThread(TSnmpAgent Agent, TDataGrid& Grid, std::function<void(int, int)> Progress);

    // The walk; every grid and progress step is a synchronous call of Job (rows found or read within
    // StepBatchMs go in one call). Returns the number of interfaces found (0 also when the job was
    // cancelled first).
    int Execute(TToolJob& Job);

    // Upper bound of the interfaces one walk takes.
    static constexpr int MaxInterfaces = 100000;
    // Rows found or read within this time reach the grid in one step.
    static constexpr int StepBatchMs = 50;

private:
    std::string Get(TToolJob& Job, const char* Column, qint64 Index) const;
    TInterfaceRow ReadRow(TToolJob& Job, qint64 Index) const;

    TSnmpAgent FAgent;
    TDataGrid& FGrid;
    std::function<void(int, int)> FProgress;
};
