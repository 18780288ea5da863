#pragma once

#include <QObject>

// SIGTERM, SIGINT and SIGHUP as a Qt signal from the event loop. The handler only writes the
// signal's number into a socket pair; a notifier reads it on the UI thread, so whatever the
// program does on such a signal runs between two events, never inside the handler, and an append
// or a line under way finishes first.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    // Installs the handlers (once per process) and returns the object that reports them. Needs
    // the application object; the signals are caught from then on, also before the event loop
    // runs, and reported once it does.
    static TerminationSignals *install();

signals:
    void received(int signalNumber);

private:
    explicit TerminationSignals(int readEnd);
    void readPending();

    int m_readEnd;
};
