#include "forms/ui/ReturnKey.h"

#include <QKeyEvent>
#include <QPushButton>

bool PressFocusedButtonOnReturn(QWidget &window, QKeyEvent &event)
{
    if (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter)
        return false;
    if (auto *focused = qobject_cast<QPushButton *>(window.focusWidget()))
        focused->click();
    event.accept();
    return true;
}
