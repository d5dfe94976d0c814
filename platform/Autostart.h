// Start with the desktop session: a desktop entry in the user's autostart folder.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// "$XDG_CONFIG_HOME/autostart/Zorvanite_Tarnequill_Pro.desktop" ($HOME/.config when the variable is
// unset or not absolute).
QString AutostartEntryPath();

// The entry starting Program (an absolute path), its Exec line quoted so blanks and reserved
// characters reach the program unchanged.
QByteArray AutostartEntryText(const QString& Program);

// The Exec value for Program: one argument in double quotes, '"', '`', '$' and '\' escaped, '%'
// doubled, and then every '\' doubled once more for the string value, line breaks and tabs as \n \r \t.
QString QuotedExecArgument(const QString& Program);

// The program of an Exec value QuotedExecArgument wrote: nothing when the value is not one quoted
// argument in that form (another program's entry, a field code, a bad escape).
std::optional<QString> ExecArgumentProgram(const QString& Value);
// The program an entry starts: the Exec line of its [Desktop Entry] group, read back.
std::optional<QString> AutostartEntryProgram(const QByteArray& Entry);

// On: the entry is written when missing or different. Off: our entry is removed; nothing is
// created when none exists. False when the file could not be written or removed.
bool ApplyAutostart(bool On, const QString& Program);

// The path of the running program, from /proc/self/exe.
QString RunningProgramPath();
