#pragma once

#include <QString>
#include <cerrno>
#include <exception>

// A run-time error as the original platform raised it: a description in the user's language.
// Trapping procedures catch it, log description + tag and return their neutral result.
class RuntimeError : public std::exception
{
public:
    explicit RuntimeError(QString description)
        : m_description(std::move(description)), m_utf8(m_description.toUtf8())
    { }

    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// Descriptions of the run-time errors this program can raise.
namespace ErrorText {
inline const QString overflow = QStringLiteral("オーバーフローしました。");
inline const QString invalidArgument
    = QStringLiteral("プロシージャの呼び出し、または引数が不正です。");
inline const QString outOfMemory = QStringLiteral("メモリが不足しています。");
inline const QString pathNotFound = QStringLiteral("パスが見つかりません。");
inline const QString fileAccess = QStringLiteral("パス名が無効です。");
inline const QString fileExists = QStringLiteral("既に同名のファイルが存在しています。");
inline const QString permissionDenied = QStringLiteral("書き込みできません。");
inline const QString diskFull = QStringLiteral("ディスクの空き容量が不足しています。");
inline const QString fileTooLarge = QStringLiteral("ファイルが大きすぎます。");
inline const QString typeMismatch = QStringLiteral("型が一致しません。");
inline const QString invalidPropertyValue = QStringLiteral("プロパティの値が不正です。");
inline const QString wrongSocketState = QStringLiteral("プロトコルまたは接続の状態が不正です。");

// The description of a failed file write for the errno behind it.
inline QString WriteFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return pathNotFound;
    case ENOSPC:
    case EDQUOT:
        return diskFull;
    case EFBIG:
        return fileTooLarge;
    case EISDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return fileAccess;
    default:
        return permissionDenied;
    }
}
} // namespace ErrorText
