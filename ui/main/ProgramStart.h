// The program block: application set-up, the program's windows in their fixed creation order,
// the message loop, and the end through Exit or a termination signal.
#pragma once

#include <QStringList>

inline constexpr const char* ApplicationTitle = "Zorvanite Tarnequill Pro ";

// The whole program; returns the process exit code.
int RunProgram(int argc, char** argv);

// Creates the program's windows in their fixed order, each running its creation handler (a
// failing handler is reported and the window still exists). Needs a QApplication.
void CreateForms();

// The class names of the program's windows, in creation order.
QStringList FormCreationOrder();

// The main window starts hidden in the notification area, or shown when there is none.
void ApplyStartVisibility(bool trayAvailable);

// Exit: closes the main window for good, running the close sequence.
void CloseProgram();

// Destroys every window created by CreateForms(), in reverse order, and clears their pointers.
void DestroyForms();
