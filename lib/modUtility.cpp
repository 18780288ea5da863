#include "lib/modUtility.h"

#include "lib/modLogging.h"
#include "platform/RuntimeError.h"

#include <cmath>
#include <limits>
#include <new>

QString strConfigDir;
QString strTempDir;
QString strLogDir;
qint16 intToolIndex = 0;
std::array<QString, 10> strSettingFile;
QString strBindAddress;

namespace {
const QString tempNotEmptied = QStringLiteral(
    "Tempフォルダがプログラムフォルダ内の実フォルダではないため、空にしませんでした。");
} // namespace

bool InitApplication(qint16 toolIndex, bool (*setDefine)())
{
    // The caller logs the failure: before InitLogging there is no log file to write to anyway.
    try {
        intToolIndex = toolIndex;
        if (!setDefine())
            return false;
        EnsureFolder(strLogDir);
        InitLogging(strLogDir);
        EnsureFolder(strConfigDir);
        EnsureFolder(strTempDir);
        // Emptying follows no link: a Temp linked elsewhere would empty somebody else's folder.
        if (IsOwnSubfolder(strTempDir))
            ClearFolder(strTempDir, 1);
        else
            WriteLog(intToolIndex, tempNotEmptied);
        return true;
    } catch (const RuntimeError &) {
    } catch (const std::bad_alloc &) { }
    return false;
}

qint32 CenteredOrigin(double screenExtent, double windowExtent)
{
    // The difference goes to a 32-bit whole number first (nearest, halves to even), and only
    // then is halved, dropping the remainder.
    const double difference = std::nearbyint(screenExtent - windowExtent);
    if (!(difference >= std::numeric_limits<qint32>::min()
          && difference <= std::numeric_limits<qint32>::max()))
        throw RuntimeError(ErrorText::overflow);
    return static_cast<qint32>(difference) / 2;
}
