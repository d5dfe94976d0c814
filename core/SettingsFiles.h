// The line-indexed settings files of the Data folder: Settings.cnfg (49 lines), win_pos.cnfg
// (window placement) and the one writer every rewritten file goes through. Texts are UTF-8,
// Booleans "-1"/"0", numbers ASCII digits, every line ended by CR LF.
#pragma once

#include "core/SettingsModel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class TSQLiteDatabase;

// Writes Bytes to FileName through a temporary file beside it, flushed to disk and renamed over
// the old file, so a reader (or a crash) sees either the old or the new contents in full. False
// (the old file untouched, no temporary left) when any step fails. A file that already holds
// exactly Bytes is left as it is.
bool WriteFileAtomic(const QString& FileName, const QByteArray& Bytes);
// The temporary file of FileName's saves: FileName with ".saving" appended.
QString AtomicTemporaryName(const QString& FileName);

// The largest settings file the readers take; no file the program writes comes near it.
inline constexpr qint64 MaxSettingsFileBytes = 1024 * 1024;
// The whole contents of one settings file of the Data folder, for every reader of those files.
// Nothing when the file is missing (silently: the first start has none), and nothing with one
// program-log line when it cannot be read, is no regular file (a link to a device, a folder) or
// holds more than MaxSettingsFileBytes; the reader then keeps its defaults. A refusal is said once
// per file name until that file reads again, however many readers ask (once more after the
// database opened, as the line said before went to standard error only).
std::optional<QByteArray> ReadSettingsFile(const QString& FileName);

// Lines as CR LF text (each line ended, UTF-8), and back: CR LF, LF or a lone CR end a line.
QByteArray LinesToFileText(const QStringList& Lines);
QStringList FileTextToLines(const QByteArray& Bytes);

// The 49 lines of Settings.cnfg for Values.
QStringList SettingsFileLinesOf(const TSettings& Values);

// Which lines each reader takes: the early reader, and the start-up loader.
std::vector<int> EarlySettingsLines();   // 0-5, 9-14, 28
std::vector<int> StartupSettingsLines(); // 0-5, 9-39, 41-46, 48

// Reads the listed lines of Lines into Values, each on its own: a missing line, a Boolean line
// that is no Boolean text and a number line that is no number keep the value Values had; numbers
// are clamped into their field's range. Returns how many lines were taken.
int ApplySettingsLines(const QStringList& Lines, const std::vector<int>& Which, TSettings& Values);

// The names of the regular files of Folder (no folders, links to folders or other entries),
// sorted by name; empty when the folder cannot be read.
QStringList ListFolderFiles(const QString& Folder);

// The main window's placement as kept in win_pos.cnfg.
struct TWindowPlacement {
    int Left = 0;
    int Top = 0;
    int Height = 0;
    int Width = 0;
    QString WindowStateCode = QStringLiteral("0"); // "0" normal, "1" minimised, "2" maximised
    bool operator==(const TWindowPlacement&) const = default;
};
QByteArray WindowPlacementText(const TWindowPlacement& Placement);
// Nothing when fewer than five lines or a size or position is no number; an unknown state code
// reads as "0".
std::optional<TWindowPlacement> ParseWindowPlacement(const QByteArray& Bytes);

// The age clean-up of the start-up loader: rows older than Now minus the days go from
// program_log, syslog and log (logs) and from traf_p and ping_data (traffic data). The limit is
// bound as text so the comparison stays text against text, as the rows store it.
void DeleteAgedRows(TSQLiteDatabase& Database, const TSettings& Values, qint64 NowUnix);
