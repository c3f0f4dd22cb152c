// Every test binary runs with a QCoreApplication and private XDG folders, never the user's own.

#include <QCoreApplication>
#include <QTemporaryDir>

#include "TempEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    orvanta::test::usePrivateXdgFolders(home);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
