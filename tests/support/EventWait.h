#pragma once

#include <functional>

// Runs the event loop until done() holds or timeoutMs have passed; true when done() holds.
// Woken by events (and every few milliseconds for conditions that raise none), so a condition
// met at once costs no sleep. Objects released with deleteLater() are deleted on the way, as in
// the application's own loop.
bool WaitUntil(const std::function<bool()> &done, int timeoutMs = 10000);
