#include "forms/ui/FrameThrottle.h"

FrameThrottle::FrameThrottle(std::function<void()> refresh, QObject *parent)
    : QObject(parent), m_refresh(std::move(refresh))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FrameThrottle::run);
}

void FrameThrottle::request()
{
    if (m_timer.isActive())
        return;
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : frameMilliseconds;
    m_timer.start(int(qMax<qint64>(0, frameMilliseconds - since)));
}

void FrameThrottle::run()
{
    m_sinceRefresh.start();
    m_refresh();
}
