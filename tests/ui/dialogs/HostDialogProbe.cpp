// The add host dialog on a real X display for the end-to-end test: host_dialog_probe DATA READY
// opens Data folder DATA's database, shows the dialog in add mode, writes READY with the screen
// centres of the name and address fields, and when the dialog closes commits and ends (rc 0 when OK stored a
// host).
#include "core/DataFolder.h"
#include "core/DatabaseSchema.h"
#include "core/HostDialogPreset.h"
#include "core/MonitorServices.h"
#include "core/SQLiteDb.h"
#include "grid/GxGrid.h"
#include "platform/MessageBox.h"
#include "ui/dialogs/GroupSelectForm.h"
#include "ui/dialogs/Multi_Host_edit.h"
#include "ui/dialogs/m_tasks_add.h"
#include "ui/dialogs/tasks_add.h"
#include "ui/dialogs/types_of_host_form.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: host_dialog_probe DATA READY\n");
        return 2;
    }
    SetDataFolder(QString::fromLocal8Bit(argv[1]));
    MonitorDatabase.Open(DataFolder() + QStringLiteral("dbm.db"));
    CreateMissingTables(MonitorDatabase);
    MonitorDatabase.StartTransaction();
    SetMessageBoxHandler([](const QString&, const QString& Text) {
        std::fprintf(stderr, "message: %s\n", Text.toUtf8().constData());
    });
    int rc = 1;
    {
        TMonitorServices services(MonitorDatabase, DataFolder());
        TAdd_M_hosts addMany(services);
        TMultiple_hosts_edit_form multiEdit(services);
        TGroup_Select_Form picker(services);
        TTasks_form dialog(services);
        TTypes_form types(services);
        Add_M_hosts = &addMany;
        Multiple_hosts_edit_form = &multiEdit;
        Group_Select_Form = &picker;
        Tasks_form = &dialog;
        Types_form = &types;
        services.Roles().SetAddMany(&addMany);
        services.Roles().SetMultiEdit(&multiEdit);
        services.Roles().SetGroupPicker(&picker);
        services.Roles().SetHostDialog(&dialog);
        addMany.FormCreate();
        multiEdit.FormCreate();
        picker.FormCreate();
        dialog.FormCreate();
        types.FormCreate();
        THostDialogPreset preset;
        preset.Mode = THostDialogPreset::TMode::Add;
        preset.GroupNumber = 1;
        preset.GroupPath = QStringLiteral("Servers");
        QTimer::singleShot(300, [&] {
            // The centres of the name and address fields on the screen, for the test's pointer.
            QString where;
            for (QWidget* field :
                 {static_cast<QWidget*>(dialog.Edit1), static_cast<QWidget*>(dialog.Edit2)}) {
                const QPoint centre = field->mapToGlobal(field->rect().center());
                where += QStringLiteral("%1 %2\n").arg(centre.x()).arg(centre.y());
            }
            QFile ready(QString::fromLocal8Bit(argv[2]));
            if (ready.open(QIODevice::WriteOnly))
                ready.write(where.toUtf8());
        });
        // A bounded life: the dialog closes by itself after a minute.
        QTimer::singleShot(60000, &dialog, &QDialog::reject);
        dialog.OpenHost(preset);
        rc = services.DataGrid1().RowCount() == 1 ? 0 : 1;
        Add_M_hosts = nullptr;
        Multiple_hosts_edit_form = nullptr;
        Group_Select_Form = nullptr;
        Tasks_form = nullptr;
        Types_form = nullptr;
    }
    if (MonitorDatabase.InTransaction())
        MonitorDatabase.CommitTransaction();
    MonitorDatabase.Close();
    return rc;
}
