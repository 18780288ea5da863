#pragma once

#include <QString>

// Texts the user or the log sees, used by more than one test; one place to spell them.
namespace ExpectedText {
inline const QString portUnusable
    = QStringLiteral("本PC上で、現在のポート設定ではデータを受信できません。\r\n"
                     "受信ポートを確認してください。");
inline const QString portSaved = QStringLiteral("受信ポート設定を変更しました。\r\n"
                                                "アプリケーションを再起動してください。");
inline const QString readFailed = QStringLiteral("設定ファイルの読み込みに失敗しました。");
inline const QString secondStart = QStringLiteral("二重起動の為、起動を中止しました。");
// A whole log line: code, date and time with tenths, host, then a message matching the pattern.
inline QString logLinePattern(const QString &message)
{
    return QStringLiteral("^1001 \\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d \\S+ (") + message
        + QStringLiteral(")$");
}
} // namespace ExpectedText
