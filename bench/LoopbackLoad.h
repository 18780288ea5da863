#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class BytePattern;

// One client connection to an echo server on 127.0.0.1, with no delay on sends.
class LoopbackConnection
{
public:
    LoopbackConnection() = default;
    ~LoopbackConnection();
    LoopbackConnection(const LoopbackConnection &) = delete;
    LoopbackConnection &operator=(const LoopbackConnection &) = delete;

    bool open(std::uint16_t port, std::string *error);
    // Closes with a reset, so that the server drops whatever it still had to send.
    void abort();
    void close();
    int descriptor() const { return m_fd; }

private:
    int m_fd = -1;
};

using Clock = std::chrono::steady_clock;

struct RoundTripSamples
{
    std::vector<double> micros;
    std::uint64_t offset = 0; // where the next block starts in the pattern
    std::string error;
};

// Sends count blocks of blockSize bytes one at a time, each only after the previous one came
// back whole and byte-exact, and appends each round trip in µs (after warmup unrecorded ones).
void MeasureRoundTrips(LoopbackConnection &connection, const BytePattern &pattern,
                       std::size_t blockSize, int warmup, int count, Clock::time_point deadline,
                       RoundTripSamples &samples);

struct StreamResult
{
    std::uint64_t bytes = 0;
    double seconds = 0;
    std::string error;
    double megabytesPerSecond() const { return seconds > 0 ? bytes / seconds / 1e6 : 0; }
};

// Writes total bytes in writeSize writes, never more than inFlightLimit ahead of the echo, while
// reading back and checking every byte; atEnd runs once all came back, before the connection
// closes.
StreamResult MeasureStream(std::uint16_t port, const BytePattern &pattern, std::uint64_t total,
                           std::size_t writeSize, std::size_t inFlightLimit,
                           Clock::time_point deadline,
                           const std::function<void(LoopbackConnection &)> &atEnd);

struct FloodResult
{
    std::uint64_t bytesSent = 0;
    double seconds = 0;
    std::string error;
};

// A peer that keeps sending and never reads, for duration; sample runs every sampleInterval.
FloodResult FloodWithoutReading(std::uint16_t port, const BytePattern &pattern,
                                std::chrono::milliseconds duration,
                                std::chrono::milliseconds sampleInterval,
                                const std::function<void()> &sample);
