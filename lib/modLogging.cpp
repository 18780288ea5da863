#include "lib/modLogging.h"

#include "lib/modFileLib.h"
#include "platform/HostName.h"

#include <cstddef>

QString strHostName;
std::array<QString, 10> strToolName;
std::array<QString, 10> strLogFile;

qint16 intLogMaxSize = 0;
qint16 intLogGenerations = 0;

namespace {
// The tool family by tool index; the log file names fix the names on disk.
struct ToolEntry
{
    const char *toolName;
    const char *logFileName;
};

const ToolEntry toolTable[10] = {
    {"Kiv_TcpSnd", "Kiv_TcpSndLog.txt"},         {"Kiv_TcpRcv", "Kiv_TcpRcvLog.txt"},
    {"Kiv_UdpSnd", "Kiv_UdpSndLog.txt"},         {"Kiv_UdpRcv", "Kiv_UdpRcvLog.txt"},
    {"Kiv_SerialSnd", "Kiv_SerialSndLog.txt"},   {"Kiv_SerialRcv", "Kiv_SerialRcvLog.txt"},
    {"Kiv_TcpTextSnd", "Kiv_TcpTextSndLog.txt"}, {"Kiv_TcpTextRcv", "Kiv_TcpTextRcvLog.txt"},
    {"Kiv_UdpTextSnd", "Kiv_UdpTextSndLog.txt"}, {"Kiv_UdpTextRcv", "Kiv_UdpTextRcvLog.txt"},
};
} // namespace

void InitLogging(const QString &logFolder)
{
    strHostName = LocalHostName();
    const QString folder = AddPathSeparator(logFolder);
    for (std::size_t index = 0; index < strToolName.size(); ++index) {
        strToolName[index] = QLatin1String(toolTable[index].toolName);
        strLogFile[index] = folder + QLatin1String(toolTable[index].logFileName);
    }
}
