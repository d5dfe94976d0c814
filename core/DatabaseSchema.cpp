// Table definitions and their creation. Column names keep their stored spelling: readers address
// "select *" results by position and grid columns share these names.
#include "core/DatabaseSchema.h"

#include "core/SQLiteDb.h"

namespace {

using TColumns = std::vector<std::pair<QString, QString>>;

TColumns Columns(std::initializer_list<std::pair<const char*, const char*>> List) {
    TColumns result;
    for (const auto& [name, type] : List)
        result.emplace_back(QString::fromLatin1(name), QString::fromLatin1(type));
    return result;
}

TColumns TrafficColumns() {
    return Columns({{"id", "INTEGER PRIMARY KEY"},
                    {"ID_p", "INTEGER"},
                    {"T_in", "TEXT"},
                    {"T_out", "TEXT"},
                    {"date_time", "TEXT"},
                    {"Curr_traf_out", "TEXT"},
                    {"Curr_traf_in", "TEXT"}});
}

TColumns HostColumns() {
    return Columns({{"id", "INTEGER PRIMARY KEY"},
                    {"host", "TEXT"},
                    {"HType", "TEXT"},
                    {"HType2", "TEXT"},
                    {"IP", "TEXT"},
                    {"Status", "TEXT"},
                    {"Enabled", "INTEGER"},
                    {"Alarm", "TEXT"},
                    {"Log", "TEXT"},
                    {"Kol_vo_p", "INTEGER"},
                    {"Alarm_en", "INTEGER"},
                    {"Loop_sound", "INTEGER"},
                    {"Date_Pod", "TEXT"},
                    {"N_group", "INTEGER"},
                    {"Ping_check", "INTEGER"},
                    {"Comunity", "TEXT"},
                    {"SNMP_check", "INTEGER"},
                    {"Note_", "TEXT"},
                    {"TimeDown", "TEXT"},
                    {"Port_check", "INTEGER"},
                    {"SPing_alarm", "INTEGER"},
                    {"SPing_check", "INTEGER"},
                    {"Sping_kol_vo", "INTEGER"},
                    {"SNMP_kol_vo_p", "INTEGER"},
                    {"Latency_kol_vo_p", "INTEGER"},
                    {"P_lost_kol_vo_p", "INTEGER"},
                    {"ICMP_kol_vo_p", "INTEGER"},
                    {"ICMP_Status", "TEXT"},
                    {"SNMP_Status", "TEXT"},
                    {"Latency_Status", "TEXT"},
                    {"P_lost_Status", "TEXT"},
                    {"Avarage_Latency", "INTEGER"},
                    {"Email_alarm_enabled", "INTEGER"},
                    {"Email_contacts_list", "TEXT"},
                    {"ICQ_alarm_enabled", "INTEGER"},
                    {"ICQ_contacts_list", "TEXT"},
                    {"Sound_alarm_enabled", "INTEGER"},
                    {"Http_check", "INTEGER"},
                    {"Http_Kol_vo", "INTEGER"},
                    {"Http_Status", "TEXT"}});
}

std::vector<TTableSchema> MakeTables() {
    std::vector<TTableSchema> tables;
    tables.push_back({QStringLiteral("m_port"), Columns({{"id", "INTEGER PRIMARY KEY"},
                                                         {"ID_h", "INTEGER"},
                                                         {"Nomer_p", "INTEGER"},
                                                         {"Name_p", "TEXT"},
                                                         {"Enabled_p", "TEXT"},
                                                         {"alarm_traf_in", "TEXT"},
                                                         {"alarm_traf_out", "TEXT"},
                                                         {"in_value_pers", "TEXT"},
                                                         {"out_value_per", "TEXT"},
                                                         {"in_notiffication", "TEXT"},
                                                         {"out_notiffication", "TEXT"},
                                                         {"speed", "TEXT"}})});
    tables.push_back({QStringLiteral("traf_p"), TrafficColumns()});
    tables.push_back({QStringLiteral("Ping_data"), Columns({{"id", "INTEGER PRIMARY KEY"},
                                                            {"ID_h", "INTEGER"},
                                                            {"Timeout", "INTEGER"},
                                                            {"T_out", "TEXT"},
                                                            {"date_time", "TEXT"}})});
    tables.push_back({QStringLiteral("list_group"), Columns({{"ID", "INTEGER PRIMARY KEY"},
                                                             {"Name", "TEXT"},
                                                             {"N_group", "INTEGER"},
                                                             {"parent_id", "TEXT"}})});
    tables.push_back({QStringLiteral("log"), Columns({{"ID", "INTEGER PRIMARY KEY"},
                                                      {"Date_time", "TEXT"},
                                                      {"L_Status", "TEXT"},
                                                      {"Stat_D", "TEXT"},
                                                      {"ID_h_d", "INTEGER"}})});
    tables.push_back({QStringLiteral("program_log"),
                      Columns({{"ID", "INTEGER PRIMARY KEY"}, {"Date_time", "TEXT"}, {"Status", "TEXT"}})});
    tables.push_back(
        {QStringLiteral("syslog"),
         Columns(
             {{"ID", "INTEGER PRIMARY KEY"}, {"Date_time", "TEXT"}, {"Status", "TEXT"}, {"IP", "TEXT"}})});
    tables.push_back({QStringLiteral("hosts"), HostColumns()});
    tables.push_back({QStringLiteral("realtime_traf_p"), TrafficColumns()});
    return tables;
}

// Per-host and per-interface look-ups and the age clean-up by date would otherwise scan these.
const char* const IndexStatements[] = {
    "CREATE INDEX IF NOT EXISTS idx_traf_p_ID_p ON traf_p (ID_p, date_time)",
    "CREATE INDEX IF NOT EXISTS idx_traf_p_date_time ON traf_p (date_time)",
    "CREATE INDEX IF NOT EXISTS idx_Ping_data_ID_h ON Ping_data (ID_h, date_time)",
    "CREATE INDEX IF NOT EXISTS idx_Ping_data_date_time ON Ping_data (date_time)",
    "CREATE INDEX IF NOT EXISTS idx_realtime_traf_p_ID_p ON realtime_traf_p (ID_p)",
    "CREATE INDEX IF NOT EXISTS idx_m_port_ID_h ON m_port (ID_h)",
    "CREATE INDEX IF NOT EXISTS idx_log_ID_h_d ON log (ID_h_d)",
    "CREATE INDEX IF NOT EXISTS idx_log_Date_time ON log (Date_time)",
    "CREATE INDEX IF NOT EXISTS idx_program_log_Date_time ON program_log (Date_time)",
    "CREATE INDEX IF NOT EXISTS idx_syslog_Date_time ON syslog (Date_time)",
    "CREATE INDEX IF NOT EXISTS idx_syslog_IP ON syslog (IP)",
};

} // namespace

const std::vector<TTableSchema>& DatabaseTables() {
    static const std::vector<TTableSchema> tables = MakeTables();
    return tables;
}

const TTableSchema& DatabaseTable(const QString& Name) {
    for (const TTableSchema& table : DatabaseTables())
        if (table.Name.compare(Name, Qt::CaseInsensitive) == 0)
            return table;
    throw ESQLiteException(QStringLiteral("Unknown table: ") + Name);
}

QString CreateTableStatement(const TTableSchema& Table) {
    QStringList columns;
    for (const auto& [name, type] : Table.Columns)
        columns.append(name + QLatin1Char(' ') + type);
    return QStringLiteral("CREATE TABLE ") + Table.Name + QStringLiteral(" (") +
           columns.join(QStringLiteral(", ")) + QLatin1Char(')');
}

void CreateMissingTables(TSQLiteDatabase& Database) {
    for (const TTableSchema& table : DatabaseTables())
        if (!Database.HasTable(table.Name))
            Database.ExecuteStatement(CreateTableStatement(table));
}

void CreateMissingIndexes(TSQLiteDatabase& Database) {
    // A table of another shape (made by another program) keeps working without its index.
    for (const char* statement : IndexStatements)
        RunDatabaseStep("creating an index",
                        [&] { Database.ExecuteStatement(QString::fromLatin1(statement)); });
}

QStringList HostsColumnNames() {
    QStringList names;
    for (const auto& column : DatabaseTable(QStringLiteral("hosts")).Columns)
        names.append(column.first);
    return names;
}
