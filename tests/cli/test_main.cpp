// The end-to-end tests serve sockets while tolvana-decode runs, which needs
// an application object; one lives for the whole test run.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
