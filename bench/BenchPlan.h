#pragma once

#include "BenchReport.h"
#include "EchoServerProcess.h"
#include "InProcessBlockCost.h"
#include "LoopbackLoad.h"

#include <QStringList>
#include <chrono>
#include <cmath>
#include <memory>

// What one run measures, and how much of it.
namespace BenchPlan {
using namespace std::chrono_literals;

// The whole run ends by itself after this, its servers with it.
inline constexpr unsigned runCapSeconds = 175;
inline constexpr int startupRuns = 7;
inline constexpr int roundTripRounds = 3; // interleaved over the servers, so they share the noise
inline constexpr std::uint64_t streamBytes = 256ull * 1024 * 1024;
inline constexpr std::size_t streamWriteSize = 64 * 1024;
inline constexpr std::size_t streamInFlight = 1024 * 1024; // the writer's lead over the reader
inline constexpr int streamRounds = 2; // the better of two
inline constexpr auto floodDuration = 3000ms;
inline constexpr double mib = 1024.0 * 1024.0;
inline constexpr int inProcessBlocks = 3000;
// Parvel with capture on: a shorter stream (its capture file takes about nine times the bytes)
// and 2 KiB round trips.
inline constexpr std::uint64_t captureStreamBytes = 32ull * 1024 * 1024;
inline constexpr int captureRoundTrips = 2000;

struct RoundTripPlan
{
    std::size_t size;
    const char *label;
    int warmup;
    int count;
};
inline constexpr RoundTripPlan roundTripPlans[] = {
    {16, "16 B", 200, 6000},
    {1024, "1 KiB", 200, 6000},
    {2048, "2 KiB", 200, 6000},
    {65536, "64 KiB", 20, 900},
};
inline constexpr int sizeCount = int(std::size(roundTripPlans));

// One server under test and its figures.
struct ServerRun
{
    std::unique_ptr<EchoServerProcess> process;
    bool running = false;
    QString error;
    RoundTripSamples samples[sizeCount];
    double bestStream = NAN;
    QStringList streamStalls;
    double residentAtStart = NAN;
    double residentAfterStream = NAN;
};

struct Results
{
    ServerRun servers[serverCount];
    std::vector<double> windowMs; // start to first window, per start
    std::vector<double> applicationMs; // start to the application object, per start
    double floodPeak = NAN; // MiB
    BlockCostResult blockCost;
    double captureStream = NAN; // MB/s
    RoundTripSamples captureRoundTrips; // 2 KiB
};
} // namespace BenchPlan
