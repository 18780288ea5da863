#pragma once

#include "platform/SocketControl.h"

#include <QObject>
#include <QString>
#include <cstddef>

// A window's control found by its object name, the name the window gives it (cmdRecvData,
// fgrdRecvData, …), so that tests drive the windows without reaching into them. A missing
// control ends the test program: every test after it would only fail for the same reason.
template<typename Control> Control *Ctl(const QObject &window, const char *name)
{
    auto *control = window.findChild<Control *>(QLatin1String(name));
    if (!control)
        qFatal("No control named %s", name);
    return control;
}

// Element index of the main window's socket array wscRecv; nullptr while it does not exist.
inline SocketControl *Socket(const QObject &window, int index)
{
    return window.findChild<SocketControl *>(QStringLiteral("wscRecv%1").arg(index));
}

inline std::size_t SocketCount(const QObject &window)
{
    std::size_t count = 0;
    while (Socket(window, int(count)))
        ++count;
    return count;
}
