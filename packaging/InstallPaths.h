#pragma once

#include <filesystem>

/// Where an installed Velmora keeps the files it ships beside its programs, relative to the installation
/// prefix, and where a program run from its build folder finds them in the source tree instead.
struct InstallLayout {
    /// Folder of the programs under the prefix ("bin"); may be absolute.
    std::filesystem::path bin_dir;
    /// Folder of Velmora's data under the prefix ("share/velmora"); may be absolute.
    std::filesystem::path data_dir;
    /// The build folder; empty when the source tree is not to be looked at.
    std::filesystem::path build_dir;
    /// The source tree's examples/ folder.
    std::filesystem::path source_examples_dir;
};

/// The layout this build was configured with (CMAKE_INSTALL_BINDIR, CMAKE_INSTALL_DATADIR/velmora, the
/// build folder and the source's examples/).
InstallLayout configured_layout();

/// The path of the running program (/proc/self/exe); empty when it cannot be read.
std::filesystem::path current_executable();

/// The bundled example run `example_run.txt` for the program at `executable` (symbolic links followed):
/// - `PREFIX/DATA_DIR/example_run.txt`, where PREFIX is the folder that holds the program's folder
///   BIN_DIR (`/usr/bin/velmora` gives `/usr/share/velmora/example_run.txt`); a program whose folder
///   does not end in BIN_DIR has no installed example;
/// - else, only for a program inside the build folder, `SOURCE_EXAMPLES_DIR/example_run.txt`, so an
///   installed program never reads a source tree.
/// Only a regular file counts. Empty when there is none.
std::filesystem::path find_example_run(const std::filesystem::path& executable,
                                       const InstallLayout& layout = configured_layout());
