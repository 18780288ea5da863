#pragma once

#include "app/CommandLine.h"

// The program's entry: prepares folders, log and settings, refuses a second instance, then opens
// the main window or, when the stored port cannot be used, the port settings dialog. Of the
// options, the window uses the bind address.
void Main(const RunOptions &options = {});

// Fills the folder paths and the family's settings-file table from the program folder.
bool SetDefine();
