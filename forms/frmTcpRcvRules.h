#pragma once

#include "lib/ResponseRules.h"

#include <QDialog>
#include <QList>
#include <functional>

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The rules dialog: the ordered answers by rule in a table, the chosen rule's switch, kind,
// pattern and reply below it, and a test line that shows which rule answers a block before
// anything is saved. Keeping the checked rules is the caller's; the dialog closes when the caller
// could keep them.
//
// Where each part lives: the controls in CreateControls, the table in ShowRule/ShowRules, the
// editing of the chosen rule in EditChosenRule, the buttons in the *_Click slots.
class frmTcpRcvRules : public QDialog
{
    Q_OBJECT

public:
    // Keeps the rules; false when they could not be kept, after telling the user.
    using KeepRules = std::function<bool(const QList<ResponseRule> &rules)>;

    // notice, when not empty, stands in the result line at first (lines of the file not shown).
    frmTcpRcvRules(const QList<ResponseRule> &rules, KeepRules keep, const QString &notice = {},
                   QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdTest_Click();
    void cmdApply_Click();

private:
    void CreateControls();
    void ShowRules();
    void ShowRule(int row);
    // The chosen row's rule into the editors (none chosen: editors off).
    void ChooseRule();
    // The editors' content into the chosen rule and its row.
    void EditChosenRule();
    void MoveChosenRule(int by);
    void EnableButtons();
    int ChosenRow() const;
    // Checks every rule; on the first fault, says so (in a box, or in the result line), chooses
    // its rule and selects the character at fault. True when all are sound.
    bool CheckRules(bool inBox);

    QLabel *lblRules = nullptr;
    QTableWidget *grdRules = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdRemove = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDown = nullptr;
    QCheckBox *chkOn = nullptr;
    QLabel *lblKind = nullptr;
    QComboBox *cboKind = nullptr;
    QLabel *lblPattern = nullptr;
    QLineEdit *txtPattern = nullptr;
    QLabel *lblReply = nullptr;
    QLineEdit *txtReply = nullptr;
    QLabel *lblHelp = nullptr;
    QLabel *lblTest = nullptr;
    QLineEdit *txtTest = nullptr;
    QPushButton *cmdTest = nullptr;
    QLabel *lblTestResult = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdCancel = nullptr;

    QList<ResponseRule> m_rules;
    KeepRules m_keep;
    bool m_showing = false; // the editors are being filled, not edited
};
