#pragma once

#include "MessageBoxRecorder.h"
#include "ProgramFolderFixture.h"

// A fresh program folder with the message boxes recorded, for a test that makes its windows as it
// goes: they are unloaded, and their deferred deletions run, before the folder goes.
class WindowFolder
{
public:
    WindowFolder() = default;
    ~WindowFolder();
    WindowFolder(const WindowFolder &) = delete;
    WindowFolder &operator=(const WindowFolder &) = delete;

    ProgramFolderFixture folder;
    MessageBoxRecorder boxes;
};
