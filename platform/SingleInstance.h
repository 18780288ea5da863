#pragma once

// One running instance per program folder: an exclusive lock on the folder itself, held until
// the process ends. The kernel drops it when the process dies, so a crash never blocks; renaming
// or replacing the executable keeps the folder, and a copy in another folder is another folder.
namespace SingleInstance {
// True when this process now holds the lock (or already did); false when another one holds it.
bool acquire();
} // namespace SingleInstance
