#include "app/CommandLine.h"
#include "app/Headless.h"
#include "app/modTcpRecv.h"
#include "forms/ui/QtTranslation.h"

#include <QApplication>
#include <QIcon>
#include <QWidget>
#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {
QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int at = 0; at < argc; ++at)
        arguments << QString::fromLocal8Bit(argv[at]);
    return arguments;
}

// Help and version on standard output, a refusal on standard error; -1 when the program runs.
int answerWithoutRunning(const CommandLine &commandLine)
{
    switch (commandLine.action) {
    case CommandLine::Action::Run:
        return -1;
    case CommandLine::Action::ShowHelp:
    case CommandLine::Action::ShowVersion:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::BadUsage:
        std::fprintf(stderr, "%s\n", commandLine.text.toLocal8Bit().constData());
        return ExitStatus::badUsage;
    }
    return -1;
}
} // namespace

int main(int argc, char *argv[])
{
    // A file-size limit makes a write fail short, which every append takes back; the signal's
    // default would end the program with a torn line.
    std::signal(SIGXFSZ, SIG_IGN);
    if (RunsWithoutWindow(argumentsOf(argc, argv))) {
        // No display connection: the terminal mode runs where there is none, and help is
        // readable there too.
        QCoreApplication application(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Parvel"));
        const CommandLine commandLine = ParseCommandLine(QCoreApplication::arguments());
        const int answered = answerWithoutRunning(commandLine);
        if (answered >= 0)
            return answered;
        return RunHeadless(commandLine.options);
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/parvel.png")));
    // Ties the windows to the parvel.desktop launcher, whose icon the desktop then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral("parvel"));
    LoadQtTranslation();
    // Qt has taken its own options (-platform, -style, -session ...); the rest are ours.
    const CommandLine commandLine = ParseCommandLine(QApplication::arguments());
    const int answered = answerWithoutRunning(commandLine);
    if (answered >= 0)
        return answered;
    EndOnTerminationSignals();
    Main(commandLine.options);
    // Without a window (second instance, failed start-up) there is nothing left to run.
    const QWidgetList windows = QApplication::topLevelWidgets();
    if (std::none_of(windows.begin(), windows.end(), [](QWidget *w) { return w->isVisible(); }))
        return 0;
    return QApplication::exec();
}
