// The tools window (ping, traceroute, lookup, SNMP utility, charts); at creation it loads the database.
#include "ui/dialogs/Unit_tracert.h"

#include "core/DataFolder.h"
#include "core/DatabaseLoader.h"
#include "core/ExceptionGuard.h"
#include "core/MonitorServices.h"
#include "core/ProgramLog.h"
#include "core/SQLiteDb.h"
#include "net/SnmpQuery.h"
#include "net/pingsend.h"
#include "platform/MessageBox.h"
#include "ui/main/Progress_form.h"

TPing_tracert_form* Ping_tracert_form = nullptr;

namespace {

QString IcmpEchoRefusedText() {
    return QStringLiteral("ICMP echo is not permitted: neither ICMP datagram sockets nor raw sockets can be "
                          "opened. Echo checks are skipped until echo requests can be sent (give the program "
                          "cap_net_raw, or open net.ipv4.ping_group_range to its group).");
}

} // namespace

TPing_tracert_form::TPing_tracert_form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Ping_tracert_form"));
    Timer6.setInterval(3600000);
    connect(&Timer6, &QTimer::timeout, this, [this] { Guarded("Timer6", [this] { Timer6Timer(); }); });
}

TPing_tracert_form::~TPing_tracert_form() = default;

void TPing_tracert_form::FormCreate(TMonitorServices& Services) {
    FServices = &Services;
    LoadDatabase();
    Timer6.start();
}

void TPing_tracert_form::LoadDatabase() {
    TDatabaseLoadContext context;
    context.DataFolder = DataFolder();
    context.HostGrid = &FServices->DataGrid1();
    context.GroupTree = FServices->GroupTree();
    context.Progress = Progress_Form;
    context.ShowMessage = [](const QString& Text) { ShowMessageBoxLater(Text); };
    LoadDatabaseAtStart(FServices->Database(), context);
    if (!IcmpEchoAvailable()) {
        const QString text = IcmpEchoRefusedText();
        AddProgramLog(text);
        ShowMessageBoxLater(text);
    }
}

void TPing_tracert_form::Timer6Timer() {
    if (FServices && FServices->Database().IsOpen()) {
        FBackup.Start(DataFolder(), FServices->Database());
    }
}

void TPing_tracert_form::FormSnmpQuery(const QString& Host, const QString& Community, const QString& OID,
                                       int PDUType, QString& Result) {
    std::string value;
    SnmpQuery(Host.toStdString(), Community.toStdString(), OID.toStdString(), PDUType, value);
    Result = QString::fromStdString(value);
}
