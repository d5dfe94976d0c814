// The interface walk: network requests on the worker, each grid change as one synchronous step.
#include "core/InterfaceWalk.h"

#include "core/LangTexts.h"
#include "core/ToolWorkers.h"
#include "grid/GxColumnClasses.h"
#include "grid/GxGrid.h"
#include "net/SnmpQuery.h"
#include "net/snmpsend.h"

#include <charconv>
#include <chrono>
#include <vector>

namespace {

// Columns by position; both lists share the layout.
enum : int { ColSelected = 0, ColIndex, ColName, ColIn, ColOut, ColUnused, ColStatus, ColSpeed, ColAdmin };

// The whole text as a signed 64-bit number (Counter64 values above its range read as unsigned).
bool WholeNumber(const std::string& Text, quint64& Bits) {
    const char* first = Text.data();
    const char* last = first + Text.size();
    if (Text.empty())
        return false;
    qint64 signedValue = 0;
    auto parsed = std::from_chars(first, last, signedValue);
    if (parsed.ec == std::errc() && parsed.ptr == last) {
        Bits = static_cast<quint64>(signedValue);
        return true;
    }
    quint64 unsignedValue = 0;
    parsed = std::from_chars(first, last, unsignedValue);
    if (parsed.ec != std::errc() || parsed.ptr != last)
        return false;
    Bits = unsignedValue;
    return true;
}

bool SignedNumber(const std::string& Text, qint64& Value) {
    const char* last = Text.data() + Text.size();
    const auto parsed = std::from_chars(Text.data(), last, Value);
    return !Text.empty() && parsed.ec == std::errc() && parsed.ptr == last;
}

void SetStatusCell(TDataGrid& Grid, int Col, int Row, const TInterfaceStatus& Status) {
    TCell& cell = Grid.Cell(Col, Row);
    cell.SetAsString(Status.Text);
    cell.SetCellColor(Status.Color);
}

void SetTextCell(TDataGrid& Grid, int Col, int Row, const QString& Text) {
    if (!Text.isEmpty())
        Grid.Cell(Col, Row).SetAsString(Text);
}

} // namespace

QString InterfaceDisplayName(const QString& IfName, const QString& IfDescr, const QString& IfAlias) {
    QString name = IfName;
    if (IfName.isEmpty())
        name = IfDescr;
    else if (!IfDescr.isEmpty() && IfDescr != IfName)
        name += QStringLiteral(" - ") + IfDescr;
    if (!IfAlias.isEmpty() && IfAlias != IfName)
        name += QStringLiteral(" - ") + IfAlias;
    return name;
}

QString CounterLow32Text(const std::string& Value) {
    quint64 bits = 0;
    if (!WholeNumber(Value, bits))
        return QString();
    return QString::number(bits & 0xFFFFFFFFu);
}

QString SpeedMbitText(const std::string& Value) {
    qint64 bitsPerSecond = 0;
    if (!SignedNumber(Value, bitsPerSecond))
        return QString();
    return QString::number(bitsPerSecond / 1000000);
}

TInterfaceStatus InterfaceStatusOf(const std::string& Value, bool Administrative) {
    qint64 status = 0;
    if (!SignedNumber(Value, status))
        status = 0;
    switch (status) {
    case 1:
        return {LangText(395), StatusUpColor};
    case 2:
        return {LangText(Administrative ? 398 : 396), StatusDownColor};
    case 3:
        return {LangText(397), StatusTestingColor};
    default:
        return {LangText(399), StatusUnknownColor};
    }
}

bool NextInterfaceIndex(const std::string& AnswerOid, const std::string& Value, qint64 LastIndex,
                        qint64& Index) {
    const std::string column(IfIndexOid);
    if (AnswerOid.size() <= column.size() || AnswerOid.compare(0, column.size(), column) != 0)
        return false;
    qint64 number = 0;
    if (!SignedNumber(Value, number) || number <= LastIndex)
        return false;
    Index = number;
    return true;
}

bool SnmpGetNext(const TSnmpAgent& Agent, const std::string& Oid, std::string& AnswerOid, std::string& Value,
                 std::shared_ptr<TNetCancel> Cancel) {
    AnswerOid.clear();
    Value.clear();
    try {
        TSNMPSend snmp;
        snmp.Timeout = Agent.TimeoutMs;
        snmp.TargetPort = Agent.Port;
        snmp.Cancel = std::move(Cancel);
        snmp.Query.ResetRecord();
        snmp.TargetHost = Agent.Host;
        snmp.Query.Community = Agent.Community;
        snmp.Query.PDUType = PDUGetNextRequest;
        snmp.Query.AddVarBind(Oid, "", 5);
        if (!snmp.ExecuteRequest())
            return false;
        const TSNMPMib* mib = snmp.Reply.VarBindAt(0);
        if (!mib)
            return false;
        AnswerOid = mib->OID;
        Value = mib->Value;
        return true;
    } catch (...) {
        return false;
    }
}

void CreateInterfaceGridColumns(TDataGrid& Grid, bool SnmpPage) {
    const char* const names[2][10] = {
        {"e1", "p1", "i_n1", "t_i1", "t_o1", "GxTextColumn1", "s1", "sp1", "AdminStatus", "nomer1"},
        {"GxCheckBoxColumn1", "p2", "i_n2", "t_i2", "t_o2", "GxTextColumn2", "s2", "sp2", "Admin_status",
         "nomer2"}};
    const auto& name = names[SnmpPage ? 1 : 0];
    Grid.AddColumn<TGxCheckBoxColumn>(QLatin1String(name[ColSelected])).SetVisible(!SnmpPage);
    for (int col = ColIndex; col <= ColAdmin; ++col)
        Grid.AddColumn<TGxTextColumn>(QLatin1String(name[col]));
    Grid.Columns().GetColumn(ColUnused)->SetVisible(false);
    Grid.AddColumn<TGxIncrementColumn>(QLatin1String(name[9]));
    if (SnmpPage)
        Grid.AddColumn<TGxImageColumn>(QStringLiteral("GxImageColumn1")).SetVisible(false);
}

void WriteInterfaceRow(TDataGrid& Grid, int Row, const TInterfaceRow& Data) {
    SetTextCell(Grid, ColName, Row, Data.Name);
    SetTextCell(Grid, ColIn, Row, Data.InOctets);
    SetTextCell(Grid, ColOut, Row, Data.OutOctets);
    SetStatusCell(Grid, ColStatus, Row, Data.Oper);
    SetTextCell(Grid, ColSpeed, Row, Data.Speed);
    if (Grid.CellText(ColStatus, Row) == LangText(395))
        Grid.Cell(ColSelected, Row).SetAsBoolean(true);
    SetStatusCell(Grid, ColAdmin, Row, Data.Admin);
}

TGet_interfacesThread::TGet_interfacesThread(TSnmpAgent Agent, TDataGrid& Grid,
                                             std::function<void(int, int)> Progress)
    : FAgent(std::move(Agent)), FGrid(Grid), FProgress(std::move(Progress)) {}

std::string TGet_interfacesThread::Get(TToolJob& Job, const char* Column, qint64 Index) const {
    std::string value;
    SnmpQuery(FAgent.Host, FAgent.Community, Column + std::to_string(Index), PDUGetRequest, value,
              FAgent.Port, FAgent.TimeoutMs, Job.Cancel());
    return value;
}

TInterfaceRow TGet_interfacesThread::ReadRow(TToolJob& Job, qint64 Index) const {
    TInterfaceRow row;
    row.Index = Index;
    const QString ifName = QString::fromStdString(Get(Job, IfNameOid, Index));
    const QString ifDescr = QString::fromStdString(Get(Job, IfDescrOid, Index));
    const QString ifAlias = QString::fromStdString(Get(Job, IfAliasOid, Index));
    row.Name = InterfaceDisplayName(ifName, ifDescr, ifAlias);
    row.InOctets = CounterLow32Text(Get(Job, IfInOctetsOid, Index));
    row.OutOctets = CounterLow32Text(Get(Job, IfOutOctetsOid, Index));
    row.Oper = InterfaceStatusOf(Get(Job, IfOperStatusOid, Index), false);
    row.Speed = SpeedMbitText(Get(Job, IfSpeedOid, Index));
    row.Admin = InterfaceStatusOf(Get(Job, IfAdminStatusOid, Index), true);
    return row;
}

int TGet_interfacesThread::Execute(TToolJob& Job) {
    if (!Job.Gui([&] {
            FGrid.ClearRows();
            FProgress(0, 0);
        }))
        return 0;
    // Steps are gathered for a short while: each synchronous call may wait for a paint of the list,
    // and a call per row would make the walk wait more than it talks.
    using Clock = std::chrono::steady_clock;
    const auto batch = std::chrono::milliseconds(StepBatchMs);
    auto lastStep = Clock::now();
    auto due = [&] {
        return Clock::now() - lastStep >= batch;
    };

    struct TFound {
        quint64 Handle;
        qint64 Index;
    };
    std::vector<TFound> found;
    std::vector<qint64> unlisted;
    auto listFound = [&] {
        lastStep = Clock::now();
        const bool ran = Job.Gui([&] {
            for (qint64 index : unlisted) {
                const int row = FGrid.AddRow();
                FGrid.Cell(ColIndex, row).SetAsString(QString::number(index));
                found.push_back({FGrid.RowHandle(row), index});
            }
        });
        unlisted.clear();
        return ran;
    };
    qint64 last = 0;
    while (static_cast<int>(found.size() + unlisted.size()) < MaxInterfaces && !Job.Cancelled()) {
        std::string oid, value;
        qint64 index = 0;
        if (!SnmpGetNext(FAgent, IfIndexOid + std::to_string(last), oid, value, Job.Cancel()) ||
            !NextInterfaceIndex(oid, value, last, index))
            break;
        unlisted.push_back(index);
        last = index;
        if (due() && !listFound())
            return 0;
    }
    if (!listFound())
        return 0;
    const int count = static_cast<int>(found.size());
    if (!Job.Gui([&] { FProgress(count, 0); }))
        return 0;

    std::vector<std::pair<quint64, TInterfaceRow>> unwritten;
    for (int r = 0; r < count && !Job.Cancelled(); ++r) {
        unwritten.push_back({found[r].Handle, ReadRow(Job, found[r].Index)});
        if (r + 1 < count && !due())
            continue;
        lastStep = Clock::now();
        if (!Job.Gui([&] {
                for (const auto& [handle, data] : unwritten) {
                    const int row = FGrid.RowByHandle(handle);
                    if (row >= 0)
                        WriteInterfaceRow(FGrid, row, data);
                }
                FProgress(count, r + 1);
            }))
            break;
        unwritten.clear();
    }
    return count;
}
