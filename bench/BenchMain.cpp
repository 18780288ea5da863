// Parvel's echo benchmark: the real program, its window on the offscreen platform and its terminal
// mode (--headless), against a minimal echo server of our own and socat, side by side in one run;
// then the real window inside this process. Prints one table and writes the same figures as JSON.
// Targets are judged, never enforced: the run fails only on a wrong echo, a missing log line or a
// server that does not start.
// Usage: parvel_bench [--json <file>]
//        [--in-process-only | --round-trips-only | --flood-only | --rules-only]

#include "Bench.h"

#include "lib/ExchangeHistory.h"
#include "lib/ResponseRulesFile.h"

#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

#include <array>
#include <cmath>
#include <numeric>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {
constexpr unsigned runCapSeconds = 265; // the run and its servers end by themselves after this
constexpr int startupRuns = 7;
constexpr int roundTripRounds = 3; // interleaved over the servers, so they share the noise
constexpr std::uint64_t streamBytes = 256ull * 1024 * 1024;
constexpr int streamRounds = 2; // the better of two
constexpr std::uint64_t captureStreamBytes = 32ull * 1024 * 1024;
constexpr int captureRoundTrips = 2000;
constexpr int ruleRoundTrips = 3000; // each, plain echo and by rules, interleaved
constexpr int ruleRounds = 5;
constexpr int historyFillRoundTrips = 5200; // a received and a sent row each: past the bound
constexpr std::uint64_t historyBlockBytes = ExchangeHistory::defaultMaxBlockBytes;
constexpr int historyStreamRounds = 4; // the better of four: one stream is a fifth of a second
constexpr int floodRuns = 5;
constexpr auto floodLength = 6s;
constexpr double mib = 1024.0 * 1024.0;

struct RoundTripPlan
{
    std::size_t size;
    const char *label;
    int warmup;
    int count;
} const roundTripPlans[] = {
    {16, "16 B", 200, 6000},
    {1024, "1 KiB", 200, 6000},
    {2048, "2 KiB", 200, 6000},
    {65536, "64 KiB", 20, 900},
};
constexpr int sizeCount = int(std::size(roundTripPlans));
constexpr int serverCount = Server::kindCount;
using Values = std::array<double, serverCount>;

struct Row
{
    QString key; // the figure's name in the JSON
    QString figure;
    QString unit; // MB/s shown in whole numbers, the rest with one decimal
    Values values; // NaN where not measured or not applicable
    QString target = {};
    int met = -1; // 1 met, 0 missed, -1 no target or not decidable
};

struct Check
{
    QString name;
    bool passed;
    QString detail;
};

struct Percentiles
{
    double p50 = NAN, p99 = NAN, max = NAN, mean = NAN;
};

// Nearest-rank percentiles.
Percentiles summarize(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const auto rank = [&values](double share) {
        return values[std::min(values.size() - 1,
                               std::size_t(std::ceil(share * values.size())) - 1)];
    };
    return {rank(0.5), rank(0.99), values.back(),
            std::accumulate(values.begin(), values.end(), 0.0) / values.size()};
}

int decide(double parvel, double reference, bool met)
{
    return std::isnan(parvel) || std::isnan(reference) ? -1 : int(met);
}

class Bench
{
public:
    void startup();
    void startServers();
    void roundTrips();
    void streams();
    void neverReadingPeer();
    void floods();
    void capture();
    void rules();
    void history();
    void inProcess();
    void stopServers();
    bool report(const QString &jsonPath);

private:
    void add(Row row) { m_rows.append(std::move(row)); }
    // A figure of Parvel alone; met says whether it keeps its target, if it has one.
    void addParvel(const QString &key, const QString &figure, const char *unit, double value,
                   const char *target = "", bool met = false)
    {
        add({key,
             figure,
             unit,
             {value, NAN, NAN, NAN},
             target,
             *target ? decide(value, 0, met) : -1});
    }
    void check(const QString &name, bool passed, const QString &detail = {})
    {
        m_checks.append({name, passed, detail});
    }

    const BytePattern m_pattern;
    std::unique_ptr<Server> m_servers[serverCount];
    Samples m_samples[serverCount][sizeCount];
    QList<Row> m_rows;
    QList<Check> m_checks;
    QStringList m_observations;
    double m_residentAfterStream = NAN; // MiB
};

void Bench::startup()
{
    std::vector<double> window, application;
    QString error;
    for (int run = 0; run < startupRuns; ++run) {
        Server parvel(Server::Parvel);
        if (!parvel.start(&error) || parvel.shownNs <= 0)
            break;
        window.push_back(parvel.shownNs / 1e6);
        application.push_back(parvel.applicationNs / 1e6);
    }
    check(QStringLiteral("Parvel starts, shows its window and listens, %1 times").arg(startupRuns),
          int(window.size()) == startupRuns, error);
    const double median = summarize(window).p50;
    addParvel("first_window_median_ms", "first window shown, median", "ms", median,
              "<= 42 (before)", median <= 42);
    addParvel("first_window_max_ms", "first window shown, slowest", "ms", summarize(window).max);
    addParvel("application_object_median_ms", "of which until QApplication", "ms",
              summarize(application).p50);
}

void Bench::startServers()
{
    for (int kind = 0; kind < serverCount; ++kind) {
        QString error;
        if (kind == Server::Socat && QStandardPaths::findExecutable("socat").isEmpty()) {
            m_observations << QStringLiteral("socat is not installed");
            continue;
        }
        m_servers[kind] = std::make_unique<Server>(Server::Kind(kind));
        if (!m_servers[kind]->start(&error))
            m_servers[kind].reset();
        check(QLatin1String(Server::name(kind)) + QStringLiteral(" starts"),
              m_servers[kind] != nullptr, error);
    }
}

void Bench::stopServers()
{
    for (auto &server : m_servers)
        server.reset();
}

void Bench::roundTrips()
{
    Connection connections[serverCount];
    for (int kind = 0; kind < serverCount; ++kind) {
        if (m_servers[kind]
            && !connections[kind].open(m_servers[kind]->port(), &m_samples[kind][0].error))
            m_servers[kind].reset();
    }
    for (int round = 0; round < roundTripRounds; ++round) {
        for (int size = 0; size < sizeCount; ++size) {
            const RoundTripPlan &plan = roundTripPlans[size];
            for (int kind = 0; kind < serverCount; ++kind) {
                if (m_servers[kind] && m_samples[kind][size].error.empty())
                    RoundTrips(connections[kind], m_pattern, plan.size,
                               round == 0 ? plan.warmup : 0, plan.count / roundTripRounds,
                               Clock::now() + 4s, m_samples[kind][size]);
            }
        }
    }
    for (int size = 0; size < sizeCount; ++size) {
        const RoundTripPlan &plan = roundTripPlans[size];
        Percentiles d[serverCount];
        for (int kind = 0; kind < serverCount; ++kind) {
            d[kind] = summarize(m_samples[kind][size].micros);
            if (!m_samples[kind][size].error.empty())
                check(QStringLiteral("%1: round trips of %2").arg(Server::name(kind), plan.label),
                      false, QString::fromStdString(m_samples[kind][size].error));
        }
        const auto values = [&d](double Percentiles::*field) {
            return Values {d[0].*field, d[1].*field, d[2].*field, d[3].*field};
        };
        const Values p50 = values(&Percentiles::p50), p99 = values(&Percentiles::p99),
                     max = values(&Percentiles::max);
        const QString key = QStringLiteral("round_trip_%1_").arg(plan.size);
        const QString name = QStringLiteral("round trip %1 ").arg(QLatin1String(plan.label));
        const double parvel = p50[Server::Parvel];
        if (plan.size <= 2048) {
            add({key + "p50_us", name + "p50", "µs", p50, "<= 2x minimal, < socat",
                 decide(parvel, p50[Server::Minimal] + p50[Server::Socat],
                        parvel <= 2 * p50[Server::Minimal] && parvel < p50[Server::Socat])});
            add({key + "p99_us", name + "p99", "µs", p99, "<= 1.5x socat",
                 decide(p99[0], p99[Server::Socat], p99[0] <= 1.5 * p99[Server::Socat])});
            add({key + "max_us", name + "max", "µs", max});
        } else {
            add({key + "p50_us", name + "p50", "µs", p50, "< 3x minimal",
                 decide(parvel, p50[Server::Minimal], parvel < 3 * p50[Server::Minimal])});
            add({key + "p99_us", name + "p99", "µs", p99});
            add({key + "max_us", name + "max", "µs", max, "< 40000 (no stall)",
                 decide(max[0], p50[Server::Minimal], max[0] < 40000)});
        }
    }
}

void Bench::streams()
{
    Values best {NAN, NAN, NAN, NAN}, atStart {NAN, NAN, NAN, NAN},
        afterStream {NAN, NAN, NAN, NAN};
    for (int kind = 0; kind < serverCount; ++kind)
        atStart[kind] = m_servers[kind] ? m_servers[kind]->residentBytes() / mib : NAN;
    int socatStalls = 0;
    for (int round = 0; round < streamRounds; ++round) {
        for (int kind = 0; kind < serverCount; ++kind) {
            Server *server = m_servers[kind].get();
            if (!server)
                continue;
            const LoggedBytes before = ParvelLog(server->folder());
            // socat's single-threaded PIPE can block for good in a write into its own full
            // pipe; another connection usually gets through.
            StreamResult stream;
            QByteArray grids;
            for (int attempt = 0; attempt < (kind == Server::Socat ? 3 : 1); ++attempt) {
                Connection connection;
                if (!connection.open(server->port(), &stream.error))
                    break;
                stream = Stream(connection, m_pattern, streamBytes, Clock::now() + 30s);
                afterStream[kind] = server->residentBytes() / mib;
                if (kind == Server::Parvel && stream.error.empty()) {
                    std::this_thread::sleep_for(100ms); // the window catches up within a frame
                    grids = server->ask("grid");
                }
                socatStalls += !stream.error.empty() && kind == Server::Socat;
                if (stream.error.empty())
                    break;
            }
            if (!stream.error.empty()) {
                check(QLatin1String(Server::name(kind))
                          + QStringLiteral(": stream echoed byte-exact"),
                      false, QString::fromStdString(stream.error));
                continue;
            }
            if (!(stream.megabytesPerSecond() <= best[kind]))
                best[kind] = stream.megabytesPerSecond();
            if ((kind != Server::Parvel && kind != Server::Headless) || round + 1 < streamRounds)
                continue;
            const LoggedBytes after = ParvelLog(server->folder());
            const qint64 received = after.received - before.received;
            const qint64 sent = after.sent - before.sent;
            check(QStringLiteral("%1 logs every streamed block (received and echoed)")
                      .arg(kind == Server::Parvel ? "Parvel" : "headless Parvel"),
                  received == qint64(streamBytes) && sent == qint64(streamBytes),
                  QStringLiteral("%1 blocks, %2 bytes received and %3 echoed in the log")
                      .arg(after.receiveLines - before.receiveLines)
                      .arg(received)
                      .arg(sent));
            if (kind == Server::Headless)
                continue;
            // The newest block ends where the stream ends; the grids show its first 2048 bytes.
            const qint64 last = after.lastReceived;
            const QByteArray expected
                = QByteArray(m_pattern.at(streamBytes - last), qMin<qint64>(last, 2048))
                      .toHex()
                      .toUpper();
            const bool shown = last > 0 && grids == expected + ' ' + expected;
            check(QStringLiteral("Parvel shows the latest streamed block in both grids"), shown,
                  QStringLiteral("last block %1 bytes, grids %2")
                      .arg(last)
                      .arg(shown ? "show it" : "differ"));
        }
    }
    if (socatStalls > 0)
        m_observations << QStringLiteral("socat: %1 stream connection(s) stalled for good (blocked "
                                         "in a write into its own full pipe); its figure is from "
                                         "the connections that got through")
                              .arg(socatStalls);
    add({"stream_mb_per_s", "stream echo throughput", "MB/s", best, ">= 0.95x minimal",
         decide(best[0], best[Server::Minimal], best[0] >= 0.95 * best[Server::Minimal])});
    add({"resident_at_start_mib", "resident memory at start", "MiB", atStart});
    m_residentAfterStream = afterStream[0];
    add({"resident_after_stream_mib", "resident memory after the stream", "MiB", afterStream,
         "<= 35 (before)", decide(afterStream[0], 0, afterStream[0] <= 35)});
}

void Bench::neverReadingPeer()
{
    Server *parvel = m_servers[Server::Parvel].get();
    if (!parvel)
        return;
    qint64 peak = 0;
    Connection flooder, next;
    StreamResult flood;
    Samples samples;
    parvel->tell("measure");
    if (flooder.open(parvel->port(), &flood.error))
        flood = SendWithoutReading(flooder, m_pattern, 3s, [&] {
            peak = qMax(peak, parvel->residentBytes());
            parvel->ping();
        });
    const double worst = parvel->ask("lateness").split(' ').value(0).toDouble() / 1000;
    flooder.close(true);
    // It must still serve the next peer (the newest peer wins).
    if (next.open(parvel->port(), &samples.error))
        RoundTrips(next, m_pattern, 16, 0, 10, Clock::now() + 5s, samples);
    check(QStringLiteral("Parvel serves the next peer after one that never reads"),
          flood.error.empty() && samples.micros.size() == 10,
          QStringLiteral("the flooding peer got %1 MiB in before it was held back")
                  .arg(flood.bytes / mib, 0, 'f', 1)
              + QString::fromStdString(flood.error + samples.error));
    const double after = m_residentAfterStream;
    const double peakMib = peak > 0 ? peak / mib : NAN;
    add({"resident_never_reading_peer_mib",
         "resident peak, peer never reads",
         "MiB",
         {peakMib, NAN, NAN, NAN},
         "<= after stream + 16",
         decide(peakMib, after, peakMib <= after + 16)});
    addParvel("flood_never_reading_peer_answer_worst_ms", "peer never reads, answer delay worst",
              "ms", worst, "< 1000", worst < 1000);
}

// An echoed flood while the probe inside Parvel times how late the program answers: requests
// written to it every 20 ms, and a 20 ms timer of its own like the window's clock.
void Bench::floods()
{
    Server *parvel = m_servers[Server::Parvel].get();
    if (!parvel)
        return;
    std::vector<double> rates;
    QString errors;
    for (int run = 1; run <= floodRuns; ++run) {
        Connection connection;
        StreamResult flood;
        parvel->tell("measure");
        if (connection.open(parvel->port(), &flood.error))
            flood = Stream(connection, m_pattern, 0, Clock::now() + floodLength,
                           [parvel] { parvel->ping(); });
        const QList<QByteArray> late = parvel->ask("lateness").split(' '); // µs
        const double worst = late.value(0).toDouble() / 1000,
                     median = late.value(1).toDouble() / 1000;
        if (!flood.error.empty() || late.size() < 5)
            errors
                += QStringLiteral("run %1: %2 ").arg(run).arg(QString::fromStdString(flood.error));
        rates.push_back(flood.megabytesPerSecond());
        const QString key = QStringLiteral("flood_run_%1_answer_").arg(run);
        const QString name
            = QStringLiteral("flood %1 of %2 s, answer delay ").arg(run).arg(floodLength.count());
        addParvel(key + "worst_ms", name + "worst", "ms", worst, "< 1000", worst < 1000);
        addParvel(key + "median_ms", name + "median", "ms", median);
        m_observations << QStringLiteral("flood %1: %2 MB/s echoed; %3 answers timed; worst "
                                         "delay of a request %4 ms, of a tick %5 ms")
                              .arg(run)
                              .arg(flood.megabytesPerSecond(), 0, 'f', 0)
                              .arg(QString(late.value(2)))
                              .arg(late.value(3).toDouble() / 1000, 0, 'f', 1)
                              .arg(late.value(4).toDouble() / 1000, 0, 'f', 1);
    }
    addParvel("flood_echo_mb_per_s", "flood echo throughput, median", "MB/s", summarize(rates).p50);
    check(QStringLiteral("Parvel echoes %1 floods byte-exact and its probe answers").arg(floodRuns),
          errors.isEmpty(), errors.trimmed());
}

void Bench::capture()
{
    Server parvel(Server::Parvel, true);
    QString error;
    if (!parvel.start(&error))
        return check(QStringLiteral("Parvel with capture on starts"), false, error);
    Connection connection;
    StreamResult stream;
    Samples samples;
    if (connection.open(parvel.port(), &stream.error))
        stream = Stream(connection, m_pattern, captureStreamBytes, Clock::now() + 30s);
    if (connection.open(parvel.port(), &samples.error))
        RoundTrips(connection, m_pattern, 2048, 200, captureRoundTrips, Clock::now() + 10s,
                   samples);
    connection.close();
    parvel.stop();
    const qint64 expected = qint64(captureStreamBytes) + qint64(samples.micros.size() + 200) * 2048;
    const LoggedBytes captured = ParvelCapture(parvel.folder());
    check(QStringLiteral("Parvel with capture on keeps every byte in its capture file"),
          stream.error.empty() && captured.received == expected && captured.sent == expected,
          QStringLiteral("%1 bytes received and %2 sent in the capture, %3 expected")
                  .arg(captured.received)
                  .arg(captured.sent)
                  .arg(expected)
              + QString::fromStdString(stream.error + samples.error));
    const double rate = stream.error.empty() ? stream.megabytesPerSecond() : NAN;
    addParvel("capture_stream_mb_per_s", "stream echo throughput, capture on", "MB/s", rate,
              ">= 100", rate >= 100);
    addParvel("capture_round_trip_2048_p50_us", "round trip 2 KiB p50, capture on", "µs",
              summarize(samples.micros).p50);
}

// 2 KiB round trips on two servers at once, in rounds that alternate between them so that both
// share the machine's noise.
void InterleavedRoundTrips(Connection (&connections)[2], const BytePattern &pattern, int count,
                           int rounds, Samples (&samples)[2])
{
    for (int round = 0; round < rounds; ++round) {
        for (int which = 0; which < 2; ++which)
            RoundTrips(connections[which], pattern, 2048, round == 0 ? 200 : 0, count / rounds,
                       Clock::now() + 4s, samples[which]);
    }
}

// 64 rules of every kind that no block of the random pattern matches, so every block is tried
// against all of them and then echoed: what the rules cost the echo path.
QByteArray UnmatchedRules()
{
    static const char *const kinds[] = {"equals", "starts", "ends", "contains"};
    QByteArray rules;
    for (int index = 0; index < maxResponseRules; ++index)
        rules += QByteArray("on ") + kinds[index % 4] + " 50 41 52 ?? 56 45 4C "
            + QByteArray::number(index, 16).rightJustified(2, '0') + " -> 06 [0-3]\n";
    return rules;
}

void Bench::rules()
{
    Server echo(Server::Parvel), byRules(Server::Parvel, false, UnmatchedRules());
    QString error;
    if (!echo.start(&error) || !byRules.start(&error))
        return check(QStringLiteral("Parvel with 64 rules starts"), false, error);
    Connection connections[2];
    Samples samples[2];
    Server *servers[] = {&echo, &byRules};
    for (int which = 0; which < 2; ++which)
        connections[which].open(servers[which]->port(), &samples[which].error);
    InterleavedRoundTrips(connections, m_pattern, ruleRoundTrips, ruleRounds, samples);
    check(QStringLiteral("Parvel with 64 rules, none matching, echoes every block"),
          samples[0].error.empty() && samples[1].error.empty(),
          QString::fromStdString(samples[0].error + samples[1].error));
    const double plain = summarize(samples[0].micros).p50;
    const double ruled = summarize(samples[1].micros).p50;
    addParvel("rules_round_trip_2048_plain_p50_us", "round trip 2 KiB p50, plain echo", "µs",
              plain);
    addParvel("rules_round_trip_2048_p50_us", "round trip 2 KiB p50, 64 rules none match", "µs",
              ruled, "<= 1.1x plain echo", ruled <= 1.1 * plain);

    // The matcher alone on the same 2 KiB blocks.
    RuleMatcher matcher;
    const ResponseRulesRead read
        = ReadResponseRules(byRules.folder() + QStringLiteral("/Config/Kiv_TcpRecvRules.txt"));
    (void)matcher.setRules(read.rules);
    std::vector<double> nanos;
    std::uint64_t offset = 0;
    int answered = 0;
    for (int call = 0; call < 20000; ++call) {
        const QByteArray block = QByteArray::fromRawData(m_pattern.at(offset), 2048);
        offset = BytePattern::next(offset, 2048);
        const qint64 start = MonotonicNanoseconds();
        answered += matcher.answer(block).rule >= 0;
        nanos.push_back(double(MonotonicNanoseconds() - start));
    }
    check(QStringLiteral("64 rules read from the file and none matches"),
          read.rules.size() == maxResponseRules && answered == 0);
    addParvel("rules_match_2048_none_ns", "64 rules tried on a 2 KiB block, median", "ns",
              summarize(nanos).p50);
}

// Two Parvels side by side: one with 通信履歴 closed, one with it open and holding its full
// 10,000 rows, which keeps taking rows while the echo is measured.
void Bench::history()
{
    Server closed(Server::Parvel), open(Server::Parvel);
    QString error;
    if (!closed.start(&error) || !open.start(&error))
        return check(QStringLiteral("two Parvels for the history start"), false, error);
    Connection connections[2];
    Samples samples[2];
    Server *servers[] = {&closed, &open};
    double rates[2] = {0, 0}; // MB/s, the better of the measured rounds
    std::string errors;
    // Both histories are brought to their bounds alike, as a long session leaves them: a stream
    // past the bound in block bytes, then small exchanges past the bound in rows.
    for (int round = -1; round < historyStreamRounds; ++round) {
        for (int which = 0; which < 2; ++which) {
            StreamResult result;
            if (connections[which].open(servers[which]->port(), &result.error))
                result
                    = Stream(connections[which], m_pattern,
                             round < 0 ? 2 * historyBlockBytes : streamBytes, Clock::now() + 30s);
            errors += result.error;
            if (round >= 0 && result.error.empty())
                rates[which] = std::max(rates[which], result.megabytesPerSecond());
            if (round < 0)
                RoundTrips(connections[which], m_pattern, 16, 0, historyFillRoundTrips,
                           Clock::now() + 20s, samples[which]);
        }
        if (round >= 0)
            continue;
        // Opened once full: its table shows the newest rows and takes every new one.
        QDeadlineTimer shown(5000);
        int rows = -1;
        while (rows < int(ExchangeHistory::defaultMaxRows) && !shown.hasExpired())
            rows = open.ask("history").toInt();
        samples[0] = samples[1] = {};
        InterleavedRoundTrips(connections, m_pattern, ruleRoundTrips, ruleRounds, samples);
        errors += samples[0].error + samples[1].error;
        const int rowsAfter = open.ask("history").toInt();
        check(QStringLiteral("通信履歴 open shows its 10,000 rows through the round trips"),
              rows >= ExchangeHistory::defaultMaxRows
                  && rowsAfter >= ExchangeHistory::defaultMaxRows,
              QStringLiteral("%1 rows shown before, %2 after").arg(rows).arg(rowsAfter));
    }
    // Streamed blocks are large: the bound in block bytes holds a few hundred of them.
    const int rowsStreamed = open.ask("history").toInt();
    check(QStringLiteral("Parvel echoes every block beside 通信履歴 open and full"),
          errors.empty() && rowsStreamed > 0,
          QStringLiteral("%1 rows shown after the streams ").arg(rowsStreamed)
              + QString::fromStdString(errors));
    const double plain = summarize(samples[0].micros).p50;
    const double shownFull = summarize(samples[1].micros).p50;
    addParvel("history_round_trip_2048_closed_p50_us", "round trip 2 KiB p50, 通信履歴 closed",
              "µs", plain);
    addParvel("history_round_trip_2048_open_p50_us", "round trip 2 KiB p50, 通信履歴 open, full",
              "µs", shownFull, "<= 1.1x closed", shownFull <= 1.1 * plain);
    const double closedRate = rates[0] > 0 ? rates[0] : NAN;
    const double openRate = rates[1] > 0 ? rates[1] : NAN;
    addParvel("history_stream_closed_mb_per_s", "stream echo throughput, 通信履歴 closed", "MB/s",
              closedRate);
    addParvel("history_stream_open_mb_per_s", "stream echo throughput, 通信履歴 open, full", "MB/s",
              openRate, ">= 0.9x closed", openRate >= 0.9 * closedRate);
}

void Bench::inProcess()
{
    const InProcessResult result = MeasureInProcess(m_pattern, 3000, 100);
    check(QStringLiteral("in-process blocks echoed whole and shown"), result.error.isEmpty(),
          result.error);
    for (const BlockCosts &costs : result.sizes) {
        const Percentiles handler = summarize(costs.handler);
        const QString key = QStringLiteral("block_%1_").arg(costs.size);
        const QString name = QStringLiteral("%1 B block, ").arg(costs.size);
        addParvel(key + "handler_p50_us", name + "data path alone, p50", "µs", handler.p50,
                  costs.size == 2048 ? "<= 10" : "", handler.p50 <= 10);
        addParvel(key + "handler_mean_us", name + "data path alone, mean", "µs", handler.mean);
        addParvel(key + "handler_p99_us", name + "data path alone, p99", "µs", handler.p99);
        addParvel(key + "display_p50_us", name + "display pass, p50", "µs",
                  summarize(costs.display).p50);
        addParvel(key + "cycle_p50_us",
                  QStringLiteral("%1 B block with repaint, p50").arg(costs.size), "µs",
                  summarize(costs.cycle).p50);
    }
    for (int step = 0; step < result.steps.size(); ++step)
        addParvel(QStringLiteral("step_%1_us").arg(step + 1), "  step: " + result.steps[step].first,
                  "µs", result.steps[step].second);
}

QString number(double value, int decimals, const char *suffix = "")
{
    return std::isnan(value) ? QStringLiteral("n/a")
                             : QString::number(value, 'f', decimals) + QLatin1String(suffix);
}

double ratio(const Row &row, int reference, int measured = Server::Parvel)
{
    const double base = row.values[reference];
    return base > 0 ? row.values[measured] / base : NAN;
}

QJsonValue json(double value)
{
    return std::isnan(value) ? QJsonValue() : QJsonValue(value);
}

bool Bench::report(const QString &jsonPath)
{
    // The table keeps its order whatever order the phases ran in.
    const auto rank = [](const QString &key) {
        static const char *const order[]
            = {"round_trip_", "rules_", "stream_", "capture_", "history_",
               "resident_",   "flood_", "block_",  "step_",    ""};
        int group = 0;
        while (*order[group] && !key.startsWith(QLatin1String(order[group])))
            ++group;
        return group;
    };
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [&rank](const Row &a, const Row &b) { return rank(a.key) < rank(b.key); });
    QString text;
    const auto line = [&text](const QString &figure, const QString &unit, const QStringList &cells,
                              const QString &target, const QString &met) {
        text += figure.leftJustified(42) + unit.leftJustified(5);
        for (const QString &cell : cells)
            text += cell.rightJustified(10);
        text += QStringLiteral("  ") + target.leftJustified(22) + met + u'\n';
    };
    line("figure", "unit", {"Parvel", "minimal", "socat", "headless", "P/min", "P/socat", "H/min"},
         "target", {});
    text += QString(42 + 5 + 70 + 2 + 28, u'-') + u'\n';
    QJsonArray rows;
    for (const Row &row : std::as_const(m_rows)) {
        QStringList cells;
        for (double value : row.values)
            cells << number(value, row.unit == u"MB/s" ? 0 : 1);
        for (int reference : {Server::Minimal, Server::Socat})
            cells << number(ratio(row, reference), 2, "x");
        cells << number(ratio(row, Server::Minimal, Server::Headless), 2, "x");
        line(row.figure, row.unit, cells, row.target,
             row.met < 0   ? ""
                 : row.met ? "met"
                           : "MISSED");
        QJsonObject values;
        for (int kind = 0; kind < serverCount; ++kind)
            values.insert(QLatin1String(Server::name(kind)), json(row.values[kind]));
        QJsonObject entry {
            {"key", row.key},
            {"figure", row.figure},
            {"unit", row.unit},
            {"values", values},
            {"ratio_to_minimal", json(ratio(row, Server::Minimal))},
            {"ratio_to_socat", json(ratio(row, Server::Socat))},
            {"headless_ratio_to_minimal", json(ratio(row, Server::Minimal, Server::Headless))}};
        if (!row.target.isEmpty()) {
            entry.insert("target", row.target);
            entry.insert("met", row.met < 0 ? QJsonValue() : QJsonValue(row.met == 1));
        }
        rows.append(entry);
    }
    text += QStringLiteral("\nchecks:\n");
    QJsonArray checks;
    bool passed = true;
    for (const Check &check : std::as_const(m_checks)) {
        text += QStringLiteral("  [%1] %2").arg(check.passed ? "ok" : "FAILED", check.name)
            + (check.detail.isEmpty() ? QString() : " (" + check.detail + ')') + '\n';
        checks.append(
            QJsonObject {{"name", check.name}, {"passed", check.passed}, {"detail", check.detail}});
        passed = passed && check.passed;
    }
    for (const QString &observation : std::as_const(m_observations))
        text += QStringLiteral("  [note] ") + observation + u'\n';
    text += QStringLiteral("\nhow each figure is taken: bench/README.md\n");
    std::fputs(text.toUtf8().constData(), stdout);

    const QString socat = QStandardPaths::findExecutable("socat");
    const QJsonObject run {{"date", QDateTime::currentDateTime().toString(Qt::ISODate)},
                           {"qt", qVersion()},
                           {"kernel", QSysInfo::kernelVersion()},
                           {"cpus", QThread::idealThreadCount()},
                           {"socat", socat.isEmpty() ? "not installed" : socat},
                           {"stream_bytes", double(streamBytes)},
                           {"stream_write_size", 65536}};
    const QJsonObject root {
        {"run", run},
        {"figures", rows},
        {"checks", checks},
        {"observations", QJsonArray::fromStringList(m_observations)},
        {"notes", QJsonArray::fromStringList({"how each figure is taken: bench/README.md"})}};
    QFile file(jsonPath);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(QJsonDocument(root).toJson()) > 0;
    std::printf("\n%s %s\n", written ? "results written to" : "could not write",
                qPrintable(jsonPath));
    return written && passed;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QApplication> application = MakeTimedApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvel"));
    ::alarm(runCapSeconds);
    const QStringList arguments = QApplication::arguments();
    const qsizetype json = arguments.indexOf(QStringLiteral("--json"));
    const QString jsonPath
        = json > 0 ? arguments.value(json + 1) : QStringLiteral("bench-results.json");
    const auto only = [&arguments](const char *phase) {
        return arguments.contains(QLatin1String(phase));
    };
    const auto progress = [](const char *phase) {
        std::fprintf(stderr, "bench: %s\n", phase);
    };

    Bench bench;
    if (only("--rules-only")) {
        progress("rules");
        bench.rules();
    } else if (only("--history-only")) {
        progress("history window");
        bench.history();
    } else if (only("--round-trips-only") || only("--flood-only")) {
        bench.startServers();
        progress(only("--flood-only") ? "floods" : "round trips");
        only("--flood-only") ? bench.floods() : bench.roundTrips();
    } else if (!only("--in-process-only")) {
        progress("start-up");
        bench.startup();
        bench.startServers();
        progress("round trips");
        bench.roundTrips();
        progress("streams");
        bench.streams();
        progress("a peer that never reads");
        bench.neverReadingPeer();
        progress("floods");
        bench.floods();
        bench.stopServers();
        progress("capture on");
        bench.capture();
        progress("rules");
        bench.rules();
        progress("history window");
        bench.history();
    }
    if (!only("--round-trips-only") && !only("--flood-only") && !only("--rules-only")
        && !only("--history-only")) {
        progress("in-process block cost");
        bench.inProcess();
    }
    bench.stopServers();
    return bench.report(jsonPath) ? 0 : 1;
}
