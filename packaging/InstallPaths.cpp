#include "packaging/InstallPaths.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

/// `path` with symbolic links and "." and ".." resolved as far as it exists.
fs::path resolved(const fs::path& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(path, ec);
    return ec ? path.lexically_normal() : p;
}

bool is_file(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

/// Whether `path` lies inside `folder`, compared name by name (so /b/build-x is not inside /b/build).
bool lies_inside(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty()) continue;  // a trailing separator
        if (p == path.end() || *p != *f) return false;
    }
    return true;
}

/// The installation prefix of a program in `program_dir`, or empty when that folder does not end in
/// `bin_dir`.
fs::path prefix_of(const fs::path& program_dir, const fs::path& bin_dir) {
    fs::path prefix = program_dir;
    std::vector<fs::path> parts(bin_dir.begin(), bin_dir.end());
    parts.erase(std::remove(parts.begin(), parts.end(), fs::path()), parts.end());
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        if (prefix.filename() != *part) return {};
        prefix = prefix.parent_path();
    }
    return prefix;
}

}  // namespace

InstallLayout configured_layout() {
    return InstallLayout{VELMORA_INSTALL_BINDIR, VELMORA_INSTALL_DATADIR, VELMORA_BUILD_DIR,
                         VELMORA_SOURCE_EXAMPLES_DIR};
}

fs::path current_executable() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : p;
}

fs::path find_example_run(const fs::path& executable, const InstallLayout& layout) {
    if (executable.empty()) return {};
    const fs::path program = resolved(executable);
    const fs::path name = "example_run.txt";

    fs::path data_dir;
    if (layout.data_dir.is_absolute()) {
        data_dir = layout.data_dir;
    } else if (layout.bin_dir.is_absolute()) {
        // The programs' folder was set apart from the prefix, so the prefix cannot be told from it.
    } else if (const fs::path prefix = prefix_of(program.parent_path(), layout.bin_dir); !prefix.empty()) {
        data_dir = prefix / layout.data_dir;
    }
    if (!data_dir.empty() && is_file(data_dir / name)) return data_dir / name;

    if (!layout.build_dir.empty() && lies_inside(program, resolved(layout.build_dir)) &&
        is_file(layout.source_examples_dir / name))
        return layout.source_examples_dir / name;
    return {};
}
