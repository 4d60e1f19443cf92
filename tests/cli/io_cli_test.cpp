// velmora-cli's inputs and outputs: standard input and FIFOs read once, inputs without bound refused,
// outputs that collide, escape the folder or are not regular files, the folder's lock and what killed runs
// leave behind.

#include "sample/FolderLock.h"
#include "sample/TempNames.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ResultText.h"

#include <chrono>
#include <sys/stat.h>
#include <thread>

using clitest::files_in;
using clitest::run_cli;
using testutil::small_run;

namespace {

/// The files of `a` and `b` that differ, but for the places that name the input: posterior_k.txt from its
/// second line, and posterior_k.tsv and runs.tsv not at all.
std::vector<std::string> differing(const std::string& a, const std::string& b) {
    std::vector<std::string> out;
    if (files_in(a) != files_in(b)) return {"(the files themselves)"};
    for (const std::string& name : files_in(a)) {
        if (name == "posterior_k.tsv" || name == "runs.tsv") continue;
        std::string x = testutil::read_text(a + "/" + name);
        std::string y = testutil::read_text(b + "/" + name);
        if (name == "posterior_k.txt") {
            x = x.substr(x.find('\n'));
            y = y.substr(y.find('\n'));
        }
        if (x != y) out.push_back(name);
    }
    return out;
}

}  // namespace

TEST(CliInput, StandardInputAndAFifoAreReadOnceAndGiveWhatTheFileGives) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    ASSERT_EQ(::mkfifo(dir.file("run.fifo").c_str(), 0600), 0);
    for (const char* out : {"file", "stdin", "fifo"}) std::filesystem::create_directories(dir.path() / out);
    ASSERT_EQ(run_cli(dir, "analyze run.txt --burn-in 0 --out-dir file").status, 0);
    const clitest::Result piped = run_cli(dir, "analyze - --burn-in 0 --out-dir stdin", "cat run.txt | ");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(testutil::read_text(dir.file("stdin/posterior_k.txt")).substr(0, 3), "-\r\n");
    EXPECT_EQ(differing(dir.file("file"), dir.file("stdin")), std::vector<std::string>{});
    const clitest::Result fifo =
        run_cli(dir, "analyze run.fifo --burn-in 0 --out-dir fifo", "(cat run.txt > run.fifo &); ");
    EXPECT_EQ(fifo.status, 0) << fifo.err;
    EXPECT_EQ(differing(dir.file("file"), dir.file("fifo")), std::vector<std::string>{});
    // Standard input can be read once.
    EXPECT_EQ(run_cli(dir, "analyze - - --burn-in 0", "cat run.txt | ").status, 2);
    EXPECT_EQ(run_cli(dir, "analyze - --names - --burn-in 0", "cat run.txt | ").status, 2);
}

TEST(CliInput, InputsWithoutBoundAreRefusedAtOnce) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    const clitest::Result zero = run_cli(dir, "analyze /dev/zero");
    EXPECT_EQ(zero.status, 1);
    EXPECT_EQ(zero.err,
              "velmora-cli: error: The result file /dev/zero cannot be loaded: line 1: the file is not text (it holds "
              "a NUL byte).\n");
    const clitest::Result names = run_cli(dir, "analyze run.txt --names /dev/zero");
    EXPECT_EQ(names.status, 1);
    EXPECT_EQ(names.err,
              "velmora-cli: error: The names file /dev/zero is not text: its byte 1 is a NUL byte. Nothing was "
              "written.\n");
    const clitest::Result endless = run_cli(dir, "analyze run.txt --names -", "yes | ");
    EXPECT_EQ(endless.status, 1);
    EXPECT_NE(endless.err.find("The names file standard input is longer than 262,144 bytes"), std::string::npos)
        << endless.err;
    EXPECT_EQ(files_in(dir.path().string()), std::vector<std::string>{"run.txt"});
}

TEST(CliInput, WarningsForMoreRecordsThanDeclaredAndAUOfZero) {
    testutil::TempDir dir;
    std::string more = small_run;
    more.replace(more.find("3 4 3 10"), 8, "3 4 2 10");
    std::string u0 = small_run;
    u0.replace(u0.find("3 4 3 10 1 1"), 12, "3 4 3 10 0 1");
    testutil::write_text(dir.file("more.txt"), more);
    testutil::write_text(dir.file("u0.txt"), u0);
    const clitest::Result m = run_cli(dir, "analyze more.txt --burn-in 0 --no-tree");
    EXPECT_EQ(m.status, 0);
    EXPECT_EQ(m.err,
              "velmora-cli: warning: more.txt: the file goes on after the 2 records its header declares; what follows "
              "was not read.\n");
    const clitest::Result u = run_cli(dir, "analyze u0.txt --burn-in 0 --no-tree");
    EXPECT_EQ(u.status, 0);
    EXPECT_EQ(u.err,
              "velmora-cli: warning: u0.txt: the header's U is 0; U must be above 0 for the prior of k to be a "
              "distribution over 1..Kmax, so the Bayes factor of k = 1 against k > 1 means nothing here.\n");
}

TEST(CliOutput, OutputsOfOneNameOrOutsideTheFolderAreUsageErrors) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"--pairwise same.txt --tree same.txt", "--pairwise same.txt and --tree same.txt are the same file"},
        {"--posterior psm.tsv", "--posterior psm.tsv and the tidy file psm.tsv are the same file"},
        {"--posterior ../x", "--posterior ../x is not a name inside the output folder"},
        {"--trajectory /tmp/t.txt", "--trajectory /tmp/t.txt is not a name inside the output folder"},
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        testutil::write_text(dir.file("run.txt"), small_run);
        const clitest::Result r = run_cli(dir, std::string("analyze run.txt --burn-in 0 --out-dir out ") + c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.err, std::string("velmora-cli: the outputs cannot be written as named: ") + c.message +
                             "\nTry 'velmora-cli --help'.\n");
        EXPECT_EQ(files_in(dir.path().string()), std::vector<std::string>{"run.txt"});
    }
}

TEST(CliOutput, AnOutputThatIsNotARegularFileIsLeftAloneAndTheFailureIsAnError) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    std::filesystem::create_directories(dir.path() / "out" / "folder");
    ASSERT_EQ(::mkfifo(dir.file("out/fifo").c_str(), 0600), 0);
    const clitest::Result r =
        run_cli(dir, "analyze run.txt --burn-in 0 --out-dir out --trajectory fifo --tree folder --no-estimate");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("velmora-cli: error: Cannot write the file out/fifo: it is a FIFO, not a file to replace"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("velmora-cli: error: Cannot write the file out/folder: it is a folder"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("out/fifo")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("out/folder")));
}

TEST(CliOutput, AFolderThatTakesNoFilesStopsBeforeAnyWork) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    const clitest::Result r = run_cli(dir, "analyze run.txt --out-dir /proc");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("velmora-cli: error: cannot write into the output folder /proc: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("; nothing was written.\n"), std::string::npos);
}

TEST(CliOutput, ABurnInThatLeavesNothingRemovesTheEarlierPosterior) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    ASSERT_EQ(run_cli(dir, "analyze run.txt --burn-in 0 --no-tree --format legacy").status, 0);
    const clitest::Result r = run_cli(dir, "analyze run.txt --burn-in 3 --no-tree --format legacy");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "velmora-cli: error: posterior_k.txt was not written: the burn-in 3 leaves no observation of the 3 "
              "stored; the file of an earlier burn-in was removed.\n");
    EXPECT_FALSE(testutil::exists(dir.file("posterior_k.txt")));
}

TEST(CliOutput, TheOutputFolderIsLockedAndTemporaryFilesOfKilledRunsAreRemoved) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    std::filesystem::create_directories(dir.path() / "out");
    const std::string stale = ".posterior_k.txt.tmp-" + host_name_for_files() + "-999999999-3";
    testutil::write_text(dir.file("out/" + stale), "half");
    // Another analysis holds the folder: this one waits, says so, and writes only once it is free.
    FolderLock other;
    ASSERT_EQ(other.try_lock(dir.file("out")), FolderLock::Result::locked);
    clitest::Result r;
    std::thread second([&] { r = run_cli(dir, "analyze run.txt --burn-in 0 --out-dir out"); });
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (testutil::read_text(clitest::stderr_path(dir)).find("waiting") == std::string::npos &&
           std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(files_in(dir.file("out")), std::vector<std::string>{stale});
    other.unlock();
    second.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "velmora-cli: waiting: another program is writing into the output folder out\n");
    EXPECT_FALSE(testutil::exists(dir.file("out/" + stale)));
    EXPECT_TRUE(testutil::exists(dir.file("out/posterior_k.txt")));
}
