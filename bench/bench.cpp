#include "bench/bench.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "tests/support/check.h"

namespace bench {

double NowMs() {
  static const double period = [] {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return 1000.0 / static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * period;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double LongestGap(const std::vector<double>& ticks, double start, double end) {
  double longest = 0, last = start;
  for (double t : ticks) {
    if (t < start || t > end) continue;
    longest = std::max(longest, t - last);
    last = t;
  }
  return std::max(longest, end - last);
}

void PrintRuns(const char* label, const std::vector<double>& values, int decimals) {
  std::printf("  %s (ms):", label);
  for (double v : values) std::printf(" %.*f", decimals, v);
  std::printf("\n");
}

double Max(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

double PairedRatio(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> ratios;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (b[i] > 0) ratios.push_back(a[i] / b[i]);
  return Median(ratios);
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Ms(double value) { return Fixed(value, value < 10 ? 1 : 0) + " ms"; }
std::string MiB(double bytes) { return Fixed(bytes / (1024.0 * 1024.0), 2) + " MiB"; }
std::string KiB(double bytes) { return Fixed(bytes / 1024.0, 0) + " KiB"; }

void WriteResults(const std::string& suite, const std::vector<Row>& rows,
                  const std::vector<std::string>& notes) {
  const std::wstring folder = check::ProgramFolder() + L"results";
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    throw std::runtime_error("cannot create " + check::Utf8(folder));
  std::string text;
  for (const Row& row : rows) {
    const bool figure = row.target.empty();
    const std::string target = figure ? "- (a figure)" : row.target;
    const std::string verdict = figure ? "-" : row.met ? "met" : "**missed**";
    text += "| " + row.measure + " | " + row.quorvane + " | " + row.reference + " | " + row.ratio + " | " + target +
            " | " + verdict + " |\n";
    std::printf("  %s: %s against %s, ratio %s (target %s): %s\n", row.measure.c_str(), row.quorvane.c_str(),
                row.reference.c_str(), row.ratio.c_str(), target.c_str(), verdict.c_str());
  }
  for (const std::string& note : notes) {
    text += "- " + note + "\n";
    std::printf("  note: %s\n", note.c_str());
  }
  check::WriteFile(folder + L"\\" + std::wstring(suite.begin(), suite.end()) + L".md", text);
}

}  // namespace bench
