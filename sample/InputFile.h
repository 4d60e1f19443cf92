#pragma once

#include <cstddef>
#include <string>

/// The whole content of a file, read-only, memory-mapped where possible (read into memory otherwise).
class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    /// Opens and maps `path`. Returns false when it cannot be read (missing, a directory, no permission);
    /// `error()` then says why.
    bool open(const std::string& path);

    const char* begin() const { return data_; }
    const char* end() const { return data_ + size_; }
    std::size_t size() const { return size_; }
    const std::string& error() const { return error_; }

    /// Tells the system that the mapped pages wholly before `position` are no longer needed; they are read
    /// again from the file if touched. Nothing happens for text read into memory.
    void release_before(const char* position);

  private:
    void release();

    const char* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
    std::string buffer_;
    std::string error_;
};
