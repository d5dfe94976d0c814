// The Data folder beside the executable, where the program keeps its database, settings,
// language files and sounds. Tests point it at a temporary folder.
#pragma once

#include <QString>

// The executable's folder with a trailing "/", found through /proc/self/exe.
QString ExecutableFolder();

// "<executable folder>/Data/" unless SetDataFolder() chose another; always ends with "/".
QString DataFolder();

// Uses path (a trailing "/" is added when missing) as the Data folder; empty restores the default.
void SetDataFolder(const QString& path);

// Makes sure the Data folder exists and can be read, creating it when possible. On failure writes
// one clear line on stderr and returns false; the program goes on regardless.
bool EnsureDataFolder();
