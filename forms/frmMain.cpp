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
