// Preloaded (LD_PRELOAD) into the unmodified parvel executable by the benchmark, which has no
// options of its own: reports when the first window is on screen, then presses the start button
// as a user would. Lines on stdout start with "probe"; stdin takes "grid" (print both grids'
// cells) and ends the program when it closes. Times are CLOCK_MONOTONIC in nanoseconds, which
// the benchmark shares, so it can measure from the moment it started the process.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <ctime>
#include <unistd.h>

namespace {
qint64 monotonicNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void say(const QByteArray &text)
{
    const QByteArray line = "probe " + text + '\n';
    qsizetype written = 0;
    while (written < line.size()) {
        const ssize_t n
            = ::write(STDOUT_FILENO, line.constData() + written, size_t(line.size() - written));
        if (n <= 0)
            return;
        written += n;
    }
}

QWidget *mainWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->inherits("frmMain") && window->isVisible())
            return window;
    }
    return nullptr;
}

// The cells of one grid as hexadecimal text, row after row, empty cells left out.
QByteArray gridText(const QWidget *window, const char *name)
{
    const auto *view = window->findChild<QAbstractItemView *>(QLatin1String(name));
    const QAbstractItemModel *model = view ? view->model() : nullptr;
    if (!model)
        return "-";
    QByteArray text;
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column)
            text += model->data(model->index(row, column)).toString().toLatin1();
    }
    return text.isEmpty() ? "-" : text;
}

class Probe : public QObject
{
public:
    explicit Probe(QObject *parent) : QObject(parent), m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_input, &QSocketNotifier::activated, this, &Probe::readCommands);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_shown && event->type() == QEvent::Expose) {
            const auto *window = qobject_cast<QWindow *>(watched);
            if (window && window->isExposed()) {
                m_shown = true;
                const qint64 exposed = monotonicNanoseconds();
                // Runs once the expose has been handled, i.e. the first frame is painted.
                QTimer::singleShot(0, this, [this, exposed] {
                    say("shown " + QByteArray::number(exposed) + ' '
                        + QByteArray::number(monotonicNanoseconds()));
                    pressStart();
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void pressStart()
    {
        QWidget *window = mainWindow();
        auto *button = window ? window->findChild<QAbstractButton *>(QStringLiteral("cmdRecvData"))
                              : nullptr;
        if (!button) {
            say("started none");
            return;
        }
        button->click();
        say("started " + button->text().toUtf8());
    }

    void readCommands()
    {
        char chunk[256];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            m_input.setEnabled(false);
            QCoreApplication::exit(0);
            return;
        }
        m_pending.append(chunk, n);
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray command = m_pending.left(end).trimmed();
            m_pending.remove(0, end + 1);
            if (command == "grid") {
                const QWidget *window = mainWindow();
                say("grid " + (window ? gridText(window, "fgrdRecvData") : "-") + ' '
                    + (window ? gridText(window, "fgrdSendData") : "-"));
            }
        }
    }

    QSocketNotifier m_input;
    QByteArray m_pending;
    bool m_shown = false;
};

void installProbe()
{
    say("application " + QByteArray::number(monotonicNanoseconds()));
    QCoreApplication::instance()->installEventFilter(new Probe(QCoreApplication::instance()));
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
