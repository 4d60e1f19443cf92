#pragma once

#include <iostream>
#include <sstream>
#include <string>

namespace testutil {

/// Collects what is written to standard output while it lives.
class CaptureStdout {
  public:
    CaptureStdout() : previous_(std::cout.rdbuf(captured_.rdbuf())) {}
    ~CaptureStdout() { std::cout.rdbuf(previous_); }
    CaptureStdout(const CaptureStdout&) = delete;
    CaptureStdout& operator=(const CaptureStdout&) = delete;
    std::string text() const { return captured_.str(); }

  private:
    std::ostringstream captured_;
    std::streambuf* previous_;
};

}  // namespace testutil
