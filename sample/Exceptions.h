#pragma once

#include <exception>
#include <string>

/// The program's one exception type: a violated range inside the sample store.
/// what() is "Exception: " followed by the text given at construction.
class Exceptions : public std::exception {
  public:
    explicit Exceptions(const char* m);
    const char* what() const noexcept override;

  private:
    std::string message_;
};

/// Raises Exceptions with the text m. Every throw of the program goes through here.
[[noreturn]] void raise_exception(const char* m);
