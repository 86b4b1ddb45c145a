#include "app/runguard.h"

#include <gtest/gtest.h>

TEST(RunGuardTest, KeyHashIsSha1OfKeyAndSalt) {
    // sha1("abc") and sha1("") are the standard test vectors.
    EXPECT_EQ(RunGuard::generateKeyHash(QStringLiteral("a"), QStringLiteral("bc")),
              QStringLiteral("a9993e364706816aba3e25717850c26c9cd0d89d"));
    EXPECT_EQ(RunGuard::generateKeyHash(QString(), QString()),
              QStringLiteral("da39a3ee5e6b4b0d3255bfef95601890afd80709"));
    EXPECT_EQ(RunGuard::generateKeyHash(QStringLiteral("parlona_text2speech"), QStringLiteral("_memLockKey"))
                  .size(),
              40);
}

TEST(RunGuardTest, OneHolderAtATimeWithinAProcess) {
    const QString key = QStringLiteral("parlona_runguard_unit_test");
    RunGuard first(key);
    ASSERT_TRUE(first.tryToRun());
    {
        RunGuard second(key);
        EXPECT_FALSE(second.tryToRun());
    }
    // The failed second guard must not have released the first one's segment.
    RunGuard third(key);
    EXPECT_FALSE(third.tryToRun());
}

TEST(RunGuardTest, ReleasedOnDestruction) {
    const QString key = QStringLiteral("parlona_runguard_release_test");
    {
        RunGuard first(key);
        ASSERT_TRUE(first.tryToRun());
    }
    RunGuard next(key);
    EXPECT_TRUE(next.tryToRun());
}
