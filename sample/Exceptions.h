#pragma once

#include <exception>
#include <new>
#include <string>
#include <utility>

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

/// Memory ran out where a large block was needed: what() says what needed how much ("not enough memory for
/// the pair counts of 16,384 individuals (537 MB)"). A std::bad_alloc, so that whatever catches those (the standard
/// library included) catches it too; a failure of memory is never an Exceptions.
class OutOfMemory : public std::bad_alloc {
  public:
    explicit OutOfMemory(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

/// Raises OutOfMemory with "not enough memory for `what` (SIZE)", SIZE in MB or GB to three significant
/// digits. Called where a std::bad_alloc was caught, with the size of the block that failed.
[[noreturn]] void raise_out_of_memory(const std::string& what, double bytes);

/// The phrase for a failure of memory: what() of an OutOfMemory, else "not enough memory for `stage`".
std::string out_of_memory_text(const std::bad_alloc& e, const std::string& stage);
