#include "tests/support/test_environment.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests run with a live application object so that event loops, timers and posted calls work.
int main(int argc, char** argv) {
    setHeadlessTestEnvironment();
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
