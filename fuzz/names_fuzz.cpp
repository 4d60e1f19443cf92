// Feeds arbitrary bytes to the names reader, for a run of 1 to 8 individuals picked by the first byte.
// Nothing may crash; a file that reads must give one valid, distinct name per individual, and its names
// must make tidy fields and tree labels without trouble.

#include "tidy/Names.h"
#include "tidy/TidyText.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::int32_t n = 1 + data[0] % 8;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const NamesFile file = read_names(text, "fuzz", n);
    if (!file.ok()) {
        if (!file.names.empty() || file.error.rfind("fuzz line ", 0) != 0) std::abort();
        return 0;
    }
    if (file.names.size() != static_cast<std::size_t>(n)) std::abort();
    if (!file.groups.empty() && file.groups.size() != file.names.size()) std::abort();
    std::set<std::string> seen;
    for (const std::string& name : file.names) {
        if (name.empty() || name.find_first_of("\t\r\n") != std::string::npos || !seen.insert(name).second)
            std::abort();
        std::string field;
        append_tsv_field(field, name);
        if (newick_label(name).empty() || nexus_word(name).empty()) std::abort();
    }
    return 0;
}
