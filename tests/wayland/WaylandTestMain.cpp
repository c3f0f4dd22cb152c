// The Wayland tests talk to the compositor over connections of their own: no GUI needed.

#include "VirtualKeyboardPaste.h"
#include "WaylandConnection.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

orvanta::wayland::VirtualKeyboardPaste *userKeyboard = nullptr;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // A headless compositor has no keyboard, and a window without keyboard focus can own no
    // clipboard. The user's keyboard stands in for one for the whole run.
    auto connection = orvanta::wayland::WaylandConnection::open();
    auto keyboard =
        connection ? orvanta::wayland::VirtualKeyboardPaste::create(*connection) : nullptr;
    userKeyboard = keyboard.get();
    if (!keyboard) {
        std::fprintf(stderr, "no Wayland compositor with a virtual keyboard\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
