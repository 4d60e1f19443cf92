#pragma once

#include <functional>
#include <string>

/// The lock of an output folder. While one process holds it, no other can take it (the window and the
/// batch tool alike, on this host, and on others when the file system passes on flock locks), so two
/// analyses writing into one folder take turns instead of mixing their files. The system drops it when
/// the process ends, however it ends. Nothing is written into the folder for it.
class FolderLock {
  public:
    enum class Result { locked, busy, failed };

    FolderLock() = default;
    ~FolderLock() { unlock(); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    /// Takes the lock of `folder` ("" or ".": the working folder) without waiting: locked; busy when another
    /// holds it; failed when the folder cannot be opened (error() says why).
    Result try_lock(const std::string& folder);
    /// Takes the lock of `folder`, waiting for it when another holds it; `waiting` (may be empty) is called
    /// once before the wait, to say so. False when the folder cannot be opened (error() says why).
    bool lock(const std::string& folder, const std::function<void()>& waiting);
    void unlock();
    bool locked() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

  private:
    bool open_folder(const std::string& folder);

    int fd_ = -1;
    int opened_ = -1;
    std::string error_;
};

/// Whether files can be created in `folder`: tries with a temporary file, which it removes. False with
/// `why` (the system's reason) when not.
bool folder_writable(const std::string& folder, std::string& why);
