#include "forms/frmTcpRcvRules.h"

#include "forms/ui/CenterForm.h"
#include "forms/ui/Fonts.h"
#include "forms/ui/MessageBox.h"
#include "forms/ui/ReturnKey.h"
#include "forms/ui/Twips.h"
#include "lib/CustomReply.h"
#include "lib/ErrorTrap.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {
enum Column { OnColumn, KindColumn, PatternColumn, ReplyColumn };
// A test block may be longer than a rule's texts: it is what one read can bring.
constexpr qsizetype maxTestBytes = 65536;
constexpr RuleKind kinds[]
    = {RuleKind::Equals, RuleKind::Starts, RuleKind::Ends, RuleKind::Contains};

template<class Control>
Control *place(Control *control, const char *name, const QString &accessibleName, const QRect &area)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setAccessibleName(accessibleName);
    control->setGeometry(area);
    return control;
}

QFont LabelFont()
{
    return JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 9.75);
}

// Hex texts in fixed-width digits, so that pairs line up.
QFont HexFont()
{
    return JapaneseFont(QStringLiteral("ＭＳ ゴシック"), 9.75);
}

// Selects what a fault names in box: all of it when the text is empty, from the position to the
// end when it is too long, else the one character.
void SelectFault(QLineEdit *box, HexTextFault fault, qsizetype position)
{
    box->setFocus();
    if (fault == HexTextFault::Empty)
        box->selectAll();
    else if (fault == HexTextFault::TooLong)
        box->setSelection(int(position), int(box->text().size() - position));
    else
        box->setSelection(int(position), 1);
}
} // namespace

frmTcpRcvRules::frmTcpRcvRules(const QList<ResponseRule> &rules, KeepRules keep,
                               const QString &notice, QWidget *parent)
    : QDialog(parent), m_rules(rules.mid(0, maxResponseRules)), m_keep(std::move(keep))
{
    setObjectName(QStringLiteral("frmTcpRcvRules"));
    setWindowTitle(QStringLiteral("応答ルール設定"));
    setAccessibleName(windowTitle());
    setFixedSize(twips(0, 0, 9600, 7290).size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    CreateControls();
    lblTestResult->setText(notice);
    ShowRules();
    if (!m_rules.isEmpty())
        grdRules->setCurrentCell(0, KindColumn);
    ChooseRule();
    grdRules->setFocus();
    CenterForm(*this);
}

void frmTcpRcvRules::CreateControls()
{
    lblRules = place(new QLabel(QStringLiteral("応答ルール（上から順に試し、最初に一致した"
                                               "ルールが応答します）"),
                                this),
                     "lblRules", QStringLiteral("応答ルール"), twips(240, 120, 9120, 330));
    lblRules->setFont(LabelFont());

    grdRules = place(new QTableWidget(0, 4, this), "grdRules", QStringLiteral("応答ルール"),
                     twips(240, 480, 7560, 2880));
    grdRules->setHorizontalHeaderLabels({QStringLiteral("有効"), QStringLiteral("条件"),
                                         QStringLiteral("受信パターン"),
                                         QStringLiteral("応答データ")});
    grdRules->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRules->setSelectionMode(QAbstractItemView::SingleSelection);
    grdRules->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the buttons; the arrows choose the rule.
    grdRules->setTabKeyNavigation(false);
    grdRules->setWordWrap(false);
    grdRules->setFont(HexFont());
    grdRules->horizontalHeader()->setFont(LabelFont());
    grdRules->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdRules->horizontalHeader()->setStretchLastSection(true);
    grdRules->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdRules->setColumnWidth(OnColumn, 60);
    grdRules->setColumnWidth(KindColumn, 76);
    grdRules->setColumnWidth(PatternColumn, 170);
    lblRules->setBuddy(grdRules);

    cmdAdd = place(new QPushButton(QStringLiteral("追加"), this), "cmdAdd", QStringLiteral("追加"),
                   twips(7920, 480, 1440, 420));
    cmdRemove = place(new QPushButton(QStringLiteral("削除"), this), "cmdRemove",
                      QStringLiteral("削除"), twips(7920, 990, 1440, 420));
    cmdUp = place(new QPushButton(QStringLiteral("上へ"), this), "cmdUp",
                  QStringLiteral("上へ移動"), twips(7920, 1500, 1440, 420));
    cmdDown = place(new QPushButton(QStringLiteral("下へ"), this), "cmdDown",
                    QStringLiteral("下へ移動"), twips(7920, 2010, 1440, 420));

    chkOn = place(new QCheckBox(QStringLiteral("有効"), this), "chkOn", QStringLiteral("有効"),
                  twips(240, 3480, 1200, 420));
    lblKind = place(new QLabel(QStringLiteral("条件"), this), "lblKind", QStringLiteral("条件"),
                    twips(1560, 3480, 840, 420));
    cboKind = place(new QComboBox(this), "cboKind", QStringLiteral("条件"),
                    twips(2400, 3480, 1800, 420));
    for (RuleKind kind : kinds)
        cboKind->addItem(RuleKindCaption(kind));
    lblKind->setBuddy(cboKind);

    lblPattern = place(new QLabel(QStringLiteral("受信パターン"), this), "lblPattern",
                       QStringLiteral("受信パターン"), twips(240, 3990, 1680, 420));
    txtPattern = place(new QLineEdit(this), "txtPattern", QStringLiteral("受信パターン"),
                       twips(1920, 3990, 7440, 420));
    txtPattern->setAccessibleDescription(
        QStringLiteral("16進数2桁ずつ、空白で区切れます。?? は任意の1バイトです。"));
    lblPattern->setBuddy(txtPattern);
    lblReply = place(new QLabel(QStringLiteral("応答データ"), this), "lblReply",
                     QStringLiteral("応答データ"), twips(240, 4500, 1680, 420));
    txtReply = place(new QLineEdit(this), "txtReply", QStringLiteral("応答データ"),
                     twips(1920, 4500, 7440, 420));
    txtReply->setAccessibleDescription(
        QStringLiteral("16進数2桁ずつ、空白で区切れます。[3] は受信データの3バイト目、[1-2] は"
                       "1〜2バイト目（0から数えます）を写します。"));
    lblReply->setBuddy(txtReply);

    lblHelp = place(new QLabel(QStringLiteral("16進数2桁ずつ入力します。受信パターンの ?? は任意"
                                              "の1バイト、応答データの [3] や [1-2] は受信データの"
                                              "そのバイト（0から数えます）です。パターンは一度に"
                                              "届いたデータ（1ブロック）の中で照合し、2つのブロッ"
                                              "クにまたがることはありません。"),
                               this),
                    "lblHelp", QStringLiteral("説明"), twips(240, 4980, 9120, 660));
    lblHelp->setWordWrap(true);
    lblHelp->setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 8.25));

    lblTest = place(new QLabel(QStringLiteral("試験データ"), this), "lblTest",
                    QStringLiteral("試験データ"), twips(240, 5760, 1680, 420));
    txtTest = place(new QLineEdit(this), "txtTest", QStringLiteral("試験データ"),
                    twips(1920, 5760, 5880, 420));
    txtTest->setAccessibleDescription(QStringLiteral(
        "受信したとするデータを16進数で入力し、試すを押すと応答するルールを表示します。"));
    lblTest->setBuddy(txtTest);
    cmdTest = place(new QPushButton(QStringLiteral("試す"), this), "cmdTest",
                    QStringLiteral("試す"), twips(7920, 5760, 1440, 420));
    lblTestResult = place(new QLabel(this), "lblTestResult", QStringLiteral("試験結果"),
                          twips(1920, 6210, 7440, 360));
    lblTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cmdApply = place(new QPushButton(QStringLiteral("設定"), this), "cmdApply",
                     QStringLiteral("設定"), twips(3000, 6660, 1215, 495));
    cmdCancel = place(new QPushButton(QStringLiteral("キャンセル"), this), "cmdCancel",
                      QStringLiteral("キャンセル"), twips(5385, 6660, 1215, 495));

    for (QWidget *control : std::initializer_list<QWidget *> {
             lblKind, lblPattern, lblReply, lblTest, chkOn, cboKind, cmdAdd, cmdRemove, cmdUp,
             cmdDown, cmdTest, cmdApply, cmdCancel})
        control->setFont(LabelFont());
    for (QLineEdit *box : {txtPattern, txtReply, txtTest})
        box->setFont(HexFont());
    lblTestResult->setFont(HexFont());
    // No default button: Return presses the focused button and nothing else (in the test line,
    // it tests).
    for (QPushButton *button : {cmdAdd, cmdRemove, cmdUp, cmdDown, cmdTest, cmdApply, cmdCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    QWidget *order[] = {grdRules,   cmdAdd,   cmdRemove, cmdUp,   cmdDown,  chkOn,    cboKind,
                        txtPattern, txtReply, txtTest,   cmdTest, cmdApply, cmdCancel};
    for (std::size_t index = 1; index < std::size(order); ++index)
        setTabOrder(order[index - 1], order[index]);

    connect(grdRules, &QTableWidget::itemSelectionChanged, this, &frmTcpRcvRules::ChooseRule);
    connect(grdRules, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        // The switch clicked in the table.
        if (m_showing || item->column() != OnColumn)
            return;
        m_rules[item->row()].on = item->checkState() == Qt::Checked;
        ShowRule(item->row());
        if (item->row() == ChosenRow())
            ChooseRule();
    });
    connect(chkOn, &QCheckBox::toggled, this, &frmTcpRcvRules::EditChosenRule);
    connect(cboKind, &QComboBox::currentIndexChanged, this, &frmTcpRcvRules::EditChosenRule);
    connect(txtPattern, &QLineEdit::textChanged, this, &frmTcpRcvRules::EditChosenRule);
    connect(txtReply, &QLineEdit::textChanged, this, &frmTcpRcvRules::EditChosenRule);
    connect(txtTest, &QLineEdit::returnPressed, this, &frmTcpRcvRules::cmdTest_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmTcpRcvRules::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmTcpRcvRules::cmdRemove_Click);
    connect(cmdUp, &QPushButton::clicked, this, &frmTcpRcvRules::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmTcpRcvRules::cmdDown_Click);
    connect(cmdTest, &QPushButton::clicked, this, &frmTcpRcvRules::cmdTest_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmTcpRcvRules::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmTcpRcvRules::ShowRules()
{
    grdRules->setRowCount(int(m_rules.size()));
    for (int row = 0; row < m_rules.size(); ++row)
        ShowRule(row);
}

void frmTcpRcvRules::ShowRule(int row)
{
    const ResponseRule &rule = m_rules.at(row);
    const QString texts[]
        = {rule.on ? QStringLiteral("有効") : QStringLiteral("無効"), RuleKindCaption(rule.kind),
           rule.pattern.simplified(), rule.reply.simplified()};
    const bool showing = std::exchange(m_showing, true);
    for (int column = OnColumn; column <= ReplyColumn; ++column) {
        QTableWidgetItem *item = grdRules->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(column == OnColumn
                               ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                               : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            grdRules->setItem(row, column, item);
        }
        item->setText(texts[column]);
        if (column == OnColumn)
            item->setCheckState(rule.on ? Qt::Checked : Qt::Unchecked);
        else
            item->setToolTip(texts[column]);
    }
    m_showing = showing;
}

int frmTcpRcvRules::ChosenRow() const
{
    // While a row is being removed, the selection may still name a row past the rules.
    const QModelIndexList rows = grdRules->selectionModel()->selectedRows();
    return rows.isEmpty() || rows.first().row() >= m_rules.size() ? -1 : rows.first().row();
}

void frmTcpRcvRules::ChooseRule()
{
    const int row = ChosenRow();
    const ResponseRule rule = row >= 0 ? m_rules.at(row) : ResponseRule {false, {}, {}, {}};
    const bool showing = std::exchange(m_showing, true);
    for (QWidget *editor : std::initializer_list<QWidget *> {chkOn, lblKind, cboKind, lblPattern,
                                                             txtPattern, lblReply, txtReply})
        editor->setEnabled(row >= 0);
    chkOn->setChecked(rule.on);
    cboKind->setCurrentIndex(int(rule.kind));
    if (txtPattern->text() != rule.pattern)
        txtPattern->setText(rule.pattern);
    if (txtReply->text() != rule.reply)
        txtReply->setText(rule.reply);
    m_showing = showing;
    EnableButtons();
}

void frmTcpRcvRules::EditChosenRule()
{
    const int row = ChosenRow();
    if (m_showing || row < 0)
        return;
    ResponseRule &rule = m_rules[row];
    rule.on = chkOn->isChecked();
    rule.kind = kinds[qBound(0, cboKind->currentIndex(), 3)];
    rule.pattern = txtPattern->text();
    rule.reply = txtReply->text();
    ShowRule(row);
}

void frmTcpRcvRules::EnableButtons()
{
    const int row = ChosenRow();
    cmdAdd->setEnabled(m_rules.size() < maxResponseRules);
    cmdRemove->setEnabled(row >= 0);
    cmdUp->setEnabled(row > 0);
    cmdDown->setEnabled(row >= 0 && row + 1 < m_rules.size());
}

void frmTcpRcvRules::cmdAdd_Click()
{
    if (m_rules.size() >= maxResponseRules)
        return;
    m_rules.append(ResponseRule {});
    ShowRules();
    grdRules->setCurrentCell(int(m_rules.size() - 1), KindColumn);
    txtPattern->setFocus();
}

void frmTcpRcvRules::cmdRemove_Click()
{
    const int row = ChosenRow();
    if (row < 0)
        return;
    m_rules.removeAt(row);
    grdRules->removeRow(row);
    if (!m_rules.isEmpty())
        grdRules->setCurrentCell(qMin(row, int(m_rules.size()) - 1), KindColumn);
    ChooseRule();
}

void frmTcpRcvRules::MoveChosenRule(int by)
{
    const int row = ChosenRow();
    const int target = row + by;
    if (row < 0 || target < 0 || target >= m_rules.size())
        return;
    m_rules.swapItemsAt(row, target);
    ShowRule(row);
    ShowRule(target);
    grdRules->setCurrentCell(target, KindColumn);
}

void frmTcpRcvRules::cmdUp_Click()
{
    MoveChosenRule(-1);
}

void frmTcpRcvRules::cmdDown_Click()
{
    MoveChosenRule(1);
}

bool frmTcpRcvRules::CheckRules(bool inBox)
{
    for (int row = 0; row < m_rules.size(); ++row) {
        CompiledRule compiled;
        const RuleFault fault = compiled.compile(m_rules.at(row));
        if (!fault.isFault())
            continue;
        const QString text = DescribeRuleFault(QStringLiteral("ルール %1 の").arg(row + 1), fault,
                                               m_rules.at(row));
        if (inBox)
            MsgBox(text, MsgBoxStyle::OkOnly);
        else
            lblTestResult->setText(text);
        grdRules->setCurrentCell(row, KindColumn);
        SelectFault(fault.field == RuleFault::Field::Pattern ? txtPattern : txtReply, fault.fault,
                    fault.position);
        return false;
    }
    return true;
}

void frmTcpRcvRules::cmdTest_Click()
{
    TrapErrors("(cmdTest_Click)", [this] {
        const QString text = txtTest->text();
        HexText block = ParseHexText(text, HexExtras::None, maxTestBytes);
        if (block.isValid() && block.size == 0) {
            block.fault = HexTextFault::Empty;
            block.position = 0;
        }
        if (!block.isValid()) {
            lblTestResult->setText(DescribeHexFault(QStringLiteral("試験データ"), block.fault,
                                                    block.position, text, maxTestBytes));
            SelectFault(txtTest, block.fault, block.position);
            return;
        }
        if (!CheckRules(false))
            return;
        RuleMatcher matcher;
        (void)matcher.setRules(m_rules);
        const RuleMatcher::Answer answer = matcher.answer(block.bytes);
        lblTestResult->setText(
            answer.rule >= 0
                ? QStringLiteral("ルール %1 で応答: %2")
                      .arg(QString::number(answer.rule + 1), FormatCustomReply(answer.bytes))
                : QStringLiteral("一致するルールはありません。応答設定のとおりに"
                                 "応答します。"));
        lblTestResult->setToolTip(lblTestResult->text());
    });
}

void frmTcpRcvRules::cmdApply_Click()
{
    TrapErrors("(cmdApply_Click)", [this] {
        if (CheckRules(true) && m_keep(m_rules))
            accept();
    });
}

void frmTcpRcvRules::keyPressEvent(QKeyEvent *event)
{
    if (!PressFocusedButtonOnReturn(*this, *event))
        QDialog::keyPressEvent(event);
}
