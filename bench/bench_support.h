#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace qm::bench {

/// splitmix64: the same sequence in every run, so benchmark data is repeatable.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

 private:
  std::uint64_t state_;
};

/// Median, fastest and slowest of repeated wall times, in milliseconds.
struct Timing {
  double median = 0, min = 0, max = 0;
};

inline Timing summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.front(), ms.back()};
}

/// Median, min and max wall time of `body` in milliseconds over `repetitions`
/// runs; `ok` turns false when a run fails. `prepare` runs before each
/// repetition, outside the measured time.
inline Timing timeRuns(
    int repetitions, const std::function<bool()>& body, bool& ok,
    const std::function<void()>& prepare = [] {}) {
  std::vector<double> ms;
  for (int i = 0; i < repetitions; ++i) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    if (!body()) ok = false;
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  return summarise(std::move(ms));
}

/// The summary table both benchmarks print: one row per measure with its
/// value, range, target and PASS/MISS, and a closing line.
class SummaryTableBase {
 public:
  void header() const {
    std::cout << std::left << std::setw(50) << "measure" << std::right << std::setw(14) << "value"
              << std::setw(12) << "min" << std::setw(12) << "max" << std::setw(18) << "target"
              << std::setw(8) << "result"
              << "\n"
              << std::string(114, '-') << "\n";
  }

  bool allMet() const { return misses_ == 0; }
  bool allRan() const { return notRun_ == 0; }
  bool anyError() const { return errors_ > 0; }

  /// "All targets met." or what kept the run from it; `whatIsMissing` names
  /// the measures that may not have run.
  std::string closingLine(const std::string& whatIsMissing) const {
    if (anyError()) return "Some measurements failed.";
    if (!allMet()) return "Some targets missed.";
    if (allRan()) return "All targets met.";
    return "All measured targets met; " + whatIsMissing + ".";
  }

  static std::string fixed(double v, int digits) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(digits) << v;
    return out.str();
  }

 protected:
  std::string verdict(bool met) {
    if (!met) ++misses_;
    return met ? "PASS" : "MISS";
  }
  static void row(const std::string& label, const std::string& value, const std::string& lo,
                  const std::string& hi, const std::string& target, const std::string& result) {
    std::cout << std::left << std::setw(50) << label << std::right << std::setw(14) << value
              << std::setw(12) << lo << std::setw(12) << hi << std::setw(18) << target
              << std::setw(8) << result << "\n";
  }
  void errorRow(const std::string& label, const std::string& message) {
    ++errors_;
    row(label, "error", "", "", "", "ERROR");
    std::cout << "    " << message << "\n";
  }
  void notRunRow(const std::string& label, const std::string& value) {
    ++notRun_;
    row(label, value, "", "", "", "");
  }

 private:
  int misses_ = 0;
  int errors_ = 0;
  int notRun_ = 0;
};

}  // namespace qm::bench
