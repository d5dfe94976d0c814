// The program block: application set-up, the program's windows in their fixed creation order,
// the message loop, and the end through Exit or a termination signal.
#pragma once

#include <QStringList>

inline constexpr const char* ApplicationTitle = "Zorvanite Tarnequill Pro ";

// The whole program; returns the process exit code.
int RunProgram(int argc, char** argv);

// Creates the monitor's services (on MonitorDatabase and the Data folder), then runs the start-up
// steps in their fixed order: the program's windows, each running its creation handler with the
// services, and the services' starts between them (a failing handler or step is reported and the
// start goes on). Needs a QApplication.
void CreateForms();

// The names of the start-up steps, in order: "<class>.FormCreate" for a window, else the service
// step's name.
QStringList StartupStepNames();

// The class names of the program's windows, in creation order.
QStringList FormCreationOrder();

// The main window starts hidden in the notification area, or shown when there is none.
void ApplyStartVisibility(bool trayAvailable);

// Exit: closes the main window for good, running the close sequence.
void CloseProgram();

// Stops every service thread, destroys every window created by CreateForms() in reverse order, clears their
// pointers, and destroys the services last.
void DestroyForms();
