// A small test runner for the programs that run under Wine (no test
// framework is built for the cross toolchain): named tests, expectations
// that report their line, and the closing line "N passed, N failed".
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace vellumine::check {

struct Runner {
  int passed = 0;
  int failed = 0;
  int problems = 0;

  void Expect(bool ok, const char* what, int line) {
    if (ok) return;
    ++problems;
    std::printf("  line %d: not so: %s\n", line, what);
  }
  void Run(const char* name, const std::function<void()>& test) {
    problems = 0;
    test();
    if (problems == 0) {
      ++passed;
      std::printf("ok   %s\n", name);
    } else {
      ++failed;
      std::printf("FAIL %s\n", name);
    }
    std::fflush(stdout);
  }
  int Finish() {
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
  }
};

inline Runner& Checks() {
  static Runner runner;
  return runner;
}

}  // namespace vellumine::check

#define EXPECT(condition) ::vellumine::check::Checks().Expect((condition), #condition, __LINE__)
