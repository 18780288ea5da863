#include "forms/frmTcpRcvComSetting.h"

#include "forms/Messages.h"
#include "forms/frmMain.h"
#include "forms/ui/CenterForm.h"
#include "forms/ui/Decorative.h"
#include "forms/ui/Fonts.h"
#include "forms/ui/MessageBox.h"
#include "forms/ui/ReturnKey.h"
#include "forms/ui/Twips.h"
#include "lib/ErrorTrap.h"
#include "lib/SettingKeys.h"
#include "lib/modFileIO.h"
#include "lib/modGeneralLib.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/SocketControl.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
frmTcpRcvComSetting *&instance()
{
    static frmTcpRcvComSetting *form = nullptr;
    return form;
}

QString storedPort()
{
    return ReadIniString(SettingKeys::portSection, SettingKeys::tcpPort, strSettingFile[1]);
}
} // namespace

frmTcpRcvComSetting::frmTcpRcvComSetting(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("通信設定"));
    setFixedSize(twips(0, 0, 4560, 2835).size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    const QFont labelFont = JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 11.25, true);
    lblRcvPort = new QLabel(QStringLiteral("受信ポート"), this);
    lblRcvPort->setGeometry(twips(240, 840, 1455, 375));
    lblRcvPort->setFont(labelFont);
    lblColon = new QLabel(QStringLiteral("："), this);
    lblColon->setGeometry(twips(2040, 840, 255, 375));
    lblColon->setFont(labelFont);
    lblColon->setAlignment(Qt::AlignRight | Qt::AlignTop);
    // The label reaches a pixel into the text box; the colon keeps clear of its border.
    lblColon->setContentsMargins(0, 0, 4, 0);

    txtRcvPort = new QLineEdit(this);
    txtRcvPort->setGeometry(twips(2280, 720, 1335, 420));
    txtRcvPort->setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 14.25, true));
    txtRcvPort->setMaxLength(5);
    // Screen readers announce the box by its label; the buddy ties the two together.
    lblRcvPort->setBuddy(txtRcvPort);

    cmdApply = new QPushButton(QStringLiteral("設定"), this);
    cmdApply->setGeometry(twips(840, 2040, 1215, 495));
    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setGeometry(twips(2640, 2040, 1215, 495));
    // Neither button answers Enter: only a click applies or cancels.
    for (QPushButton *button : {cmdApply, cmdCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    // Every control answers to its caption, so screen readers and UI automation find it.
    lblRcvPort->setObjectName(QStringLiteral("lblRcvPort"));
    lblRcvPort->setAccessibleName(lblRcvPort->text());
    lblColon->setObjectName(QStringLiteral("lblColon"));
    HideFromScreenReaders(*lblColon);
    txtRcvPort->setObjectName(QStringLiteral("txtRcvPort"));
    txtRcvPort->setAccessibleName(lblRcvPort->text());
    cmdApply->setObjectName(QStringLiteral("cmdApply"));
    cmdApply->setAccessibleName(cmdApply->text());
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAccessibleName(cmdCancel->text());
    setTabOrder(txtRcvPort, cmdApply);
    setTabOrder(cmdApply, cmdCancel);
    txtRcvPort->setFocus();

    wscTcpRcvTest = new SocketControl(0, this);
    wscTcpRcvTest->setObjectName(QStringLiteral("wscTcpRcvTest"));
    // A port is tried where the receiver will listen on it.
    wscTcpRcvTest->setLocalAddress(strBindAddress);

    connect(cmdApply, &QPushButton::clicked, this, &frmTcpRcvComSetting::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmTcpRcvComSetting::cmdCancel_Click);
}

frmTcpRcvComSetting::~frmTcpRcvComSetting()
{
    if (instance() == this)
        instance() = nullptr;
}

void frmTcpRcvComSetting::Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    Form_Load();
}

void frmTcpRcvComSetting::Form_Load()
{
    TrapErrors("(Form_Load)", [this] {
        txtRcvPort->setText(storedPort());
        CenterForm(*this);
    });
}

void frmTcpRcvComSetting::cmdApply_Click()
{
    TrapErrors("(cmdApply_Click)", [this] {
        const QString typed = txtRcvPort->text();
        if (!CheckPortNo(typed)) {
            MsgBox(QStringLiteral("受信ポート番号が不正です。"), MsgBoxStyle::OkOnly);
            SelectText();
            return;
        }
        const QString portText = TrimBlanks(typed);
        if (portText == storedPort()) {
            CloseAndShowMain();
            return;
        }
        if (!CheckListenPort(*wscTcpRcvTest, QString::number(CLng(typed)))) {
            MsgBox(Messages::portUnusable, MsgBoxStyle::Critical);
            SelectText();
            return;
        }
        if (!WriteIniString(SettingKeys::portSection, SettingKeys::tcpPort, strSettingFile[1],
                            portText)) {
            MsgBox(Messages::settingsWriteFailed, MsgBoxStyle::Critical);
            SelectText();
            throw RuntimeError(ErrorText::permissionDenied);
        }
        MsgBox(QStringLiteral(
                   "受信ポート設定を変更しました。\r\nアプリケーションを再起動してください。"),
               MsgBoxStyle::Information);
        CloseAndShowMain();
    });
}

void frmTcpRcvComSetting::cmdCancel_Click()
{
    TrapErrors("(cmdCancel_Click)", [this] {
        if (CheckPortNo(storedPort())) {
            CloseAndShowMain();
            return;
        }
        MsgBox(QStringLiteral("正常な受信ポート番号を設定してください。"), MsgBoxStyle::OkOnly);
        SelectText();
    });
}

void frmTcpRcvComSetting::SelectText()
{
    txtRcvPort->setSelection(0, txtRcvPort->text().length());
    txtRcvPort->setFocus();
}

void frmTcpRcvComSetting::CloseAndShowMain()
{
    // The main window is shown before the dialog goes, so the program never has no window.
    MainForm().Show();
    done(QDialog::Accepted);
    UnloadComSettingForm();
}

void frmTcpRcvComSetting::showEvent(QShowEvent *event)
{
    Load();
    QDialog::showEvent(event);
}

void frmTcpRcvComSetting::keyPressEvent(QKeyEvent *event)
{
    // Escape does not close the dialog: only its buttons do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // In the text box Return does nothing.
    if (!PressFocusedButtonOnReturn(*this, *event))
        QDialog::keyPressEvent(event);
}

frmTcpRcvComSetting &ComSettingForm()
{
    if (!instance())
        instance() = new frmTcpRcvComSetting;
    return *instance();
}

bool ComSettingFormExists()
{
    return instance() != nullptr;
}

void UnloadComSettingForm()
{
    frmTcpRcvComSetting *form = instance();
    instance() = nullptr;
    if (form)
        form->deleteLater();
}
