#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

/// Asserts that `statement` throws `exception_type` whose what() is exactly `message`.
#define EXPECT_THROW_MSG(statement, exception_type, message)       \
    do {                                                           \
        try {                                                      \
            statement;                                             \
            ADD_FAILURE() << "no exception thrown by " #statement; \
        } catch (const exception_type& e) {                        \
            EXPECT_STREQ(e.what(), message);                       \
        }                                                          \
    } while (false)

namespace testutil {

/// A fresh, empty folder for one test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("velmora-") + (info ? info->test_suite_name() : "t") + "-" +
                           (info ? info->name() : "x") + "-" + std::to_string(::getpid());
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline void write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace testutil
