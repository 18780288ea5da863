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

    QLabel *lblRcvPort = nullptr;
    QLabel *lblColon = nullptr;
    QLineEdit *txtRcvPort = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdCancel = nullptr;
    SocketControl *wscTcpRcvTest = nullptr;

    void Form_Load();
    void cmdApply_Click();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void SelectText();
    // Unloads the dialog and shows the main window.
    void CloseAndShowMain();

    bool m_loaded = false;
};

frmTcpRcvComSetting &ComSettingForm();
bool ComSettingFormExists();
void UnloadComSettingForm();
