// The list of host types: the type grid (number, name, picture index, picture path), its file
// Data/Types/t_config.cnfg, and adding, renaming and deleting a type with its picture file. The
// pictures themselves are drawn by the window; here they are only files inside Data/Types.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class TDataGrid;
class THostStore;

inline constexpr const char* HostTypesFileName = "t_config.cnfg";
inline constexpr int HostTypePictureWidth = 100;
inline constexpr int HostTypePictureHeight = 85;

// The type grid's columns: GxNumberColumn1, Type_name, ImageType, Path.
void CreateHostTypeColumns(TDataGrid& Types);

// Replaces the rows by the file's (grid text file, "," and "|"). A missing or unreadable file leaves
// no rows and gives false.
bool LoadHostTypeFile(TDataGrid& Types, const QString& TypesFolder);
// Numbers the rows 1, 2, ... and gives each ImageType its row index, then writes the file
// (UTF-16LE after FF FE, CR LF) through a temporary file. Raises EGridError when it cannot.
void SaveHostTypeFile(TDataGrid& Types, const QString& TypesFolder);

QStringList HostTypeNames(const TDataGrid& Types);
// "Data\Types\" + Name + ".bmp", the form the file keeps.
QString HostTypeStoredPath(const QString& Name);
// The picture file of a stored path ("\" read as "/"): inside TypesFolder, or empty for a path that
// would lead anywhere else.
QString HostTypePictureFile(const QString& TypesFolder, const QString& StoredPath);

// Writes the chosen picture, already 100 x 85, to the file it is given; false when it could not.
using THostTypePictureWriter = std::function<bool(const QString& FileName)>;

// Each gives an empty text on success, else why nothing was changed.
// A new type named Name; Picture empty when no picture was chosen (the row is still added).
QString AddHostType(TDataGrid& Types, const QString& TypesFolder, const QString& Name,
                    const THostTypePictureWriter& Picture);
// Renames type Row; with a picture the new one is written before the old file goes, without one the
// old file is renamed.
QString EditHostType(TDataGrid& Types, const QString& TypesFolder, int Row, const QString& Name,
                     const THostTypePictureWriter& Picture);
// Deletes type Row and its picture file.
QString DeleteHostType(TDataGrid& Types, const QString& TypesFolder, int Row);

// After type Index went: hosts of later types move down one index in the host grid and in hosts,
// so every host keeps its type. False when the statement failed (logged).
bool ShiftHostTypes(TDataGrid& Hosts, THostStore& Store, int Index);
