// A record of the start-up and shut-down steps as they run (window creation handlers, close
// steps), so the order can be checked without a real process.
#pragma once

#include <QString>
#include <QStringList>

void TraceStartupStep(const QString& step);
QStringList StartupTraceSteps();
void ClearStartupTrace();
