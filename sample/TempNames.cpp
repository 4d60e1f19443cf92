#include "sample/TempNames.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> g_counter{0};

constexpr std::string_view marker = ".tmp-";

/// Whether the process `pid` runs (on this host).
bool process_runs(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

/// The process id of a temporary file of `host`, or 0 when `name` is not one.
long owner_of(std::string_view name, const std::string& host) {
    if (name.size() < 2 || name.front() != '.') return 0;
    const std::size_t at = name.rfind(marker);
    if (at == std::string_view::npos) return 0;
    std::string_view rest = name.substr(at + marker.size());  // HOST-PID-N
    const std::size_t last = rest.rfind('-');
    if (last == std::string_view::npos) return 0;
    const std::size_t before = rest.rfind('-', last - 1);
    if (before == std::string_view::npos || last == 0) return 0;
    if (rest.substr(0, before) != host) return 0;
    const std::string pid(rest.substr(before + 1, last - before - 1));
    const std::string_view count = rest.substr(last + 1);
    const auto digits = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digits(pid) || !digits(count) || pid.size() > 9) return 0;
    return std::strtol(pid.c_str(), nullptr, 10);
}

}  // namespace

std::string host_name_for_files() {
    char buf[256] = {};
    std::string host = ::gethostname(buf, sizeof buf - 1) == 0 ? buf : "";
    for (char& c : host)
        if (c == '/' || c == '-') c = '_';
    return host.empty() ? "host" : host;
}

std::string temporary_name_for(const std::string& base) {
    static const std::string host = host_name_for_files();
    return "." + base + std::string(marker) + host + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(g_counter++);
}

int remove_stale_temporaries(const std::string& folder) {
    const std::string dir = folder.empty() ? "." : folder;
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return 0;
    const std::string host = host_name_for_files();
    int removed = 0;
    while (const dirent* e = ::readdir(d)) {
        const long pid = owner_of(e->d_name, host);
        if (pid <= 0 || pid == ::getpid() || process_runs(pid)) continue;
        const std::string path = dir + "/" + e->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0) ++removed;
    }
    ::closedir(d);
    return removed;
}
