// Preloaded (LD_PRELOAD) into the unmodified parvel executable, which has no options of its own:
// reports when the first window is painted, then presses 受信待ち as a user would. Lines out
// start with "probe"; lines in: "grid" (both grids' cells), "measure" (start timing how late
// the program answers), "ping <ns>" (a request sent at that time), "lateness" (the figures since
// "measure"), "history" (opens 通信履歴 if it is not open, and the rows its table shows).
// Closing stdin ends the program. Times are CLOCK_MONOTONIC, shared with the bench.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {
constexpr qint64 tickNs = 20'000'000;

// CLOCK_MONOTONIC, which the steady clock reads on Linux: the bench reads the same clock.
qint64 now()
{
    return std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void say(const QByteArray &text)
{
    std::fputs(("probe " + text + '\n').constData(), stdout);
    std::fflush(stdout);
}

QWidget *mainWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->inherits("frmMain") && window->isVisible())
            return window;
    }
    return nullptr;
}

// One grid's cells as hexadecimal text, empty cells left out.
QByteArray gridText(const char *name)
{
    const QWidget *window = mainWindow();
    const auto *view
        = window ? window->findChild<QAbstractItemView *>(QLatin1String(name)) : nullptr;
    const QAbstractItemModel *model = view ? view->model() : nullptr;
    QByteArray text;
    for (int row = 0; model && row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column)
            text += model->data(model->index(row, column)).toString().toLatin1();
    }
    return text.isEmpty() ? "-" : text;
}

// Opens the history window as 設定 → 通信履歴... does; the rows its table shows, -1 without one.
int historyRows()
{
    QWidget *window = mainWindow();
    QWidget *history
        = window ? window->findChild<QWidget *>(QStringLiteral("frmHistory")) : nullptr;
    if (window && (!history || !history->isVisible())) {
        for (QAction *action : window->findChildren<QAction *>()) {
            if (action->text() == QStringLiteral("通信履歴..."))
                action->trigger();
        }
        history = window->findChild<QWidget *>(QStringLiteral("frmHistory"));
    }
    const auto *table
        = history ? history->findChild<QAbstractItemView *>(QStringLiteral("tblHistory")) : nullptr;
    return table && history->isVisible() ? table->model()->rowCount() : -1;
}

class Probe : public QObject
{
public:
    explicit Probe(QObject *parent) : QObject(parent), m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_input, &QSocketNotifier::activated, this, &Probe::readCommands);
        // A tick like the window's clock: how late it comes is how late the program answers.
        m_tick.setSingleShot(true);
        m_tick.setTimerType(Qt::PreciseTimer);
        connect(&m_tick, &QTimer::timeout, this, [this] {
            note(&m_tickWorst, now() - m_tickDue);
            startTick();
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto *window = qobject_cast<QWindow *>(watched);
        if (!m_shown && event->type() == QEvent::Expose && window && window->isExposed()) {
            m_shown = true;
            const qint64 exposed = now();
            // Runs once the expose has been handled, i.e. the first frame is painted.
            QTimer::singleShot(0, this, [exposed] {
                say("shown " + QByteArray::number(exposed) + ' ' + QByteArray::number(now()));
                QWidget *window = mainWindow();
                auto *start = window
                    ? window->findChild<QAbstractButton *>(QStringLiteral("cmdRecvData"))
                    : nullptr;
                if (start)
                    start->click();
                say("started " + (start ? start->text().toUtf8() : "none"));
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void startTick()
    {
        m_tickDue = now() + tickNs;
        m_tick.start(int(tickNs / 1000000));
    }

    void note(qint64 *worst, qint64 lateNs)
    {
        m_late.push_back(lateNs);
        *worst = std::max(*worst, lateNs);
    }

    void command(const QByteArray &line)
    {
        if (line == "grid") {
            say("grid " + gridText("fgrdRecvData") + ' ' + gridText("fgrdSendData"));
        } else if (line == "history") {
            say("history " + QByteArray::number(historyRows()));
        } else if (line == "measure") {
            m_late.clear();
            m_pingWorst = m_tickWorst = 0;
            startTick();
        } else if (line.startsWith("ping ")) {
            note(&m_pingWorst, now() - line.mid(5).toLongLong());
        } else if (line == "lateness") {
            m_tick.stop();
            std::sort(m_late.begin(), m_late.end());
            const auto us = [](qint64 ns) {
                return QByteArray::number(ns / 1000);
            };
            say("lateness " + us(m_late.empty() ? 0 : m_late.back()) + ' '
                + us(m_late.empty() ? 0 : m_late[m_late.size() / 2]) + ' '
                + QByteArray::number(qint64(m_late.size())) + ' ' + us(m_pingWorst) + ' '
                + us(m_tickWorst));
        }
    }

    void readCommands()
    {
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            m_input.setEnabled(false);
            QCoreApplication::exit(0);
            return;
        }
        m_pending.append(chunk, n);
        for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0; m_pending.remove(0, end + 1))
            command(m_pending.left(end).trimmed());
    }

    QSocketNotifier m_input;
    QByteArray m_pending;
    bool m_shown = false;
    QTimer m_tick;
    qint64 m_tickDue = 0;
    std::vector<qint64> m_late; // ns, pings and ticks alike
    qint64 m_pingWorst = 0;
    qint64 m_tickWorst = 0;
};

void installProbe()
{
    say("application " + QByteArray::number(now()));
    QCoreApplication::instance()->installEventFilter(new Probe(QCoreApplication::instance()));
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
