#include "outputs/WrittenRecord.h"

#include "tests/support/TestUtil.h"

#include <sstream>

namespace {

WrittenFile entry(const std::string& name, const std::string& checksum, std::uint64_t bytes = 1) {
    return WrittenFile{name, bytes, checksum, "a.txt", "burn-in 10", "2026-01-02T03:04:05Z"};
}

std::vector<std::string> names_of(const std::vector<WrittenFile>& files) {
    std::vector<std::string> out;
    for (const WrittenFile& f : files) out.push_back(f.name);
    return out;
}

}  // namespace

TEST(WrittenRecord, ChecksumIsFnv1a64OfTheBytes) {
    testutil::TempDir dir;
    const std::pair<const char*, const char*> known[] = {
        {"", "cbf29ce484222325"}, {"a", "af63dc4c8601ec8c"}, {"foobar", "85944171f73967e8"}};
    for (const auto& [text, sum] : known) {
        testutil::write_text(dir.file("f"), text);
        const auto got = file_checksum(dir.file("f"));
        ASSERT_TRUE(got) << text;
        EXPECT_EQ(got->first, std::string(text).size());
        EXPECT_EQ(got->second, sum) << text;
    }
    EXPECT_FALSE(file_checksum(dir.file("missing")));
}

TEST(WrittenRecord, OnlyFilesBeyondTheLegacySetAreRecorded) {
    const std::pair<const char*, bool> names[] = {{"cut.tsv", true},
                                                  {"clustering.tsv", true},
                                                  {"estimate.txt", true},
                                                  {"trace.tsv", true},
                                                  {"psm.tsv", true},
                                                  {"tree.nwk", true},
                                                  {"posterior_k.txt", false},
                                                  {"tree.txt", false},
                                                  {"_trajectories.txt", false},
                                                  {"pairwise_probs.txt", false},
                                                  {"notes.txt", false}};
    for (const auto& [name, recorded] : names) EXPECT_EQ(is_recorded_output(name), recorded) << name;
}

TEST(WrittenRecord, EachMomentRecordsItsFilesBeyondTheLegacySet) {
    using Names = std::vector<std::string>;
    EXPECT_EQ(recorded_outputs(OutputMoment::open),
              (Names{"trace.tsv", "posterior_k.tsv", "diagnostics.tsv", "runs.tsv", "posterior_k_runs.tsv"}));
    EXPECT_EQ(recorded_outputs(OutputMoment::tree),
              (Names{"psm.tsv", "tree_average.nwk", "tree.nwk", "tree.nex", "nodes.tsv"}));
    EXPECT_EQ(recorded_outputs(OutputMoment::estimate), (Names{"clustering.tsv", "estimate.txt", "membership.tsv"}));
    EXPECT_EQ(recorded_outputs(OutputMoment::cut), Names{"cut.tsv"});
    EXPECT_EQ(recorded_outputs(OutputMoment::save_trajectory), Names{});
}

TEST(WrittenRecord, PrintsAndReadsBackSkippingWhatIsNotARecordLine) {
    std::vector<WrittenFile> files{entry("cut.tsv", "00000000000000ff", 12), entry("estimate.txt", "abc", 0)};
    files[0].runs = "/runs/a b.txt; /runs/c\td.txt";
    std::ostringstream out;
    print_written_record(out, files);
    EXPECT_EQ(out.str(),
              "file\tbytes\tchecksum\truns\tsettings\twritten\n"
              "cut.tsv\t12\t00000000000000ff\t/runs/a b.txt; /runs/c d.txt\tburn-in 10\t2026-01-02T03:04:05Z\n"
              "estimate.txt\t0\tabc\ta.txt\tburn-in 10\t2026-01-02T03:04:05Z\n");

    std::istringstream in(out.str() + "junk\n" + "x\tnot a number\tc\tr\ts\tw\n" + "\t1\tc\tr\ts\tw\n" +
                          "psm.tsv\t99999999999999999999999\tc\tr\ts\tw\n" + "nodes.tsv\t5\tc\tr\ts\tw\r\n");
    const std::vector<WrittenFile> back = parse_written_record(in);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].runs, "/runs/a b.txt; /runs/c d.txt");
    EXPECT_EQ(back[0].bytes, 12u);
    EXPECT_EQ(back[1].name, "estimate.txt");
    EXPECT_EQ(back[2].name, "nodes.tsv");
    EXPECT_EQ(back[2].written, "w");
}

TEST(WrittenRecord, EntriesAreReplacedByNameAndTakenOutByNameAndChecksum) {
    const std::vector<WrittenFile> record{entry("a", "1"), entry("b", "2"), entry("c", "3")};
    const std::vector<WrittenFile> added = with_written(record, {entry("b", "9"), entry("d", "4")});
    EXPECT_EQ(names_of(added), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(added[1].checksum, "9");

    const std::vector<WrittenFile> left = without_written(added, {entry("a", "1"), entry("b", "2"), entry("x", "0")});
    EXPECT_EQ(names_of(left), (std::vector<std::string>{"b", "c", "d"}));  // b was rewritten since
}

TEST(WrittenRecord, OnlyFilesStillAsWrittenAreRemoved) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    for (const char* name : {"same.tsv", "edited.tsv", "longer.tsv", "kept.tsv"})
        testutil::write_text(dir.file(name), "1\t2\n");
    const std::vector<WrittenFile> entries =
        describe_written(folder, {"same.tsv", "edited.tsv", "longer.tsv", "gone.tsv"}, "a.txt", "burn-in 10");
    ASSERT_EQ(names_of(entries), (std::vector<std::string>{"same.tsv", "edited.tsv", "longer.tsv"}));
    EXPECT_EQ(entries[0].bytes, 4u);
    EXPECT_EQ(entries[0].runs, "a.txt");
    EXPECT_EQ(entries[0].written.size(), 20u);

    testutil::write_text(dir.file("edited.tsv"), "1\t3\n");  // same size, other bytes
    testutil::write_text(dir.file("longer.tsv"), "1\t2\n3\n");
    std::vector<WrittenFile> all = entries;
    all.push_back(entry("gone.tsv", "0000000000000000"));
    EXPECT_EQ(remove_unchanged(folder, all), std::vector<std::string>{"same.tsv"});
    EXPECT_FALSE(testutil::exists(dir.file("same.tsv")));
    for (const char* name : {"edited.tsv", "longer.tsv", "kept.tsv"}) EXPECT_TRUE(testutil::exists(dir.file(name)));
}

TEST(WrittenRecord, TheRecordFileComesAndGoesWithItsEntries) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    EXPECT_TRUE(read_written_record(folder).empty());
    Notices notes;
    ASSERT_TRUE(write_written_record(folder, {entry("cut.tsv", "1")}, notes));
    EXPECT_EQ(names_of(read_written_record(folder)), std::vector<std::string>{"cut.tsv"});
    ASSERT_TRUE(write_written_record(folder, {}, notes));
    EXPECT_FALSE(testutil::exists(dir.file(written_record_name)));
    EXPECT_TRUE(notes.empty());
}

TEST(WrittenRecord, AnOpenRemovesWhatIsStillAsWrittenAndForgetsEveryEntry) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    for (const char* name : {"cut.tsv", "estimate.txt", "clustering.tsv", "posterior_k.txt"})
        testutil::write_text(dir.file(name), std::string("made for a.txt: ") + name);
    Notices notes;
    ASSERT_TRUE(
        add_to_written_record(folder, describe_written(folder, {"cut.tsv", "estimate.txt"}, "a.txt", "b 1"), notes));
    ASSERT_TRUE(add_to_written_record(folder, describe_written(folder, {"clustering.tsv"}, "a.txt", "b 1"), notes));
    EXPECT_EQ(names_of(read_written_record(folder)),
              (std::vector<std::string>{"cut.tsv", "estimate.txt", "clustering.tsv"}));
    testutil::write_text(dir.file("estimate.txt"), "the user's notes");

    EXPECT_EQ(clear_written(folder), (std::vector<std::string>{"cut.tsv", "clustering.tsv"}));
    EXPECT_TRUE(testutil::exists(dir.file("estimate.txt")));     // changed since: the user's now
    EXPECT_TRUE(testutil::exists(dir.file("posterior_k.txt")));  // never recorded
    EXPECT_FALSE(testutil::exists(dir.file(written_record_name)));
    EXPECT_TRUE(clear_written(folder).empty());
}

TEST(WrittenRecord, ACheckRemovesNothingAndItsClearingSparesFilesWrittenSince) {
    // An open checks the files on its worker and clears them only once accepted: one cancelled in between
    // leaves everything as it was; one accepted leaves what was written again meanwhile.
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    for (const char* name : {"cut.tsv", "clustering.tsv", "estimate.txt"})
        testutil::write_text(dir.file(name), std::string("made for a.txt: ") + name);
    Notices notes;
    ASSERT_TRUE(add_to_written_record(
        folder, describe_written(folder, {"cut.tsv", "clustering.tsv", "estimate.txt"}, "a.txt", "b 1"), notes));
    testutil::write_text(dir.file("estimate.txt"), "the user's notes");

    const WrittenCheck check = check_written(folder);
    EXPECT_EQ(names_of(check.unchanged), (std::vector<std::string>{"cut.tsv", "clustering.tsv"}));
    for (const char* name : {"cut.tsv", "clustering.tsv", "estimate.txt", written_record_name})
        EXPECT_TRUE(testutil::exists(dir.file(name))) << name;

    testutil::write_text(dir.file("clustering.tsv"), "written again, longer than before");
    EXPECT_EQ(clear_checked(folder, check), std::vector<std::string>{"cut.tsv"});
    EXPECT_TRUE(testutil::exists(dir.file("clustering.tsv")));
    EXPECT_TRUE(testutil::exists(dir.file("estimate.txt")));
    EXPECT_FALSE(testutil::exists(dir.file(written_record_name)));
}
