#pragma once

#include "app/CommandLine.h"

// The program's entry: prepares folders, log and settings, refuses a second instance, then opens
// the main window or, when the stored port cannot be used, the port settings dialog. Of the
// options, the window uses the bind address.
void Main(const RunOptions &options = {});

// This program's row in the tool family's tables.
constexpr qint16 receiverToolIndex = 1;

// SIGTERM, SIGINT and SIGHUP end the program from then on as the exit question answered OK does,
// through the event loop. Needs the application object.
void EndOnTerminationSignals();

// Fills the folder paths and the family's settings-file table from the program folder.
bool SetDefine();
