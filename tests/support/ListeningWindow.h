#pragma once

#include "MessageBoxRecorder.h"
#include "ProgramFolderFixture.h"

class frmMain;

// The main window over a fresh program folder whose settings name a free loopback port: settings
// read, window shown, message boxes recorded. Unloads the window when it goes.
class ListeningWindow
{
public:
    explicit ListeningWindow(int logMaxSize = 3, int logGenerations = 10);
    ~ListeningWindow();
    ListeningWindow(const ListeningWindow &) = delete;
    ListeningWindow &operator=(const ListeningWindow &) = delete;

    // True when the folder is in place and the window took the port from the settings.
    bool isValid() const;
    // Presses the start button; true when the listener is up.
    bool startListening();

    ProgramFolderFixture folder;
    MessageBoxRecorder boxes;
    const quint16 port;
    frmMain &form;
};
