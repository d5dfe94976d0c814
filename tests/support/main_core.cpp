// Shared test entry for model and core tests: a QCoreApplication, so queued calls onto the
// main thread have an event loop to run in, but no display and no widget library.
#include <QCoreApplication>
#include <csignal>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
