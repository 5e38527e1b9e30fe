#include "platform/named_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "support/test_support.h"
#include "unit/platform/scoped_env.h"

namespace kz::platform {
namespace {

using std::chrono::milliseconds;

class NamedLockTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScopedEnv env{"KZ_RUNTIME_DIR", dir.path()};
};

TEST_F(NamedLockTest, OtherProcessHoldsItUntilItDies) {
    test::Child holder({test::binPath("kztest-lock_holder"), "KZAVFLTDebugLog"});
    ASSERT_TRUE(holder.waitForLine("locked\n")) << holder.output();

    NamedLock lock("KZAVFLTDebugLog");
    EXPECT_FALSE(lock.lock(milliseconds(200)));
    holder.signal(SIGKILL);
    holder.wait();
    ASSERT_TRUE(lock.lock(milliseconds(5000)));
    lock.unlock();
}

TEST_F(NamedLockTest, ThreadsSharingOneLockExcludeEachOther) {
    NamedLock lock("shared");
    ASSERT_TRUE(lock.lock(milliseconds(0)));
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = lock.lock(milliseconds(50)); }).join();
    EXPECT_FALSE(otherGotIt);
    lock.unlock();

    std::atomic<int> inside{0}, overlaps{0};
    auto work = [&] {
        for (int i = 0; i < 300; ++i) {
            ASSERT_TRUE(lock.lock(milliseconds(10000)));
            if (inside.fetch_add(1) != 0) ++overlaps;
            std::this_thread::yield();
            inside.fetch_sub(1);
            lock.unlock();
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(overlaps.load(), 0);
}

// Released per hold, and only by the holding thread.
TEST_F(NamedLockTest, HoldingThreadTakesItAgainAndReleasesPerHold) {
    NamedLock lock("nested"), other("nested");
    ASSERT_TRUE(lock.lock(milliseconds(0)));
    ASSERT_TRUE(lock.lock(milliseconds(0)));
    lock.unlock();
    std::thread([&] { lock.unlock(); }).join();
    EXPECT_FALSE(other.lock(milliseconds(0)));
    lock.unlock();
    EXPECT_TRUE(other.lock(milliseconds(0)));
    other.unlock();
}

TEST_F(NamedLockTest, NameCannotLeaveTheRuntimeDirectory) {
    NamedLock lock("../a/b c");
    EXPECT_EQ(lock.filePath(), dir.file("_.._a_b_c.lock"));
    ASSERT_TRUE(lock.lock(milliseconds(0)));
    EXPECT_TRUE(test::exists(dir.file("_.._a_b_c.lock")));
    lock.unlock();
}

TEST_F(NamedLockTest, RemovedLockFileIsNotLockedTwice) {
    NamedLock early("gone");
    ASSERT_TRUE(early.lock(milliseconds(0)));
    early.unlock();
    ASSERT_EQ(unlink(early.filePath().c_str()), 0);
    NamedLock late("gone");
    ASSERT_TRUE(late.lock(milliseconds(0)));
    EXPECT_FALSE(early.lock(milliseconds(0)));  // must not lock its stale file
    late.unlock();
}

TEST(NamedLock, MissingRuntimeDirectoryFailsTheLock) {
    test::ScopedEnv env("KZ_RUNTIME_DIR", "/nonexistent/kz-runtime");
    NamedLock lock("x");
    EXPECT_FALSE(lock.lock(milliseconds(0)));
}

}  // namespace
}  // namespace kz::platform
