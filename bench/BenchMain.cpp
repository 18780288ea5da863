// Parvel's echo benchmark: the real program, headless, against a minimal echo server of our own
// and socat, side by side in one run. Prints one table and writes the same figures as JSON.
// Usage: parvel_bench [--json <file>] [--in-process-only | --round-trips-only]

#include "BenchPhases.h"
#include "BenchRows.h"
#include "BytePattern.h"

#include <QApplication>
#include <QDateTime>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

#include <cstdio>
#include <unistd.h>

using namespace BenchPlan;

namespace {
void progress(const QString &text)
{
    std::fprintf(stderr, "bench: %s\n", qPrintable(text));
}

QJsonObject runDescription(const QString &socat)
{
    return QJsonObject {
        {QStringLiteral("date"), QDateTime::currentDateTime().toString(Qt::ISODate)},
        {QStringLiteral("qt"), QLatin1String(qVersion())},
        {QStringLiteral("kernel"), QSysInfo::kernelVersion()},
        {QStringLiteral("cpus"), QThread::idealThreadCount()},
        {QStringLiteral("socat"), socat.isEmpty() ? QStringLiteral("not installed") : socat},
        {QStringLiteral("stream_bytes"), double(streamBytes)},
        {QStringLiteral("stream_write_size"), double(streamWriteSize)},
    };
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvel"));
    ::alarm(runCapSeconds);

    QString jsonPath = QStringLiteral("bench-results.json");
    const QStringList arguments = QApplication::arguments();
    const qsizetype jsonOption = arguments.indexOf(QStringLiteral("--json"));
    if (jsonOption > 0 && jsonOption + 1 < arguments.size())
        jsonPath = arguments.at(jsonOption + 1);
    // A quick look at the receive path alone, without the servers.
    const bool inProcessOnly = arguments.contains(QStringLiteral("--in-process-only"));
    // The round trips alone, for a second run pinned to one CPU (scripts/bench.sh).
    const bool roundTripsOnly = arguments.contains(QStringLiteral("--round-trips-only"));

    const EchoServerProcess::Programs programs {
        QStringLiteral(PARVEL_BENCH_PARVEL), QStringLiteral(PARVEL_BENCH_PROBE),
        QStringLiteral(PARVEL_BENCH_ECHO), QStandardPaths::findExecutable(QStringLiteral("socat"))};
    const BytePattern pattern;
    BenchReport report;
    report.run = runDescription(programs.socat);
    Results results;

    if (roundTripsOnly) {
        BenchPhases::StartServers(programs, results, report);
        progress(QStringLiteral("round trips"));
        BenchPhases::MeasureRoundTrips(results, pattern);
        BenchPhases::StopServers(results);
        BenchRows::AddRoundTripRows(results, report);
        std::fputs(FormatReport(report).toUtf8().constData(), stdout);
        return WriteReportJson(report, jsonPath) ? 0 : 1;
    }

    if (!inProcessOnly) {
        progress(QStringLiteral("start-up, %1 starts of Parvel").arg(startupRuns));
        BenchPhases::MeasureStartup(programs, results, report);
        BenchPhases::StartServers(programs, results, report);
        progress(QStringLiteral("round trips"));
        BenchPhases::MeasureRoundTrips(results, pattern);
        progress(QStringLiteral("streams"));
        BenchPhases::MeasureStreams(results, pattern, report);
        progress(QStringLiteral("a peer that never reads"));
        BenchPhases::MeasureFlood(results, pattern, report);
        BenchPhases::StopServers(results);
        progress(QStringLiteral("capture on"));
        BenchPhases::MeasureCapture(programs, results, pattern, report);
    }

    progress(QStringLiteral("in-process block cost"));
    results.blockCost = MeasureInProcessBlockCost(pattern, {16, 2048}, 200, inProcessBlocks, 20s);
    report.checks.append({QStringLiteral("in-process blocks echoed whole and shown"),
                          results.blockCost.error.isEmpty(), results.blockCost.error});

    BenchRows::AddRows(results, report);
    report.notes = BenchRows::MethodNotes();
    std::fputs(FormatReport(report).toUtf8().constData(), stdout);
    const bool written = WriteReportJson(report, jsonPath);
    std::printf("\n%s %s\n", written ? "results written to" : "could not write",
                qPrintable(jsonPath));
    bool allPassed = written;
    for (const BenchCheck &check : report.checks)
        allPassed = allPassed && check.passed;
    return allPassed ? 0 : 1;
}
