// Feeds arbitrary bytes to the result reader twice: whole, and in pieces whose sizes the first byte picks
// (cut anywhere: inside records, numbers and CR LF). Both reads must give the same store, side file and
// report; nothing may crash, hang or read out of bounds, and every stored row must keep the row
// invariants.

#include "sample/Header.h"
#include "sample/ResultReader.h"
#include "sample/TextCursor.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

struct Read {
    MC_Sample store;
    std::string side;
    LoadReport report;
};

Read read(const char* begin, std::size_t size, std::size_t piece, bool strict) {
    Read r;
    std::ostringstream side;
    ResultReader reader("fuzz", ReadOptions{strict});
    reader.set_side_output(&side);
    for (std::size_t at = 0; at < size; at += piece) reader.feed(begin + at, std::min(piece, size - at));
    reader.finish();
    r.store = reader.take_records();
    r.side = side.str();
    r.report = reader.report();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t piece = 1 + (data[0] & 0x3F);
    const bool strict = (data[0] & 0x40) != 0;
    const char* begin = reinterpret_cast<const char*>(data + 1);
    --size;

    TextCursor cursor(begin, begin + size);
    RunHeader header;
    std::string why;
    const bool header_ok = parse_header(cursor, header, why) && check_header(header, why);

    const Read whole = read(begin, size, size == 0 ? 1 : size, strict);
    const Read pieces = read(begin, size, piece, strict);
    const MC_Sample& store = whole.store;
    if (store.get_n_samples() != pieces.store.get_n_samples() || whole.side != pieces.side ||
        whole.report.stop != pieces.report.stop || whole.report.message != pieces.report.message ||
        whole.report.not_clusterings.records != pieces.report.not_clusterings.records ||
        store.log_likelihoods() != pieces.store.log_likelihoods())
        std::abort();
    const std::size_t bytes = static_cast<std::size_t>(store.get_n_samples()) * store.stride();
    if (bytes > 0 && !std::equal(store.data(), store.data() + bytes, pieces.store.data())) std::abort();

    if (!header_ok && store.get_n_samples() != 0 && fault_of(whole.report.stop) != LoadFault::fatal) std::abort();
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
