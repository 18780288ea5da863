#pragma once

#include <QByteArray>
#include <QDialog>
#include <functional>

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The reply dialog: edits and checks the fixed reply of the custom option as hex text. Keeping
// a checked reply is the caller's; the dialog closes when the caller could keep it.
class frmTcpRcvCustomData : public QDialog
{
    Q_OBJECT

public:
    // Keeps a reply (empty: none); false when it could not be kept, after telling the user.
    using KeepReply = std::function<bool(const QByteArray &reply)>;

    frmTcpRcvCustomData(const QByteArray &reply, KeepReply keep, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void cmdApply_Click();

private:
    // Selects count characters of the text from start and gives the box the focus.
    void SelectText(qsizetype start, qsizetype count);

    QLabel *lblCustomData = nullptr;
    QPlainTextEdit *txtCustomData = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdCancel = nullptr;

    KeepReply m_keep;
};
