#include "app/modTcpRecv.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvel"));
    Main();
    // Without a window (second instance, failed start-up) there is nothing left to run.
    const QWidgetList windows = QApplication::topLevelWidgets();
    if (std::none_of(windows.begin(), windows.end(), [](QWidget *w) { return w->isVisible(); }))
        return 0;
    return QApplication::exec();
}
