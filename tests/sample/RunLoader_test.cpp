// Loading a result file in one pass: inputs that can be read only once, files that change while they are
// read, inputs that are not text, and what is computed from the bytes on the way.

#include "sample/RunLoader.h"

#include "sample/Sha256.h"
#include "tests/support/TestUtil.h"

#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string small = "head\n3 4 3 10 1 1\n0 -1 2\n2 1 2\n1 3\n1 -2 1\n3 1 2 3\n2 -3 2\n1 1\n2 2 3\n";

struct Loaded {
    bool header = false;
    LoadReport report;
    std::int32_t stored = 0;
    std::string side;
};

Loaded load(const std::string& path, LoadOptions options = {}) {
    RunLoader loader(path, options);
    Loaded l;
    l.header = loader.read_header();
    std::ostringstream side;
    if (l.header) loader.read_rest(&side);
    l.report = loader.report();
    l.stored = loader.take_store().get_n_samples();
    l.side = side.str();
    return l;
}

}  // namespace

TEST(RunLoader, CountsAndHashesTheBytesItReads) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small);
    LoadOptions digest;
    digest.digest = true;
    const Loaded l = load(dir.file("run.txt"), digest);
    ASSERT_TRUE(l.header);
    EXPECT_EQ(l.stored, 3);
    EXPECT_EQ(l.report.input.bytes, static_cast<std::int64_t>(small.size()));
    EXPECT_EQ(l.report.input.sha256, sha256_hex(small));
    EXPECT_TRUE(l.report.input.whole);
    EXPECT_EQ(load(dir.file("run.txt")).report.input.sha256, "");

    // After a bad record, the rest is read only to hash it when its records before are to be used.
    std::string bad = small + "3 -4 255\n" + std::string(3 << 20, ' ') + "\n";
    bad.replace(bad.find("3 4 3 10"), 8, "3 4 9 10");
    testutil::write_text(dir.file("bad.txt"), bad);
    const Loaded kept = load(dir.file("bad.txt"), digest);
    EXPECT_EQ(kept.report.stop, LoadStop::k_too_large);
    EXPECT_TRUE(kept.report.input.whole);
    EXPECT_EQ(kept.report.input.sha256, sha256_hex(testutil::read_text(dir.file("bad.txt"))));
    LoadOptions stop = digest;
    stop.keep_going = false;
    EXPECT_FALSE(load(dir.file("bad.txt"), stop).report.input.whole);
}

TEST(RunLoader, AFifoIsReadOnce) {
    testutil::TempDir dir;
    const std::string fifo = dir.file("run.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        for (std::size_t at = 0; at < small.size(); at += 7)  // in small pieces, as a running chain writes
            ASSERT_GT(::write(fd, small.data() + at, std::min<std::size_t>(7, small.size() - at)), 0);
        ::close(fd);
    });
    LoadOptions digest;
    digest.digest = true;
    const Loaded l = load(fifo, digest);
    writer.join();
    ASSERT_TRUE(l.header);
    EXPECT_EQ(l.stored, 3);
    EXPECT_EQ(l.report.stop, LoadStop::none);
    EXPECT_EQ(l.report.input.sha256, sha256_hex(small));
    EXPECT_EQ(l.side, "-1\t2\r\n-2\t1\r\n-3\t2\r\n");
}

TEST(RunLoader, AFileThatShrinksWhileReadIsAFatalFault) {
    testutil::TempDir dir;
    std::string text = "head\n3 4 100000 10 1 1\n";
    for (int i = 0; i < 100000; ++i) text += "0 -1 2\n2 1 2\n1 3\n";
    testutil::write_text(dir.file("run.txt"), text);
    RunLoader loader(dir.file("run.txt"));
    ASSERT_TRUE(loader.read_header());
    ASSERT_EQ(::truncate(dir.file("run.txt").c_str(), 1000), 0);  // another program rewrites it
    loader.read_rest(nullptr);
    EXPECT_EQ(loader.report().stop, LoadStop::changed);
    EXPECT_EQ(fault_of(loader.report().stop), LoadFault::fatal);
    EXPECT_NE(loader.report().message.find("it shrank from 1,700,023 to 65,536 bytes while it was read"),
              std::string::npos)
        << loader.report().message;
}

TEST(RunLoader, InputThatIsNotTextIsRefusedAtOnce) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("long.txt"), std::string(3 << 20, 'a'));
    const struct {
        std::string path;
        LoadStop stop;
        const char* message;
    } cases[] = {
        {"/dev/zero", LoadStop::not_text,
         "The result file /dev/zero cannot be loaded: line 1: the file is not text (it holds a NUL byte)."},
        {dir.file("long.txt"), LoadStop::not_text, "bytes hold no complete header; it is not a result file."},
        {dir.file("missing.txt"), LoadStop::not_found, "Cannot read the result file"},
        {dir.path().string(), LoadStop::not_found, "it is a directory"},
    };
    for (const auto& c : cases) {
        const Loaded l = load(c.path);
        EXPECT_FALSE(l.header) << c.path;
        EXPECT_EQ(l.report.stop, c.stop) << c.path;
        EXPECT_NE(l.report.message.find(c.message), std::string::npos) << l.report.message;
    }
}

TEST(RunLoader, NoticesFollowTheFaultRule) {
    const struct {
        LoadStop stop;
        bool keep_going;
        NoticeLevel level;
        const char* legacy;
    } cases[] = {
        {LoadStop::not_found, true, NoticeLevel::error, "FILE mc_datafile NOT found!"},
        {LoadStop::not_text, true, NoticeLevel::error, ""},
        {LoadStop::k_too_large, true, NoticeLevel::warning, "Nombre de parts > 255 !!!!"},
        {LoadStop::k_too_large, false, NoticeLevel::error, "Nombre de parts > 255 !!!!"},
        {LoadStop::bad_individual, false, NoticeLevel::error, ""},
        {LoadStop::cut_short, false, NoticeLevel::warning, ""},
    };
    for (const auto& c : cases) {
        LoadReport report;
        report.stop = c.stop;
        report.message = "the message";
        Notices notes;
        report_load("run.txt", report, 2, 3, c.keep_going, notes);
        ASSERT_EQ(notes.notices().size(), 1u);
        EXPECT_EQ(notes.notices()[0].level, c.level) << static_cast<int>(c.stop);
        EXPECT_EQ(notes.notices()[0].legacy, c.legacy);
        EXPECT_EQ(notes.notices()[0].text, "the message");
    }
}
