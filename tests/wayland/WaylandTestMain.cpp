// The Wayland tests talk to the compositor over connections of their own: no GUI needed.

#include "FakeInputPaste.h"
#include "VirtualKeyboardPaste.h"
#include "WaylandConnection.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

orvanta::wayland::PasteKeystroke *userKeyboard = nullptr;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // A headless compositor has no keyboard, and a window without keyboard focus can own no
    // clipboard. The user's keyboard stands in for one for the whole run.
    auto connection = orvanta::wayland::WaylandConnection::open();
    std::unique_ptr<orvanta::wayland::PasteKeystroke> keyboard;
    if (connection)
        keyboard = orvanta::wayland::VirtualKeyboardPaste::create(*connection);
    if (connection && !keyboard)
        keyboard = orvanta::wayland::FakeInputPaste::create(*connection);
    userKeyboard = keyboard.get();
    if (!keyboard) {
        std::fprintf(stderr, "no Wayland compositor that lets a client type\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
