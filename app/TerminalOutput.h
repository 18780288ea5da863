#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// What the terminal mode shows: on standard output one line per event, "YY/MM/DD HH:MM:SS.t text"
// as the log stamps it; on standard error the errors, "parvel: text". Event lines are written
// after the event that made them has been handled, so a slow reader of the output never stands
// between a block and its answer; each line is then flushed whole. Quiet shows errors only.
class TerminalOutput : public QObject
{
    Q_OBJECT

public:
    explicit TerminalOutput(bool quiet, QObject *parent = nullptr);
    ~TerminalOutput() override;

    // Every log line is an event line too, for as long as this output lives.
    void followLog();

    void event(const QByteArray &timestamp, const QByteArray &text);
    // An event stamped now.
    void event(const QString &text);
    // At once; a message box's text keeps its words and loses its line breaks.
    static void error(const QString &text);

    // Writes the event lines not written yet.
    void flush();

private:
    bool m_quiet;
    QByteArray m_pending;
    bool m_flushQueued = false;
};
