// The Wayland tests talk to the compositor over connections of their own: no GUI needed.

#include "WaylandTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

orvanta::test::WaylandUserKeyboard *userKeyboard = nullptr;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    orvanta::test::WaylandUserKeyboard keyboard;
    if (!keyboard.isOpen()) {
        std::fprintf(stderr, "no Wayland compositor that lets a client type\n");
        return 1;
    }
    userKeyboard = &keyboard;
    return RUN_ALL_TESTS();
}
