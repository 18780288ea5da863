#pragma once

#include "BenchPlan.h"

// The table's rows, with the targets judged, and how each figure was measured.
namespace BenchRows {
void AddRows(const BenchPlan::Results &results, BenchReport &report);
// The round-trip rows alone, for a run that measures nothing else.
void AddRoundTripRows(const BenchPlan::Results &results, BenchReport &report);
QStringList MethodNotes();
} // namespace BenchRows
