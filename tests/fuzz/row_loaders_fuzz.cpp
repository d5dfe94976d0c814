// Fuzz target for the loaders of stored rows: rows of table hosts, log, program_log or syslog whose
// cells hold any SQLite value (NULL, integer, real, text, blob) load into their grid one grid row
// per stored row, whatever does not convert left empty.
#include "core/DatabaseSchema.h"
#include "core/HostGrid.h"
#include "core/LogGrids.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"

#include <QVariant>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

class TReader {
public:
    TReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
    bool AtEnd() const { return FAt >= FSize; }
    uint8_t Byte() { return FAt < FSize ? FData[FAt++] : 0; }
    QByteArray Bytes(size_t Count) {
        Count = std::min(Count, FSize - std::min(FAt, FSize));
        const QByteArray bytes(reinterpret_cast<const char*>(FData + FAt), qsizetype(Count));
        FAt += Count;
        return bytes;
    }
    // One cell: NULL, a 64-bit integer, a double, a short text or a short blob.
    QVariant Value() {
        const uint8_t kind = Byte();
        switch (kind % 6) {
        case 0:
            return QVariant();
        case 1: {
            qint64 value = 0;
            const QByteArray bytes = Bytes(8);
            std::memcpy(&value, bytes.constData(), size_t(bytes.size()));
            return value;
        }
        case 2: {
            double value = 0;
            const QByteArray bytes = Bytes(8);
            std::memcpy(&value, bytes.constData(), size_t(bytes.size()));
            return value;
        }
        case 3:
            return Bytes(Byte() % 32);
        case 4:
            return qint64(kind / 6) - 8; // small numbers, as ids and codes are
        default:
            return QString::fromUtf8(Bytes(Byte() % 32));
        }
    }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FAt = 0;
};

QStringList ColumnsOf(TSQLiteDatabase& Database, const QString& Table) {
    QStringList columns;
    const auto info = Database.OpenResultTable(QStringLiteral("pragma table_info(%1)").arg(Table));
    for (int i = 0; i < info->RowCount(); ++i, info->NextRow())
        columns << info->FieldText(1);
    return columns;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 1)
        return 0;
    static const QString tables[] = {QStringLiteral("hosts"), QStringLiteral("log"),
                                     QStringLiteral("program_log"), QStringLiteral("syslog")};
    const int kind = Data[0] % 4;
    TReader reader(Data + 1, Size - 1);
    TSQLiteDatabase db(QStringLiteral(":memory:"));
    CreateMissingTables(db);
    // A few hosts for the events to name.
    for (int i = 0; i < 3; ++i)
        db.ExecuteStatement(QStringLiteral("insert into hosts (host, IP) values (?, ?)"),
                            {QStringLiteral("h%1").arg(i), QStringLiteral("127.0.0.%1").arg(i + 1)});
    const QStringList columns = ColumnsOf(db, tables[kind]);
    const QString marks = QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(','));
    int rows = 0;
    for (; rows < 12 && !reader.AtEnd(); ++rows) {
        TSQLiteValues values;
        for (qsizetype c = 0; c < columns.size(); ++c)
            values << (c == 0 ? QVariant() : reader.Value()); // the id stays the table's own
        db.ExecuteStatement(QStringLiteral("insert into %1 (%2) values (%3)")
                                .arg(tables[kind], columns.join(QLatin1Char(',')), marks),
                            values);
    }
    const int stored =
        db.OpenResultTable(QStringLiteral("select count(*) from ") + tables[kind])->FieldText(0).toInt();
    TDataGrid grid;
    const QString select = QStringLiteral("select * from ") + tables[kind];
    switch (kind) {
    case 0:
        CreateHostGridColumns(grid);
        if (LoadHostsIntoGrid(db, grid, nullptr, QString()) != stored)
            __builtin_trap();
        break;
    case 1:
        CreateEventLogGridColumns(grid);
        LoadEventLogGrid(select, grid, {}, db);
        break;
    case 2:
        CreateProgramLogGridColumns(grid);
        LoadProgramLogGrid(select, grid, {}, db);
        break;
    default:
        CreateSyslogGridColumns(grid);
        LoadSyslogGrid(select, grid, {}, db);
        break;
    }
    if (grid.RowCount() != stored)
        __builtin_trap();
    for (int row = 0; row < grid.RowCount(); ++row)
        for (int col = 0; col < grid.ColumnCount(); ++col)
            grid.CellText(col, row);
    return 0;
}
