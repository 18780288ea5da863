#include "app/modTcpRecv.h"
#include "forms/ui/QtTranslation.h"

#include <QApplication>
#include <QIcon>
#include <QWidget>
#include <algorithm>
#include <csignal>

int main(int argc, char *argv[])
{
    // A file-size limit makes a write fail short, which every append takes back; the signal's
    // default would end the program with a torn line.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/parvel.png")));
    // Ties the windows to the parvel.desktop launcher, whose icon the desktop then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral("parvel"));
    LoadQtTranslation();
    Main();
    // Without a window (second instance, failed start-up) there is nothing left to run.
    const QWidgetList windows = QApplication::topLevelWidgets();
    if (std::none_of(windows.begin(), windows.end(), [](QWidget *w) { return w->isVisible(); }))
        return 0;
    return QApplication::exec();
}
