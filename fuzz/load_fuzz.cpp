// Feeds arbitrary bytes to the header reader and the loader, then reads the store back through every
// accessor. Nothing may crash, hang, read out of bounds or store a row that breaks the row invariants.

#include "sample/Exceptions.h"
#include "sample/Header.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/TextCursor.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;

    TextCursor cursor(begin, end);
    RunHeader header;
    std::string why;
    const bool header_ok = parse_header(cursor, header, why) && check_header(header, why);

    MC_Sample store;
    Notices notes;
    try {
        store.fill_from_text(begin, end, "fuzz", "", notes);
    } catch (const Exceptions&) {
        // An index out of range: the records before it stay and must still be sound.
    }
    if (!header_ok && store.get_n_samples() != 0) std::abort();
    for (std::int32_t i = 0; i < store.get_n_samples(); ++i) {
        const auto row = store.get_sample(static_cast<std::uint32_t>(i));
        if (row.size() != store.stride()) std::abort();
        const int k = row[0];
        if (k < 1 || k > 254) std::abort();
        for (std::size_t x = 1; x < row.size(); ++x)
            if (row[x] > k) std::abort();
    }
    std::int64_t total = 0;
    for (const std::int64_t count : store.k_histogram(0)) total += count;
    if (total > store.get_n_samples()) std::abort();
    return 0;
}
