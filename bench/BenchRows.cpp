#include "BenchRows.h"

using namespace BenchPlan;

namespace {
double orNan(bool known, double value)
{
    return known ? value : NAN;
}

double median(std::vector<double> values)
{
    return values.empty() ? NAN : Summarize(std::move(values)).p50;
}

BenchRow row(const QString &key, const QString &figure, const QString &unit, int decimals,
             std::array<double, serverCount> values, const QString &target = {}, int met = -1)
{
    return BenchRow {key, figure, unit, decimals, values, target, met};
}

int decide(bool decidable, bool met)
{
    return decidable ? int(met) : -1;
}

void addRoundTripRows(const ServerRun (&servers)[serverCount], BenchReport &report)
{
    for (int size = 0; size < sizeCount; ++size) {
        const RoundTripPlan &plan = roundTripPlans[size];
        Distribution d[serverCount];
        for (int server = 0; server < serverCount; ++server) {
            const RoundTripSamples &samples = servers[server].samples[size];
            d[server] = Summarize(samples.micros);
            if (!samples.error.empty())
                report.checks.append({EchoServerProcess::name(EchoServerProcess::Kind(server))
                                          + QStringLiteral(": round trips of ")
                                          + QLatin1String(plan.label),
                                      false, QString::fromStdString(samples.error)});
        }
        const auto values = [&d](double Distribution::*field) {
            std::array<double, serverCount> result;
            for (int server = 0; server < serverCount; ++server)
                result[server] = orNan(d[server].count > 0, d[server].*field);
            return result;
        };
        const QString key = QStringLiteral("round_trip_%1_").arg(plan.size);
        const QString name = QStringLiteral("round trip %1 ").arg(QLatin1String(plan.label));
        const auto p50 = values(&Distribution::p50);
        const auto p99 = values(&Distribution::p99);
        const auto max = values(&Distribution::max);
        const bool haveSocat = !std::isnan(p50[SocatServer]) && !std::isnan(p50[ParvelServer]);
        const bool haveMinimal = !std::isnan(p50[MinimalServer]) && !std::isnan(p50[ParvelServer]);
        if (plan.size <= 2048) {
            report.rows.append(row(key + "p50_us", name + "p50", "µs", 1, p50,
                                   "<= 2x minimal, < socat",
                                   decide(haveSocat && haveMinimal,
                                          p50[ParvelServer] <= 2 * p50[MinimalServer]
                                              && p50[ParvelServer] < p50[SocatServer])));
            report.rows.append(row(key + "p99_us", name + "p99", "µs", 1, p99, "<= 1.5x socat",
                                   decide(haveSocat, p99[ParvelServer] <= 1.5 * p99[SocatServer])));
            report.rows.append(row(key + "max_us", name + "max", "µs", 1, max));
        } else {
            report.rows.append(
                row(key + "p50_us", name + "p50", "µs", 1, p50, "< 3x minimal",
                    decide(haveMinimal, p50[ParvelServer] < 3 * p50[MinimalServer])));
            report.rows.append(row(key + "p99_us", name + "p99", "µs", 1, p99));
            report.rows.append(row(key + "max_us", name + "max", "µs", 1, max, "< 40000 (no stall)",
                                   decide(haveMinimal, max[ParvelServer] < 40000)));
        }
    }
}

void addBlockCostRows(const BlockCostResult &cost, BenchReport &report)
{
    for (const BlockCost &size : cost.sizes) {
        const Distribution handler = Summarize(size.handlerMicros);
        const Distribution display = Summarize(size.displayMicros);
        const Distribution cycle = Summarize(size.cycleMicros);
        const bool known = handler.count > 0;
        const QString key = QStringLiteral("block_%1_").arg(size.blockSize);
        const QString name = QStringLiteral("%1 B block, data path alone, ").arg(size.blockSize);
        const bool targeted = size.blockSize == 2048;
        report.rows.append(row(key + "handler_p50_us", name + "p50", "µs", 1,
                               {orNan(known, handler.p50), NAN, NAN}, targeted ? "<= 10" : "",
                               targeted ? decide(known, handler.p50 <= 10) : -1));
        report.rows.append(row(key + "handler_mean_us", name + "mean", "µs", 1,
                               {orNan(known, handler.mean), NAN, NAN}));
        report.rows.append(row(key + "handler_p99_us", name + "p99", "µs", 1,
                               {orNan(known, handler.p99), NAN, NAN}));
        report.rows.append(row(key + "display_p50_us",
                               QStringLiteral("%1 B block, display pass, p50").arg(size.blockSize),
                               "µs", 1, {orNan(display.count > 0, display.p50), NAN, NAN}));
        report.rows.append(row(key + "cycle_p50_us",
                               QStringLiteral("%1 B block with repaint, p50").arg(size.blockSize),
                               "µs", 1, {orNan(known, cycle.p50), NAN, NAN}));
    }
    int step = 0;
    for (const auto &[name, micros] : cost.steps) {
        report.rows.append(row(QStringLiteral("step_%1_us").arg(++step),
                               QStringLiteral("  step: ") + name, "µs", 1, {micros, NAN, NAN}));
    }
}

} // namespace

namespace BenchRows {

void AddRoundTripRows(const Results &results, BenchReport &report)
{
    addRoundTripRows(results.servers, report);
}

void AddRows(const Results &results, BenchReport &report)
{
    addRoundTripRows(results.servers, report);
    std::array<double, serverCount> stream;
    std::array<double, serverCount> atStart;
    std::array<double, serverCount> afterStream;
    for (int server = 0; server < serverCount; ++server) {
        stream[server] = results.servers[server].bestStream;
        atStart[server] = results.servers[server].residentAtStart;
        afterStream[server] = results.servers[server].residentAfterStream;
    }
    const bool haveMinimalStream
        = !std::isnan(stream[ParvelServer]) && !std::isnan(stream[MinimalServer]);
    report.rows.append(
        row("stream_mb_per_s", "stream echo throughput", "MB/s", 0, stream, ">= 0.95x minimal",
            decide(haveMinimalStream, stream[ParvelServer] >= 0.95 * stream[MinimalServer])));
    report.rows.append(
        row("capture_stream_mb_per_s", "stream echo throughput, capture on", "MB/s", 0,
            {results.captureStream, NAN, NAN}, ">= 100",
            decide(!std::isnan(results.captureStream), results.captureStream >= 100)));
    const Distribution captureTrips = Summarize(results.captureRoundTrips.micros);
    report.rows.append(row("capture_round_trip_2048_p50_us", "round trip 2 KiB p50, capture on",
                           "µs", 1, {orNan(captureTrips.count > 0, captureTrips.p50), NAN, NAN}));
    report.rows.append(row("resident_at_start_mib", "resident memory at start", "MiB", 1, atStart));
    const double parvelAfter = afterStream[ParvelServer];
    report.rows.append(row("resident_after_stream_mib", "resident memory after the stream", "MiB",
                           1, afterStream, "<= 35 (before)",
                           decide(!std::isnan(parvelAfter), parvelAfter <= 35.0)));
    report.rows.append(row("resident_never_reading_peer_mib", "resident peak, peer never reads",
                           "MiB", 1, {results.floodPeak, NAN, NAN}, "<= after stream + 16",
                           decide(!std::isnan(results.floodPeak) && !std::isnan(parvelAfter),
                                  results.floodPeak <= parvelAfter + 16)));
    addBlockCostRows(results.blockCost, report);
    const double startup = median(results.windowMs);
    report.rows.append(row("first_window_median_ms", "first window shown, median", "ms", 1,
                           {startup, NAN, NAN}, "<= 42 (before)",
                           decide(!std::isnan(startup), startup <= 42)));
    report.rows.append(
        row("first_window_max_ms", "first window shown, slowest", "ms", 1,
            {results.windowMs.empty() ? NAN : Summarize(results.windowMs).max, NAN, NAN}));
    report.rows.append(row("application_object_median_ms", "of which until QApplication", "ms", 1,
                           {median(results.applicationMs), NAN, NAN}));
}

QStringList MethodNotes()
{
    return {
        QStringLiteral("Parvel is the unmodified bin/parvel, copied into a temporary program "
                       "folder with its settings (the port, echo mode), run with "
                       "QT_QPA_PLATFORM=offscreen; a probe library preloaded into it "
                       "(LD_PRELOAD) presses 受信待ち once the window is shown"),
        QStringLiteral("minimal: a blocking read/write loop on plain POSIX sockets with no delay "
                       "(bench/MinimalEchoServer.cpp); socat: TCP-LISTEN:<port>,bind=127.0.0.1,"
                       "reuseaddr,fork PIPE"),
        QStringLiteral("round trips: one connection per server, no delay on sends, each block "
                       "sent after the previous came back whole, every byte checked; %1 rounds "
                       "interleaved across the servers so they share the machine's noise")
            .arg(roundTripRounds),
        QStringLiteral("stream: 256 MiB in 64 KiB writes, at most 1 MiB ahead of the echo, while "
                       "the same thread reads back and checks every byte (poll); MB = 10^6 "
                       "bytes; the better of %1 runs")
            .arg(streamRounds),
        QStringLiteral("resident memory: VmRSS of the process serving the connection (socat: its "
                       "forked child) when the stream's last byte came back; the never-reading "
                       "peer sends for %1 s while VmRSS is sampled every 50 ms")
            .arg(floodDuration.count() / 1000.0),
        QStringLiteral("start-up: CLOCK_MONOTONIC from just before fork/exec to the moment the "
                       "main window's first expose has been handled (first frame painted), as "
                       "the preloaded probe sees it; median of %1 starts")
            .arg(startupRuns),
        QStringLiteral("in-process block: the real main window in the benchmark's own process; a "
                       "loopback peer sends a block of 16 or 2048 bytes, and the data path "
                       "(frmMain::wscRecv_DataArrival: read, receive line, echo, response line, "
                       "rotation check) is called and timed once the bytes wait in the socket, "
                       "then the display pass (frmMain::RefreshDisplay: lamps, time stamps, both "
                       "grid models) at once after it; up to %1 blocks a size, each echo "
                       "checked; 'with repaint' runs from the peer's send to the whole echo back, "
                       "the event loop (and so the grids' repaint) included; the steps are timed "
                       "one by one on the same window")
            .arg(inProcessBlocks),
    };
}
} // namespace BenchRows
