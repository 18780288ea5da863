#pragma once

#include "lib/ResponseRules.h"

#include <QMainWindow>

class FrameThrottle;
class frmHistory;
class HexGrid;
class Lamp;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTimer;
class ReceiverSession;
class StatusPanel;

// The receive monitor: hex grids of the last received and the last answered block, lamps,
// timestamps, the response choice, the start/stop and exit buttons. It drives the receiver
// session (lib/ReceiverSession) and shows what the session reports; it never receives itself.
//
// Where each part lives:
//   frmMain.cpp              construction, Show, and leaving: closeEvent, cmdEnd_Click, End,
//                            ConfirmAndEnd; the one instance (MainForm)
//   frmMain_Layout.cpp       the controls, their places, names and Tab order (CreateControls)
//   frmMain_Load.cpp         Form_Load and the clock (tmrNowDateTime_Timer)
//   frmMain_ReadSetting.cpp  ReadSetting: the settings file into the members and log globals
//   frmMain_Receive.cpp      the session: cmdRecvData_Click, the response options, and the
//                            wscRecv_* events forwarded to it
//   frmMain_Display.cpp      the display pass (RefreshDisplay) and the status panels
//   frmMain_ComSetting.cpp   設定 → 通信 (ComSetting_Click)
//   frmMain_CustomData.cpp   設定 → 応答データ (CustomData_Click, ApplyCustomReply)
//   frmMain_Capture.cpp      設定 → データ記録 and ログフォルダを開く
//   frmMain_Rules.cpp        設定 → 応答ルール and 1バイトのデータも受信する
//   frmMain_History.cpp      設定 → 通信履歴... (History_Click)
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // Loads the receiver's settings into the port and response members and the log globals.
    void ReadSetting(const QString &strIniFile);
    qint32 RcvPort() const { return lngRcvPort; }
    qint16 ResSetting() const { return intResSetting; }

    // Shows the window modeless; the first call runs Form_Load.
    void Show();
    // Ends the program as the exit question answered OK does, without asking (the ending
    // signals are their own answer): every connection's last bytes are logged and answered, echo
    // never sent gets its drop line, and the event loop is left.
    void End();
    bool IsLoaded() const { return m_loaded; }

protected:
    void closeEvent(QCloseEvent *event) override;

    // Event handlers.
private slots:
    void Form_Load();
    void tmrNowDateTime_Timer();
    void cmdRecvData_Click();
    void cmdEnd_Click();
    void ComSetting_Click();
    void CustomData_Click();
    void CaptureData_Click(bool checked);
    void ResponseRules_Click();
    void ReceiveLoneByte_Click(bool checked);
    void OpenLogFolder_Click();
    void History_Click();
    void wscRecv_ConnectionRequest(int index, qintptr requestId);
    void wscRecv_DataArrival(int index, qint64 bytesTotal);
    void wscRecv_Close(int index);
    void wscRecv_Error(int index);
    // Tells the session the answer the checked response option stands for.
    void ApplyResponseOption();
    // Brings the status panels up to date, and lamps, time stamps and grids to the newest block
    // of the record.
    void RefreshDisplay();

private:
    void CreateControls();
    void ConnectSession();
    // Asks the exit question; true when the user confirmed and the program is ending.
    bool ConfirmAndEnd();
    void RefreshStatus();
    // Only the checked response option (the first, with none checked) is a Tab stop.
    void TabToCheckedOption();
    // Saves the reply the custom option answers with (empty: none) and puts it to use at once;
    // false, with a box and a log line, when the settings file could not be written.
    bool ApplyCustomReply(const QByteArray &reply);
    // Saves the rules the dialog checked; false, with a box and a log line, when the rules file
    // could not be written.
    bool ApplyResponseRules(const QList<ResponseRule> &rules);
    // カスタム can be chosen only when there is a reply to answer with.
    void ShowCustomAvailable();

    qint32 lngRcvPort = 0;
    qint16 intResSetting = 0;

    // Controls; each carries its name as its object name.
    QMenu *Admin = nullptr;
    QAction *ComSetting = nullptr;
    QAction *CustomData = nullptr;
    QAction *ResponseRules = nullptr;
    QAction *CaptureData = nullptr;
    QAction *ReceiveLoneByte = nullptr;
    QAction *OpenLogFolder = nullptr;
    QAction *History = nullptr;
    QLabel *lblRcvData = nullptr;
    Lamp *shpRecvLed = nullptr;
    QLabel *lblNowDateTimeForRecv = nullptr;
    QLabel *lblNowDateTimeForRecvData = nullptr;
    QLabel *lblLastRecvDateTime = nullptr;
    QLabel *lblLastRecvDateTimeData = nullptr;
    QPushButton *cmdRecvData = nullptr;
    HexGrid *fgrdRecvData = nullptr;
    QLabel *lblSendData = nullptr;
    Lamp *shpSendLed = nullptr;
    QLabel *lblNowDateTimeForSend = nullptr;
    QLabel *lblNowDateTimeForSendData = nullptr;
    QLabel *lblLastSentDateTime = nullptr;
    QLabel *lblLastSentDateTimeData = nullptr;
    QGroupBox *fraResSetting = nullptr;
    QRadioButton *optNothing = nullptr;
    QRadioButton *optRcvData = nullptr;
    QRadioButton *optCustom = nullptr;
    HexGrid *fgrdSendData = nullptr;
    QPushButton *cmdEnd = nullptr;
    QStatusBar *sbStatusBar = nullptr;
    StatusPanel *sbListening = nullptr;
    StatusPanel *sbConnection = nullptr;
    StatusPanel *sbReceived = nullptr;
    StatusPanel *sbSent = nullptr;
    QLabel *sbCapture = nullptr;
    QLabel *lblRecvShown = nullptr;
    QLabel *lblSendShown = nullptr;
    QTimer *tmrNowDateTime = nullptr;

    // The receiver: the sockets wscRecv (element 0 listens, element 1 carries the peer), the
    // answer, the capture, the counts and the record of the newest blocks.
    ReceiverSession *m_session = nullptr;
    bool m_ended = false;

    // The window follows the data: one refresh a frame at most shows the session's newest block.
    quint64 m_shownSerial = 0;
    quint64 m_shownSentSerial = 0;
    FrameThrottle *m_displayThrottle = nullptr;
    frmHistory *m_historyWindow = nullptr;

    bool m_loaded = false;
};

// The program's one main window, created on first use (as the forms' default instances were).
frmMain &MainForm();
bool MainFormExists();
void UnloadMainForm();
