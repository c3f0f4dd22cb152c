#pragma once

#include "ClipboardPaste.h"
#include "PasteKeystroke.h"

#include <QList>
#include <QString>

#include <memory>

typedef struct _XDisplay Display;

namespace orvanta::x11 {

// Types the paste keystroke through XTEST on the X display in DISPLAY, opened when first
// needed. Needs the X display of the window the text goes to: the focused one.
class XTestPaste final : public PasteKeystroke {
public:
    // The paste on an X display: the toolkit's clipboard, and this keystroke once the user
    // has let go of the modifiers; a text that cannot be typed gives the clipboard back.
    static std::unique_ptr<ClipboardPaste> inserter(const ClipboardPaste::Timing &timing = {});

    XTestPaste() = default;
    ~XTestPaste() override;
    XTestPaste(const XTestPaste &) = delete;
    XTestPaste &operator=(const XTestPaste &) = delete;

    // Types Ctrl+V (Ctrl+Shift+V) with exactly those modifiers: modifier keys still held on
    // the XTEST device are let go around it and pressed again after. False when it cannot be
    // typed (no display with XTEST, no Control or V key in the keyboard map).
    bool send(bool withShift) override;
    bool modifierHeld() override;
    // Whether the window with the input focus (or the top-level window it belongs to) is a
    // terminal emulator.
    bool focusIsTerminal();

    // Whether a window of this WM_CLASS name or class is a terminal emulator.
    static bool isTerminal(const QString &resourceName, const QString &resourceClass);

private:
    bool ensureDisplay();
    QList<int> keysHeldOnXTestDevice();

    Display *m_display = nullptr;
    bool m_displayFailed = false;
    QList<int> m_modifierKeyCodes;
    unsigned long m_xtestKeyboard = 0;
};

} // namespace orvanta::x11
