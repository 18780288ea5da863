#pragma once

#include "BenchPlan.h"

class BytePattern;

// The measurements against servers in processes of their own; each appends its checks.
namespace BenchPhases {
void MeasureStartup(const EchoServerProcess::Programs &programs, BenchPlan::Results &results,
                    BenchReport &report);
void StartServers(const EchoServerProcess::Programs &programs, BenchPlan::Results &results,
                  BenchReport &report);
void MeasureRoundTrips(BenchPlan::Results &results, const BytePattern &pattern);
void MeasureStreams(BenchPlan::Results &results, const BytePattern &pattern, BenchReport &report);
void MeasureFlood(BenchPlan::Results &results, const BytePattern &pattern, BenchReport &report);
void StopServers(BenchPlan::Results &results);
// A Parvel of its own with capture on: stream and 2 KiB round trips, then every byte counted in
// its capture files.
void MeasureCapture(const EchoServerProcess::Programs &programs, BenchPlan::Results &results,
                    const BytePattern &pattern, BenchReport &report);
} // namespace BenchPhases
