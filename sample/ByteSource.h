#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// An input read once, from its start, in pieces: a file of any kind (a FIFO included) or, for "-",
/// standard input. Never mapped into memory, so a file that shrinks while it is read only ends early
/// (shrank() tells), and nothing but the caller's buffer holds its bytes.
class ByteSource {
  public:
    ByteSource() = default;
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    /// Opens `path` ("-": standard input). False when it cannot be read (missing, a directory, no
    /// permission); error() then says why.
    bool open(const std::string& path);
    /// Reads up to `size` bytes into `buffer`: how many, 0 at the end of the input, -1 when reading failed
    /// (error() says why).
    std::int64_t read(char* buffer, std::size_t size);

    /// Waits up to `milliseconds` for bytes (or the end) to be there to read: true when read() would not
    /// wait. Always true for a regular file.
    bool wait_readable(int milliseconds) const;

    /// A regular file's size when it was opened; 0 when not known (a pipe, a FIFO, a device).
    std::int64_t size_hint() const { return size_hint_; }
    /// Whether the input is a regular file, whose bytes read_at can read anywhere.
    bool regular() const { return regular_; }

    /// Reads up to `size` bytes of a regular file from byte `offset` on into `buffer`, leaving the sequential
    /// reading where it is; safe from several threads at once. How many, 0 at the end, -1 when reading
    /// failed (`why`, when given, says why).
    std::int64_t read_at(char* buffer, std::size_t size, std::int64_t offset, std::string* why = nullptr) const;
    /// Moves the sequential reading of a regular file on to byte `offset`, the bytes before it counting as
    /// read (they were read with read_at). False, with error() saying why, when it cannot.
    bool skip_to(std::int64_t offset);
    std::int64_t bytes_read() const { return bytes_read_; }
    /// At the end of a regular file: fewer bytes were read than it held when opened, so it shrank while it
    /// was read.
    bool shrank() const { return regular_ && at_end_ && bytes_read_ < size_hint_; }
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    bool own_fd_ = false;
    bool regular_ = false;
    bool at_end_ = false;
    std::int64_t size_hint_ = 0;
    std::int64_t bytes_read_ = 0;
    std::string error_;
};

/// How messages name an input: "standard input" for "-", else its path.
std::string input_name(const std::string& path);

/// Reads the whole text file `path` ("-": standard input) into `text`. False, with `error` a sentence
/// naming the file, when it cannot be read, is longer than `max_bytes` or holds a NUL byte (it is not
/// text); `what` names the kind of file in that sentence ("names file").
bool read_text_file(const std::string& path, const std::string& what, std::int64_t max_bytes, std::string& text,
                    std::string& error);
