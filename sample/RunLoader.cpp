#include "sample/RunLoader.h"

#include "sample/ClusteringCheck.h"
#include "sample/CpuFeatures.h"
#include "sample/Header.h"
#include "sample/RunChecks.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t piece_bytes = 1 << 18;  // small enough to stay in the cache while parsed
constexpr std::size_t header_piece_bytes = 1 << 16;

/// Reads the input on a thread of its own, piece by piece into a few buffers, hashing each piece there
/// when asked, while the caller parses the pieces read before: the copy out of the system's cache and the
/// hash cost no time of the parser's when a second core is free. A buffer is read into again only once the
/// caller has given it back.
class InputPipeline {
  public:
    static constexpr std::size_t depth = 4;

    struct Piece {
        const char* data = nullptr;
        std::size_t size = 0;  ///< 0 at the end of the input or when reading failed
        bool failed = false;   ///< reading failed (ByteSource::error says why)
    };

    InputPipeline(ByteSource& source, Sha256* sha) : source_(source), sha_(sha) {
        for (auto& b : buffers_) b.resize(piece_bytes);
        try {
            worker_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread to spare: read in the caller's thread.
        }
    }
    ~InputPipeline() { stop(); }
    InputPipeline(const InputPipeline&) = delete;
    InputPipeline& operator=(const InputPipeline&) = delete;

    /// The next piece, once it is read.
    Piece next() {
        if (!worker_.joinable()) {
            read_piece(taken_ % depth);
            ++read_;
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return read_ > taken_; });
        const Slot& s = slots_[taken_ % depth];
        ++taken_;
        return Piece{buffers_[(taken_ - 1) % depth].data(), s.size, s.failed};
    }

    /// Gives back the buffer of the last piece.
    void release() {
        {
            const std::lock_guard lock(mutex_);
            ++released_;
        }
        changed_.notify_all();
    }

    /// Stops reading (a piece being read is finished first) and waits for the thread.
    void stop() {
        if (!worker_.joinable()) return;
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

  private:
    struct Slot {
        std::size_t size = 0;
        bool failed = false;
    };

    void read_piece(std::size_t index) {
        const std::int64_t n = source_.read(buffers_[index].data(), piece_bytes);
        slots_[index] = Slot{n > 0 ? static_cast<std::size_t>(n) : 0, n < 0};
        if (n > 0 && sha_ != nullptr) sha_->update(buffers_[index].data(), static_cast<std::size_t>(n));
    }

    void run() {
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return read_ - released_ < depth || stopping_; });
                if (stopping_) return;
            }
            // A pipe may stay open without bytes for long: look now and then whether to stop.
            while (!source_.wait_readable(100)) {
                const std::lock_guard lock(mutex_);
                if (stopping_) return;
            }
            const std::size_t index = read_ % depth;
            read_piece(index);
            const bool last = slots_[index].size == 0;
            {
                const std::lock_guard lock(mutex_);
                ++read_;
            }
            changed_.notify_all();
            if (last) return;
        }
    }

    ByteSource& source_;
    Sha256* sha_;
    std::array<std::vector<char>, depth> buffers_;
    std::array<Slot, depth> slots_{};
    std::size_t read_ = 0;      // pieces read
    std::size_t taken_ = 0;     // pieces handed to the caller
    std::size_t released_ = 0;  // buffers given back
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;
};

}  // namespace

RunLoader::RunLoader(std::string path, LoadOptions options)
    : path_(std::move(path)),
      name_(input_name(path_)),
      options_(options),
      reader_(name_, ReadOptions{options.strict}) {}

bool RunLoader::read_header() {
    if (!source_.open(path_)) {
        report_.stop = LoadStop::not_found;
        report_.message = "Cannot read the result file " + name_ + ": " + source_.error() + ".";
        return false;
    }
    reader_.set_size_hint(source_.size_hint());
    std::vector<char> piece(header_piece_bytes);
    bool at_end = false;
    while (!reader_.header_read() && !reader_.ended()) {
        const std::int64_t n = source_.read(piece.data(), piece.size());
        if (n < 0) {
            report_.stop = LoadStop::not_found;
            report_.message = "Cannot read the result file " + name_ + ": " + source_.error() + ".";
            return false;
        }
        if (n == 0) {
            reader_.finish();
            at_end = true;
            break;
        }
        if (options_.digest) sha_.update(piece.data(), static_cast<std::size_t>(n));
        reader_.feed(piece.data(), static_cast<std::size_t>(n));
    }
    update_report(at_end);
    return reader_.header_read();
}

void RunLoader::read_rest(std::ostream* side, const Progress* progress) {
    reader_.set_side_output(side);
    if (!reader_.header_read()) return;
    bool at_end = reader_.ended() && report_.input.whole;
    bool failed = false;
    const int parts = options_.threads > 0 ? options_.threads : available_cores();
    const std::int64_t left = source_.size_hint() - source_.bytes_read();
    const std::int64_t pieces =
        std::min<std::int64_t>({parts, 16, left / std::max<std::int64_t>(options_.piece_bytes, 1)});
    if (!at_end && !reader_.ended() && pieces > 1 && source_.regular() && !options_.digest)
        failed = !read_in_parallel(static_cast<int>(pieces), progress);
    if (!at_end && !failed) {
        InputPipeline pipe(source_, options_.digest ? &sha_ : nullptr);
        for (;;) {
            if (reader_.ended()) {
                const bool read_on = options_.keep_going && fault_of(reader_.report().stop) == LoadFault::bad_record;
                if (!read_on) break;
            }
            const InputPipeline::Piece piece = pipe.next();
            if (piece.size == 0) {
                failed = piece.failed;
                at_end = !failed;
                break;
            }
            reader_.feed(piece.data, piece.size);
            pipe.release();
            // The bytes parsed: the reading thread is ahead, and its count is its own.
            if (progress != nullptr) progress->step(reader_.bytes(), source_.size_hint());
        }
    }
    if (failed) {
        update_report(false);
        report_.stop = LoadStop::not_found;
        report_.message = "Cannot read the result file " + name_ + ": " + source_.error() + ".";
        return;
    }
    if (at_end && source_.shrank()) {
        update_report(false);
        report_.stop = LoadStop::changed;
        report_.line = 0;
        report_.message = "The result file " + name_ + " cannot be loaded: it shrank from " +
                          grouped_digits(source_.size_hint()) + " to " + grouped_digits(source_.bytes_read()) +
                          " bytes while it was read (is another program writing it?).";
        return;
    }
    if (at_end) reader_.finish();
    update_report(at_end);
}

void RunLoader::update_report(bool at_end) {
    report_ = reader_.report();
    report_.records_end = reader_.records_end();
    report_.records_end_line = reader_.records_end_line();
    report_.input.bytes = source_.bytes_read();
    report_.input.whole = at_end;
    if (options_.digest && at_end) {
        Sha256 copy = sha_;
        report_.input.sha256 = copy.finish_hex();
    }
}

void report_load(const std::string& name, const LoadReport& report, std::int64_t records, std::int32_t n_indivs,
                 bool keep_going, Notices& notes) {
    const LoadFault fault = fault_of(report.stop);
    if (fault == LoadFault::fatal || (fault == LoadFault::bad_record && !keep_going)) {
        const char* legacy = report.stop == LoadStop::not_found     ? "FILE mc_datafile NOT found!"
                             : report.stop == LoadStop::k_too_large ? "Nombre de parts > 255 !!!!"
                                                                    : "";
        notes.error(legacy, report.message);
        return;
    }
    if (fault != LoadFault::none)
        notes.report(report.stop == LoadStop::k_too_large ? "Nombre de parts > 255 !!!!" : "", report.message);
    const std::string clustering = clustering_faults_text(name, report.not_clusterings, records, n_indivs);
    if (!clustering.empty()) notes.report("", clustering);
    if (report.goes_on)
        notes.report("", name + ": the file goes on after the " + grouped_digits(records) +
                             " records its header declares; what follows was not read.");
}

HeaderStatus read_result_header(const std::string& path, RunHeader& header, Notices& notes) {
    LoadOptions options;
    options.digest = false;
    RunLoader loader(path, options);
    if (loader.read_header()) {
        header = loader.header();
        return HeaderStatus::ok;
    }
    const LoadReport& report = loader.report();
    if (report.stop == LoadStop::not_found) {
        notes.report("FILE mc_datafile NOT found!", report.message);
        return HeaderStatus::not_found;
    }
    std::string message = report.message;
    const std::string loaded = " cannot be loaded: ";
    if (const std::size_t at = message.find(loaded); at != std::string::npos)
        message.replace(at, loaded.size(), " cannot be opened: ");
    notes.report("", message);
    return HeaderStatus::invalid;
}

HeaderStatus read_result_header(const std::string& path, RunState& run, Notices& notes) {
    RunHeader h = run.header;
    const HeaderStatus status = read_result_header(path, h, notes);
    if (status == HeaderStatus::ok) run.header = h;
    return status;
}
