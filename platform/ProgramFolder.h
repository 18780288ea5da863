#pragma once

#include <QString>

// The folder that holds the running executable, without a trailing separator.
// Tests point it at a temporary folder so that Config, Log and Temp land there.
QString ProgramFolder();
void SetProgramFolder(const QString &folder);
