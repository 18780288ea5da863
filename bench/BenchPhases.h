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
} // namespace BenchPhases
