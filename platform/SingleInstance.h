#pragma once

// One running instance per executable: an exclusive lock on the executable file itself, held
// until the process ends. The kernel drops it when the process dies, so a crash never blocks.
namespace SingleInstance {
// True when this process now holds the lock (or already did); false when another one holds it.
bool acquire();
} // namespace SingleInstance
