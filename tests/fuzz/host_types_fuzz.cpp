// Fuzz target for the host type list (t_config.cnfg): any bytes load without crashing, and no
// picture path read from it ever leads outside the types folder.
#include "core/HostTypes.h"
#include "grid/GxGrid.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "host_types_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    TDataGrid types;
    CreateHostTypeColumns(types);
    try {
        types.LoadFromTextBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), u',', u'|');
    } catch (const std::exception&) {
        // A bad cell is cleared; the rest of the list is read.
    }
    const QString folder = QStringLiteral("/types");
    for (int row = 0; row < types.RowCount(); ++row) {
        const QString file = HostTypePictureFile(folder, types.CellText(3, row));
        if (file.isEmpty())
            continue;
        const QString inside = file.mid(folder.size() + 1);
        if (!file.startsWith(folder + QLatin1Char('/')) || inside.isEmpty() ||
            inside.contains(QLatin1Char('/')) || inside.startsWith(QLatin1Char('.')))
            std::abort();
    }
    HostTypeNames(types);
    return 0;
}
