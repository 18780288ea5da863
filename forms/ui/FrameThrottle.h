#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

// Runs a refresh at most once a frame: on the event loop's next pass after a quiet spell, else
// once the frame since the last refresh is over. Requests in between merge into that one run, so
// a flood costs one refresh a frame however many blocks come.
class FrameThrottle : public QObject
{
    Q_OBJECT

public:
    static constexpr int frameMilliseconds = 40;

    FrameThrottle(std::function<void()> refresh, QObject *parent);

    void request();

private:
    void run();

    std::function<void()> m_refresh;
    QTimer m_timer;
    QElapsedTimer m_sinceRefresh;
};
