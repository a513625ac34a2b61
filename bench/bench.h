// What the bench programs share: a clock, medians, and the rows each measurement adds to the
// results table (build/bench-results.md, put together by report.cmake).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

// Milliseconds on the performance counter, for intervals.
double NowMs();

double Median(std::vector<double> values);
// The longest time between `start`, each of `ticks` (moments the program got through to a
// timer, sorted) within [start, end], and `end`: how long it kept the user waiting at most.
double LongestGap(const std::vector<double>& ticks, double start, double end);
// "  LABEL (ms): v1 v2 ...", a figure's runs, for the log.
void PrintRuns(const char* label, const std::vector<double>& values, int decimals = 0);
double Max(const std::vector<double>& values);
// The median of a[i] / b[i]: each run against the reference's run of the same turn, so that a
// machine that gets busier or quieter during the measurement moves both sides of each ratio.
double PairedRatio(const std::vector<double>& a, const std::vector<double>& b);

// How many runs of each side a figure is the median of, unless a measurement says otherwise;
// the sides take turns.
inline constexpr int kRuns = 11;

// One line of the results table.
struct Row {
  std::string measure;
  std::string quorvane;   // Quorvane's figure, with its unit
  std::string reference;  // the reference's figure and what the reference is
  std::string ratio;      // "1.07", or "-" where there is nothing to divide by
  std::string target;     // empty for a figure kept without a target
  bool met = false;
};

// Replaces this suite's part of the results (results/<suite>.md beside the bench program):
// its rows, then notes that explain them.
void WriteResults(const std::string& suite, const std::vector<Row>& rows,
                  const std::vector<std::string>& notes);

std::string Fixed(double value, int decimals = 1);
std::string Ms(double value);
std::string MiB(double bytes);
std::string KiB(double bytes);

}  // namespace bench
