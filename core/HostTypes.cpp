// The host type list and its files; see HostTypes.h.
#include "core/HostTypes.h"

#include "core/HostBulkAdd.h"
#include "core/HostGridColumns.h"
#include "core/HostStore.h"
#include "core/SQLiteDb.h"
#include "core/SettingsFiles.h"
#include "grid/GxColumnClasses.h"
#include "grid/GxGrid.h"
#include "grid/GxGridFiles.h"
#include "grid/GxTypes.h"

#include <QDir>
#include <QFile>

#include <filesystem>
#include <system_error>

namespace {

constexpr int NumberColumn = 0;
constexpr int NameColumn = 1;
constexpr int ImageColumn = 2;
constexpr int PathColumn = 3;

const QChar Separator = u',';
const QChar LineBreak = u'|';

QString PictureFileOf(const QString& TypesFolder, const QString& Name) {
    return QDir::cleanPath(TypesFolder) + QLatin1Char('/') + Name + QStringLiteral(".bmp");
}

// A picture goes in under a temporary name first, so a failed write never costs the old one.
QString TemporaryPictureFile(const QString& TypesFolder) {
    return QDir::cleanPath(TypesFolder) + QStringLiteral("/.new-picture.bmp");
}

bool RenameOver(const QString& From, const QString& To) {
    std::error_code error;
    std::filesystem::rename(From.toStdString(), To.toStdString(), error);
    return !error;
}

bool WritePicture(const QString& TypesFolder, const QString& Target, const THostTypePictureWriter& Picture) {
    const QString temporary = TemporaryPictureFile(TypesFolder);
    QFile::remove(temporary);
    if (!Picture(temporary) || !RenameOver(temporary, Target)) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

QStringList NamesExcept(const TDataGrid& Types, int Row) {
    QStringList names;
    for (int row = 0; row < Types.RowCount(); ++row) {
        if (row != Row) {
            names << Types.CellText(NameColumn, row);
        }
    }
    return names;
}

QString RefusedName(const QString& Name) {
    return QStringLiteral("\"%1\" cannot be a type name: it must not be empty, start with \".\", hold \"/\", "
                          "\"\\\" or control characters, or repeat a type.")
        .arg(Name);
}

void SetRow(TDataGrid& Types, int Row, const QString& Name) {
    Types.SetCellText(NameColumn, Row, Name);
    Types.SetCellText(PathColumn, Row, HostTypeStoredPath(Name));
    Types.GetCellObject(ImageColumn, Row).SetAsInteger(Row);
}

QString Saved(TDataGrid& Types, const QString& TypesFolder) {
    try {
        SaveHostTypeFile(Types, TypesFolder);
        return {};
    } catch (const std::exception& e) {
        return QStringLiteral("The type list could not be saved: ") + QString::fromUtf8(e.what());
    }
}

} // namespace

void CreateHostTypeColumns(TDataGrid& Types) {
    Types.AddColumn<TGxNumberColumn>(QStringLiteral("GxNumberColumn1")).SetCellKind(ckInteger);
    Types.AddColumn<TGxTextColumn>(QStringLiteral("Type_name"));
    Types.AddColumn<TGxImageColumn>(QStringLiteral("ImageType")).SetCellKind(ckInteger);
    Types.AddColumn<TGxTextColumn>(QStringLiteral("Path"));
}

bool LoadHostTypeFile(TDataGrid& Types, const QString& TypesFolder) {
    try {
        const auto bytes = ReadSettingsFile(QDir::cleanPath(TypesFolder) + QLatin1Char('/') +
                                            QLatin1String(HostTypesFileName));
        if (!bytes) {
            Types.ClearRows();
            return false;
        }
        Types.LoadFromTextBytes(*bytes, Separator, LineBreak);
        return true;
    } catch (const std::exception&) {
        Types.ClearRows();
        return false;
    }
}

void SaveHostTypeFile(TDataGrid& Types, const QString& TypesFolder) {
    for (int row = 0; row < Types.RowCount(); ++row) {
        Types.GetCellObject(NumberColumn, row).SetAsInteger(row + 1);
        Types.GetCellObject(ImageColumn, row).SetAsInteger(row);
    }
    Types.SaveToTextFile(QDir::cleanPath(TypesFolder) + QLatin1Char('/') + QLatin1String(HostTypesFileName),
                         Separator, 1, LineBreak);
}

QStringList HostTypeNames(const TDataGrid& Types) {
    return NamesExcept(Types, -1);
}

QString HostTypeStoredPath(const QString& Name) {
    return QStringLiteral("Data\\Types\\") + Name + QStringLiteral(".bmp");
}

QString HostTypePictureFile(const QString& TypesFolder, const QString& StoredPath) {
    QString path = StoredPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString prefix = QStringLiteral("Data/Types/");
    if (!path.startsWith(prefix, Qt::CaseInsensitive)) {
        return {};
    }
    const QString file = path.mid(prefix.size());
    if (file.isEmpty() || file.contains(QLatin1Char('/')) || file.startsWith(QLatin1Char('.'))) {
        return {};
    }
    return QDir::cleanPath(TypesFolder) + QLatin1Char('/') + file;
}

QString AddHostType(TDataGrid& Types, const QString& TypesFolder, const QString& Name,
                    const THostTypePictureWriter& Picture) {
    if (!ValidHostTypeName(Name, HostTypeNames(Types))) {
        return RefusedName(Name);
    }
    QString failure;
    if (Picture && !WritePicture(TypesFolder, PictureFileOf(TypesFolder, Name), Picture)) {
        // The type is still added; its picture is the placeholder until one is chosen.
        failure = QStringLiteral("The picture of \"%1\" could not be saved.").arg(Name);
    }
    const int row = Types.AddRow(1);
    SetRow(Types, row, Name);
    const QString saved = Saved(Types, TypesFolder);
    return saved.isEmpty() ? failure : saved;
}

QString EditHostType(TDataGrid& Types, const QString& TypesFolder, int Row, const QString& Name,
                     const THostTypePictureWriter& Picture) {
    if (Row < 0 || Row >= Types.RowCount()) {
        return QStringLiteral("No type is selected.");
    }
    if (!ValidHostTypeName(Name, NamesExcept(Types, Row))) {
        return RefusedName(Name);
    }
    const QString oldFile = HostTypePictureFile(TypesFolder, Types.CellText(PathColumn, Row));
    const QString newFile = PictureFileOf(TypesFolder, Name);
    if (Picture) {
        if (!WritePicture(TypesFolder, newFile, Picture)) {
            return QStringLiteral("The picture of \"%1\" could not be saved.").arg(Name);
        }
        if (!oldFile.isEmpty() && oldFile != newFile) {
            QFile::remove(oldFile);
        }
    } else if (!oldFile.isEmpty() && oldFile != newFile && QFile::exists(oldFile)) {
        if (!RenameOver(oldFile, newFile)) {
            return QStringLiteral("The picture of \"%1\" could not be renamed.").arg(Name);
        }
    }
    SetRow(Types, Row, Name);
    return Saved(Types, TypesFolder);
}

QString DeleteHostType(TDataGrid& Types, const QString& TypesFolder, int Row) {
    if (Row < 0 || Row >= Types.RowCount()) {
        return QStringLiteral("No type is selected.");
    }
    const QString file = HostTypePictureFile(TypesFolder, Types.CellText(PathColumn, Row));
    if (!file.isEmpty()) {
        QFile::remove(file);
    }
    Types.DeleteRow(Row);
    return Saved(Types, TypesFolder);
}

bool ShiftHostTypes(TDataGrid& Hosts, THostStore& Store, int Index) {
    const int types[] = {Hosts.ColumnIndex(QLatin1String("HType")),
                         Hosts.ColumnIndex(QLatin1String("HType2"))};
    for (int row = 0; row < Hosts.RowCount(); ++row) {
        for (int column : types) {
            TCell& cell = Hosts.GetCellObject(column, row);
            bool ok = false;
            const int value = cell.GetAsString().toInt(&ok);
            if (ok && value > Index) {
                cell.SetAsInteger(value - 1);
            }
        }
    }
    return RunDatabaseStep("Move the hosts of later types", [&] { Store.ShiftHostTypesDown(Index); });
}
