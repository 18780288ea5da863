#include "forms/frmMain.h"
#include "forms/frmTcpRcvRules.h"

#include "forms/Messages.h"
#include "forms/ui/MessageBox.h"
#include "lib/ErrorTrap.h"
#include "lib/OnOffSetting.h"
#include "lib/ReceiverSession.h"
#include "lib/ResponseRulesFile.h"
#include "lib/SettingKeys.h"
#include "lib/modUtility.h"

#include <QAction>

void frmMain::ResponseRules_Click()
{
    TrapErrors("(ResponseRules_Click)", [this] {
        const ResponseRulesRead read = ReadResponseRules(ResponseRulesFile());
        QStringList skipped;
        for (const SkippedRuleLine &line : read.skipped)
            skipped.append(QString::number(line.line));
        // Saving writes only the rules shown: the user learns which lines would go.
        const QString notice = skipped.isEmpty()
            ? QString()
            : QStringLiteral("ファイルの%1行目は読めないため表示していません。設定するとファイル"
                             "から消えます。")
                  .arg(skipped.join(QStringLiteral("、")));
        frmTcpRcvRules dialog(
            read.rules,
            [this](const QList<ResponseRule> &rules) { return ApplyResponseRules(rules); }, notice);
        dialog.exec();
    });
}

bool frmMain::ApplyResponseRules(const QList<ResponseRule> &rules)
{
    return TrapErrors("(ResponseRules_Click)", [&] {
        const QString why = WriteResponseRules(ResponseRulesFile(), rules);
        if (!why.isEmpty()) {
            MsgBox(QStringLiteral("応答ルールファイルの書き込みに失敗しました。"),
                   MsgBoxStyle::Critical);
            throw RuntimeError(QStringLiteral("応答ルールファイルを書き込めません: ") + why);
        }
        // From the next block on, also while listening.
        m_session->setRules(rules);
    });
}

void frmMain::ReceiveLoneByte_Click(bool checked)
{
    TrapErrors("(ReceiveLoneByte_Click)", [&] {
        const WriteResult written
            = WriteOnOffSetting(strSettingFile[1], SettingKeys::receiveLoneByte, checked);
        if (!written) {
            ReceiveLoneByte->setChecked(!checked);
            MsgBox(Messages::settingsWriteFailed, MsgBoxStyle::Critical);
            throw RuntimeError(written.failure);
        }
        m_session->setReceiveLoneByte(checked);
    });
}
