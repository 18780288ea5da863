#pragma once

struct RunOptions;

// The receiver without a window, for test rigs, CI jobs and services: start-up as the window's
// (folders, Temp, one instance per folder, settings, log rotation), then listening at once until
// SIGINT, SIGTERM or SIGHUP. Events go to standard output, errors to standard error; the result
// is the exit status.
int RunHeadless(const RunOptions &options);
