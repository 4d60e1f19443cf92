#include "sample/TempNames.h"

#include "tests/support/TestUtil.h"

TEST(TempNames, TemporaryFilesOfDeadProcessesOfThisHostAreRemoved) {
    testutil::TempDir dir;
    const std::string host = host_name_for_files();
    const std::string mine = temporary_name_for("out.txt");
    EXPECT_EQ(mine.rfind(".out.txt.tmp-" + host + "-" + std::to_string(::getpid()) + "-", 0), 0u) << mine;
    const std::vector<std::string> stale = {".out.txt.tmp-" + host + "-999999999-0",
                                            ".a-b.tmp-x.tmp-" + host + "-999999998-12"};
    const std::vector<std::string> kept = {mine,
                                           ".out.txt.tmp-" + host + "-1-0",  // a running process (init)
                                           ".out.txt.tmp-otherhost-999999999-0",
                                           ".out.txt.tmp-999999999-0",  // no host: not known to be ours
                                           "out.txt.tmp-" + host + "-999999999-0",
                                           "plain.txt"};
    for (const auto& names : {stale, kept})
        for (const std::string& name : names) testutil::write_text(dir.file(name), "x");
    EXPECT_EQ(remove_stale_temporaries(dir.path().string()), 2);
    for (const std::string& name : stale) EXPECT_FALSE(testutil::exists(dir.file(name))) << name;
    for (const std::string& name : kept) EXPECT_TRUE(testutil::exists(dir.file(name))) << name;
}
