#include "sample/FolderLock.h"

#include "tests/support/TestUtil.h"

#include <atomic>
#include <filesystem>
#include <thread>

TEST(FolderLock, OneHolderAtATimeAndAWaiterIsToldItWaits) {
    testutil::TempDir dir;
    FolderLock first;
    FolderLock second;
    ASSERT_EQ(first.try_lock(dir.path().string()), FolderLock::Result::locked);
    EXPECT_EQ(second.try_lock(dir.path().string()), FolderLock::Result::busy);
    // lock() waits: the holder lets go once the waiter says it waits.
    std::atomic<bool> told{false};
    std::thread holder([&] {
        while (!told) std::this_thread::yield();
        first.unlock();
    });
    EXPECT_TRUE(second.lock(dir.path().string(), [&] { told = true; }));
    holder.join();
    EXPECT_TRUE(told);
    EXPECT_TRUE(second.locked());
    EXPECT_EQ(first.try_lock(dir.file("missing")), FolderLock::Result::failed);
    EXPECT_FALSE(first.error().empty());
    second.unlock();
    EXPECT_EQ(first.try_lock(dir.path().string()), FolderLock::Result::locked);
}

TEST(FolderLock, AFolderThatTakesNoFilesIsToldAtOnce) {
    testutil::TempDir dir;
    std::string why;
    EXPECT_TRUE(folder_writable(dir.path().string(), why));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
    EXPECT_FALSE(folder_writable("/proc", why));  // not even its owner can create files there
    EXPECT_FALSE(why.empty());
}
