#include "forms/frmMain.h"

#include "forms/ui/MessageBox.h"
#include "lib/ErrorTrap.h"
#include "lib/ReceiverSession.h"

#include <QCloseEvent>
#include <QCoreApplication>

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

void frmMain::cmdEnd_Click()
{
    ConfirmAndEnd();
}

bool frmMain::ConfirmAndEnd()
{
    bool ending = false;
    TrapErrors("(cmdEnd_Click)", [&] {
        const int answer
            = MsgBox(QStringLiteral("Parvelを終了してもよろしいですか？"),
                     MsgBoxStyle::OkCancel | MsgBoxStyle::Question | MsgBoxStyle::DefaultButton2,
                     QStringLiteral("Parvel"));
        ending = answer == MsgBoxResult::Ok;
    });
    if (ending)
        End();
    return ending;
}

void frmMain::End()
{
    // Once: a signal may come while the exit question waits, or twice.
    if (m_ended)
        return;
    m_ended = true;
    TrapErrors("(cmdEnd_Click)", [&] { m_session->end(); });
    hide();
    // Leave the event loop at once: no further handler runs.
    QCoreApplication::exit(0);
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
