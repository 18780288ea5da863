#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class SocketControl;

// The port settings dialog: edits, checks (form, then a trial listen) and saves the receive port.
class frmTcpRcvComSetting : public QDialog
{
    Q_OBJECT

public:
    explicit frmTcpRcvComSetting(QWidget *parent = nullptr);
    ~frmTcpRcvComSetting() override;

    // Runs Form_Load the first time the dialog or one of its controls is used.
    void Load();

    // The trial socket, which start-up borrows for its trial listen.
    SocketControl *wscTcpRcvTest = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void Form_Load();
    void cmdApply_Click();
    void cmdCancel_Click();

private:
    void SelectText();
    // Unloads the dialog and shows the main window.
    void CloseAndShowMain();

    // Controls; each carries its name as its object name.
    QLabel *lblRcvPort = nullptr;
    QLabel *lblColon = nullptr;
    QLineEdit *txtRcvPort = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdCancel = nullptr;

    bool m_loaded = false;
};

frmTcpRcvComSetting &ComSettingForm();
bool ComSettingFormExists();
void UnloadComSettingForm();
