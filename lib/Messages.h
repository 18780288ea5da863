#pragma once

#include <QString>

// Texts that more than one window shows, and the terminal mode with them.
namespace Messages {
inline const QString portUnusable
    = QStringLiteral("本PC上で、現在のポート設定ではデータを受信できません。\r\n"
                     "受信ポートを確認してください。");
inline const QString settingsWriteFailed = QStringLiteral("設定ファイルの書き込みに失敗しました。");
} // namespace Messages
