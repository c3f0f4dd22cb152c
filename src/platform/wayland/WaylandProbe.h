#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace orvanta::wayland {

// How the transcript reaches the focused window in this session.
enum class TextInsertionMechanism {
    // X11 clipboard and XTEST (on a Wayland session: XWayland windows only).
    X11,
    // A Wayland way to the clipboard (ClipboardWay) and to type (PasteKeystrokeProtocol).
    WaylandTyped,
    // A Wayland way to the clipboard only: the user presses the paste keys.
    WaylandClipboardOnly,
    // Neither: the transcript stays in the history.
    None,
};

// How the clipboard is reached on a Wayland session.
enum class ClipboardWay {
    None,
    DataControl, // ext or wlr data-control: wlroots compositors, KWin
    XWayland,    // the clipboard of our own XWayland windows, handed on by the compositor
};

// How the paste keystroke is typed on a Wayland session.
enum class PasteKeystrokeProtocol {
    None,
    VirtualKeyboard,     // zwp_virtual_keyboard_v1: wlroots compositors
    FakeInput,           // org_kde_kwin_fake_input: KWin
    RemoteDesktopPortal, // the RemoteDesktop portal's keyboard: GNOME, KDE
    Uinput,              // a keyboard device of our own through /dev/uinput
};

// What the session offers, as found when connecting.
struct SessionOffer {
    bool waylandCompositor = false;     // a Wayland connection of our own was made
    QList<QByteArray> waylandGlobals;   // interface names the compositor announced
    bool x11Display = false;            // an X display (XWayland on a Wayland session)
    bool remoteDesktopKeyboard = false; // the RemoteDesktop portal offers a keyboard
    bool uinputWritable = false;        // this process may make input devices
};

struct TextInsertionChoice {
    TextInsertionMechanism mechanism = TextInsertionMechanism::None;
    ClipboardWay clipboard = ClipboardWay::None;
    PasteKeystrokeProtocol keystroke = PasteKeystrokeProtocol::None;
    // One sentence for the log and the help page: why this mechanism.
    QString reason;
};

// Decides from what the session offers, never from the desktop's name. The portal comes
// after the compositor's own ways to type, as it asks the user; a uinput keyboard last, as
// it needs rights few users have and types through whatever layout the session uses.
TextInsertionChoice chooseTextInsertion(const SessionOffer &offer);
// Whether the compositor offers a protocol of its own to type with (the portal is then not
// asked).
bool offersKeystrokeProtocol(const SessionOffer &offer);

// The toolkit platform the application's windows use. A Wayland session with XWayland gets
// X11 windows whatever QT_QPA_PLATFORM says (`requested`, kept otherwise): only there can the
// floating bar be placed bottom-centre and kept above other windows without taking the
// focus from the window the text goes to. Empty: the toolkit's own choice.
QByteArray windowPlatform(bool waylandDisplay, bool x11Display, const QByteArray &requested);

} // namespace orvanta::wayland
