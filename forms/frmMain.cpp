#include "forms/frmMain.h"

#include <QCloseEvent>

namespace {
frmMain *&instance()
{
    static frmMain *form = nullptr;
    return form;
}
} // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    CreateControls();
}

frmMain::~frmMain()
{
    if (instance() == this)
        instance() = nullptr;
}

void frmMain::Show()
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    show();
    // Where the focus is shows from the start, not only after the first Tab (showing a window
    // clears this mark).
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // The close box asks the same question as the exit button.
    if (ConfirmAndEnd())
        event->accept();
    else
        event->ignore();
}

frmMain &MainForm()
{
    if (!instance())
        instance() = new frmMain;
    return *instance();
}

bool MainFormExists()
{
    return instance() != nullptr;
}

void UnloadMainForm()
{
    delete instance();
}
