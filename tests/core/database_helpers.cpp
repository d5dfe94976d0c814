// Damaging one page of a database file in place.
#include "tests/core/database_helpers.h"

#include "core/SQLiteDb.h"

#include <fstream>
#include <stdexcept>

namespace zt::dbtest {

void DamageTablePage(const std::string& Path, const std::string& Table) {
    qint64 pageSize = 0;
    qint64 page = 0;
    {
        TSQLiteDatabase db(QString::fromStdString(Path));
        pageSize = db.OpenResultTable(QStringLiteral("PRAGMA page_size"))->FieldText(0).toLongLong();
        auto root = db.OpenResultTable(QStringLiteral("select rootpage from sqlite_master where name=?"),
                                       {QString::fromStdString(Table)});
        if (root->RowCount() != 1)
            throw std::runtime_error("no table " + Table);
        page = root->FieldText(0).toLongLong();
    }
    if (page < 2 || pageSize <= 0)
        throw std::runtime_error("unexpected page layout");
    std::fstream file(Path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((page - 1) * pageSize);
    const std::string garbage(static_cast<std::size_t>(pageSize), '\xEE');
    file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    if (!file.flush())
        throw std::runtime_error("cannot write " + Path);
}

} // namespace zt::dbtest
