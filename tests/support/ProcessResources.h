#pragma once

#include <QString>
#include <QtGlobal>

// What this process holds, read from /proc/self: open file descriptors and resident memory.
int OpenDescriptorCount();
qint64 ResidentKiB();

// AddressSanitizer keeps freed memory in quarantine, so resident memory says nothing there.
bool AddressSanitizerActive();

// True while some process holds an flock on the file or folder (the single-instance lock sits on
// the program folder), read from the
// kernel's lock table so that looking never takes the lock away from a starting instance.
bool InstanceLockHeld(const QString &file);
