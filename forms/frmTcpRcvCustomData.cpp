#include "forms/frmTcpRcvCustomData.h"

#include "forms/ui/CenterForm.h"
#include "forms/ui/Fonts.h"
#include "forms/ui/MessageBox.h"
#include "forms/ui/ReturnKey.h"
#include "forms/ui/Twips.h"
#include "lib/CustomReply.h"
#include "lib/ErrorTrap.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

frmTcpRcvCustomData::frmTcpRcvCustomData(const QByteArray &reply, KeepReply keep, QWidget *parent)
    : QDialog(parent), m_keep(std::move(keep))
{
    setObjectName(QStringLiteral("frmTcpRcvCustomData"));
    setWindowTitle(QStringLiteral("応答データ設定"));
    setAccessibleName(windowTitle());
    setFixedSize(twips(0, 0, 6480, 3195).size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblCustomData = new QLabel(QStringLiteral("応答データ（16進数）"), this);
    lblCustomData->setGeometry(twips(240, 240, 6000, 375));
    lblCustomData->setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 11.25, true));

    // Up to 2048 pairs: a box that wraps between pairs shows a long reply whole. The digits are
    // monospaced so that the pairs line up.
    txtCustomData = new QPlainTextEdit(FormatCustomReply(reply), this);
    txtCustomData->setGeometry(twips(240, 660, 6000, 1500));
    txtCustomData->setFont(JapaneseFont(QStringLiteral("ＭＳ ゴシック"), 11.25));
    txtCustomData->setTabChangesFocus(true);
    txtCustomData->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    txtCustomData->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtCustomData->setPlaceholderText(QStringLiteral("例：4F 4B 0D 0A（OK と改行）"));
    lblCustomData->setBuddy(txtCustomData);

    cmdApply = new QPushButton(QStringLiteral("設定"), this);
    cmdApply->setGeometry(twips(1740, 2400, 1215, 495));
    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setGeometry(twips(3525, 2400, 1215, 495));
    // Neither is a default button: Enter in the box starts a new line; on a button, it presses it.
    for (QPushButton *button : {cmdApply, cmdCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    lblCustomData->setObjectName(QStringLiteral("lblCustomData"));
    lblCustomData->setAccessibleName(QStringLiteral("応答データ"));
    txtCustomData->setObjectName(QStringLiteral("txtCustomData"));
    txtCustomData->setAccessibleName(QStringLiteral("応答データ"));
    txtCustomData->setAccessibleDescription(
        QStringLiteral("16進数2桁ずつ、空白で区切れます。空にすると応答データを消します。"));
    cmdApply->setObjectName(QStringLiteral("cmdApply"));
    cmdApply->setAccessibleName(cmdApply->text());
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAccessibleName(cmdCancel->text());
    setTabOrder(txtCustomData, cmdApply);
    setTabOrder(cmdApply, cmdCancel);
    txtCustomData->setFocus();
    txtCustomData->selectAll();

    connect(cmdApply, &QPushButton::clicked, this, &frmTcpRcvCustomData::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    CenterForm(*this);
}

void frmTcpRcvCustomData::cmdApply_Click()
{
    TrapErrors("(cmdApply_Click)", [this] {
        const QString text = txtCustomData->toPlainText();
        const CustomReplyText parsed = ParseCustomReply(text);
        if (parsed.fault != CustomReplyText::Fault::None) {
            MsgBox(DescribeCustomReplyFault(parsed, text), MsgBoxStyle::OkOnly);
            SelectText(parsed.position,
                       parsed.fault == CustomReplyText::Fault::TooLong
                           ? text.size() - parsed.position
                           : 1);
            return;
        }
        if (!m_keep(parsed.bytes)) {
            SelectText(0, text.size());
            return;
        }
        accept();
    });
}

void frmTcpRcvCustomData::SelectText(qsizetype start, qsizetype count)
{
    QTextCursor cursor = txtCustomData->textCursor();
    cursor.setPosition(int(start));
    cursor.setPosition(int(start + count), QTextCursor::KeepAnchor);
    txtCustomData->setTextCursor(cursor);
    txtCustomData->setFocus();
}

void frmTcpRcvCustomData::keyPressEvent(QKeyEvent *event)
{
    if (!PressFocusedButtonOnReturn(*this, *event))
        QDialog::keyPressEvent(event);
}
