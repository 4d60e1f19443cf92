#include "tidy/Psm.h"

#include "coassign/PairCounts.h"
#include "sample/OutputFile.h"
#include "tidy/TidyText.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

namespace {

/// Room for one cell's text: "%.6g" of a value in [0, 1] takes at most 11 characters ("1.23457e-05").
constexpr std::size_t cell_room = 16;

/// Room for text that grows without being cleared: every byte is written before it is read.
class TextRoom {
  public:
    char* reserve(std::size_t bytes) {
        if (bytes > size_) {
            data_ = std::make_unique_for_overwrite<char[]>(bytes);
            size_ = bytes;
        }
        return data_.get();
    }
    const char* data() const { return data_.get(); }

  private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
};

/// Formats rows of the matrix. Counts are gathered a block of rows at a time, so that the upper half of a
/// row, which the count triangle keeps one cell per later row, is read in runs of a block's width.
class PsmRows {
  public:
    PsmRows(const Marginal& marginal, const KList& k_list, const std::vector<std::string>& names)
        : marginal_(marginal), k_list_(k_list), n_(static_cast<std::int32_t>(names.size())) {
        const Marginal::PairCountView t = marginal.pair_counts(k_list);
        cells_ = t.cells;
        total_ = t.total;
        for (const std::string& name : names) {
            std::string field;
            append_tsv_field(field, name);
            fields_.push_back(std::move(field));
        }
        // When the count triangle has more cells than there are counts, each count's text is made once:
        // cell_room bytes a count, its length in the last byte.
        const auto n_cells = static_cast<std::size_t>(n_) * static_cast<std::size_t>(std::max(n_ - 1, 0)) / 2;
        if (!cells_.empty() && total_ < (std::int64_t{1} << 22) && static_cast<std::size_t>(total_) < n_cells) {
            texts_.assign(static_cast<std::size_t>(total_ + 1) * cell_room, '\0');
            for (std::int64_t c = 0; c <= total_; ++c) {
                char* slot = texts_.data() + static_cast<std::size_t>(c) * cell_room;
                const auto res = std::to_chars(slot, slot + cell_room - 1, value(c), std::chars_format::general, 6);
                slot[cell_room - 1] = static_cast<char>(res.ptr - slot);
            }
        }
    }

    /// Rows per block: about 1 MB of text, so that a block's text and counts stay in a core's cache, but
    /// at least 16 rows, so that gathering a block reads whole cache lines of the triangle.
    std::int32_t block_rows() const {
        const std::size_t row_bytes = static_cast<std::size_t>(n_) * 10 + 16;
        return static_cast<std::int32_t>(std::clamp<std::size_t>((std::size_t{1} << 20) / row_bytes, 16, 64));
    }
    std::int32_t n() const { return n_; }
    /// Pair counts on request (pair_prob) are not safe from several threads.
    bool counts_on_request() const { return cells_.empty(); }

    /// Writes the text of rows first..last - 1 (from 1) into `out`, grown as needed, and returns its
    /// length; `counts` is working room.
    std::size_t format(std::int32_t first, std::int32_t last, TextRoom& out, std::vector<std::uint32_t>& counts) const {
        const auto n = static_cast<std::size_t>(n_);
        std::size_t bound = 0;
        for (std::int32_t i = first; i < last; ++i)
            bound += fields_[static_cast<std::size_t>(i - 1)].size() + n * (cell_room + 1) + 1;
        char* const begin = out.reserve(bound);
        if (!cells_.empty()) gather(first, last, counts);
        char* p = begin;
        for (std::int32_t i = first; i < last; ++i) {
            const std::string& field = fields_[static_cast<std::size_t>(i - 1)];
            std::memcpy(p, field.data(), field.size());
            p += field.size();
            if (cells_.empty()) {
                for (std::int32_t j = 1; j <= n_; ++j) {
                    *p++ = '\t';
                    p = j == i ? put_one(p) : put(p, marginal_.pair_prob(std::min(i, j), std::max(i, j), k_list_));
                }
            } else {
                const std::uint32_t* row = counts.data() + static_cast<std::size_t>(i - first) * n;
                p = put_counts(p, row, static_cast<std::size_t>(i - 1));
                *p++ = '\t';
                p = put_one(p);
                p = put_counts(p, row + i, n - static_cast<std::size_t>(i));
            }
            *p++ = '\n';
        }
        return static_cast<std::size_t>(p - begin);
    }

  private:
    double value(std::int64_t count) const { return static_cast<double>(count) / static_cast<double>(total_); }

    static char* put(char* p, double v) {
        return std::to_chars(p, p + cell_room, v, std::chars_format::general, 6).ptr;
    }
    static char* put_one(char* p) {
        *p = '1';
        return p + 1;
    }
    /// A tab and the text of each of `len` counts.
    char* put_counts(char* p, const std::uint32_t* counts, std::size_t len) const {
        if (texts_.empty()) {
            for (std::size_t j = 0; j < len; ++j) {
                *p++ = '\t';
                p = put(p, value(counts[j]));
            }
            return p;
        }
        for (std::size_t j = 0; j < len; ++j) {
            *p++ = '\t';
            const char* text = texts_.data() + static_cast<std::size_t>(counts[j]) * cell_room;
            std::memcpy(p, text, cell_room);
            p += static_cast<unsigned char>(text[cell_room - 1]);
        }
        return p;
    }

    /// counts[(i - first) * n + j - 1] = count of the pair (i, j) for the rows i of the block, j != i.
    void gather(std::int32_t first, std::int32_t last, std::vector<std::uint32_t>& counts) const {
        const auto n = static_cast<std::size_t>(n_);
        counts.resize(static_cast<std::size_t>(last - first) * n);
        cells_.visit([&](auto cells) {
            for (std::int32_t i = first; i < last; ++i) {
                // (j, i) for j < i: the cells of i, in a run.
                if (i > 1)
                    std::copy_n(cells.data() + pair_index(1, i), i - 1,
                                counts.data() + static_cast<std::size_t>(i - first) * n);
            }
            // (i, j) for j > i: the cells of each later j hold the block's rows side by side.
            for (std::int32_t j = first + 1; j <= n_; ++j) {
                const std::int32_t upto = std::min(last, j);  // rows i < j of the block
                const auto* src = cells.data() + pair_index(first, j);
                for (std::int32_t i = first; i < upto; ++i)
                    counts[static_cast<std::size_t>(i - first) * n + static_cast<std::size_t>(j - 1)] = src[i - first];
            }
        });
    }

    const Marginal& marginal_;
    const KList& k_list_;
    std::int32_t n_;
    PairCells cells_;
    std::int64_t total_ = 0;
    std::vector<std::string> fields_;
    std::vector<char> texts_;
};

}  // namespace

void print_psm_tsv(std::ostream& out, const Marginal& marginal, const KList& k_list,
                   const std::vector<std::string>& names, int threads, const Progress* progress) {
    const PsmRows rows(marginal, k_list, names);
    std::string head = "individual";
    for (const std::string& name : names) {
        head += '\t';
        append_tsv_field(head, name);
    }
    head += '\n';
    out.write(head.data(), static_cast<std::streamsize>(head.size()));

    const std::int32_t n = rows.n();
    const std::int32_t per_block = rows.block_rows();
    const std::int32_t blocks = (n + per_block - 1) / per_block;
    // With threads >= 2, threads - 1 workers format blocks while this thread writes the ones before.
    const int workers = rows.counts_on_request() ? 0 : std::clamp(threads - 1, 0, std::max(blocks, 1));
    struct Slot {
        TextRoom text;
        std::size_t length = 0;
        std::vector<std::uint32_t> counts;
    };
    const auto format_block = [&](std::int32_t b, Slot& slot) {
        const std::int32_t first = 1 + b * per_block;
        slot.length = rows.format(first, std::min(first + per_block, n + 1), slot.text, slot.counts);
    };
    std::int32_t rows_written = 0;
    const auto write_slot = [&](const Slot& slot) {
        out.write(slot.text.data(), static_cast<std::streamsize>(slot.length));
        rows_written = std::min(n, rows_written + per_block);
        if (progress != nullptr) progress->step(rows_written, n);
    };
    if (workers == 0) {
        Slot slot;
        for (std::int32_t b = 0; b < blocks; ++b) {
            format_block(b, slot);
            write_slot(slot);
        }
        return;
    }
    // Worker w formats blocks w, w + workers, ... into a ring of 2 x workers slots; block b may take its
    // slot once block b - 2 x workers, which held it before, is written. This thread writes the blocks in
    // order as they become ready.
    const auto ring = static_cast<std::int32_t>(2 * workers);
    std::vector<Slot> slots(static_cast<std::size_t>(ring));
    std::vector<std::int32_t> ready(static_cast<std::size_t>(ring), -1);  // by slot: the block it holds
    std::mutex mutex;
    std::condition_variable changed;
    std::int32_t written = 0;
    bool stop = false;
    std::exception_ptr failure;
    const auto work = [&](std::int32_t w) {
        try {
            for (std::int32_t b = w; b < blocks; b += workers) {
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return stop || written > b - ring; });
                    if (stop) return;
                }
                format_block(b, slots[static_cast<std::size_t>(b % ring)]);
                {
                    const std::lock_guard lock(mutex);
                    ready[static_cast<std::size_t>(b % ring)] = b;
                }
                changed.notify_all();
            }
        } catch (...) {
            const std::lock_guard lock(mutex);
            if (!failure) failure = std::current_exception();
            stop = true;
            changed.notify_all();
        }
    };
    {
        std::vector<std::jthread> team;
        // Stops and joins the workers however this block is left.
        struct Stop {
            std::mutex& mutex;
            std::condition_variable& changed;
            bool& stop;
            ~Stop() {
                {
                    const std::lock_guard lock(mutex);
                    stop = true;
                }
                changed.notify_all();
            }
        };
        const Stop stopper{mutex, changed, stop};
        for (int w = 0; w < workers; ++w) team.emplace_back(work, w);
        for (std::int32_t b = 0; b < blocks; ++b) {
            const Slot& slot = slots[static_cast<std::size_t>(b % ring)];
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || ready[static_cast<std::size_t>(b % ring)] == b; });
                if (stop) break;
            }
            write_slot(slot);
            {
                const std::lock_guard lock(mutex);
                written = b + 1;
            }
            changed.notify_all();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

bool write_psm_tsv(const std::string& path, const Marginal& marginal, const KList& k_list,
                   const std::vector<std::string>& names, Notices& notes, int threads, const Progress* progress) {
    return write_output_file(
        path, "", notes, [&](std::ostream& out) { print_psm_tsv(out, marginal, k_list, names, threads, progress); });
}
