// The evdev key source on recorded keyboard streams: FIFOs in a private folder stand for
// the device nodes, and the real shortcut monitor decides about what the source reports.

#include "EvdevKeySource.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "QtPrinters.h"
#include "UinputPaste.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvanta;
using orvanta::wayland::EvdevCapabilities;
using orvanta::wayland::EvdevKeySource;
using orvanta::wayland::UinputPaste;

namespace {

struct Key {
    int device; // index of the recorded keyboard
    int code;
    // 1 press, 0 release, 2 repeat; -1: the keyboard is unplugged; -2: the kernel dropped
    // events (its buffer overran)
    int value;
    int atMs;
};

// "[keyboard:]key<change><ms>" separated by spaces, as in "fn+0 fn-80 1:esc*250": + press,
// - release, * repeat; "gone" unplugs the keyboard, "drop" stands for dropped events.
std::vector<Key> keys(const QString &stream) {
    static const std::map<QString, int> codes = {
        {"fn", KEY_FN},           {"esc", KEY_ESC},         {"v", KEY_V},
        {"lctrl", KEY_LEFTCTRL},  {"rctrl", KEY_RIGHTCTRL}, {"lmeta", KEY_LEFTMETA},
        {"rmeta", KEY_RIGHTMETA}, {"lalt", KEY_LEFTALT}};
    std::vector<Key> parsed;
    for (QString token : stream.split(u' ', Qt::SkipEmptyParts)) {
        const int device = token.contains(u':') ? token.section(u':', 0, 0).toInt() : 0;
        token = token.section(u':', -1);
        const qsizetype at = token.indexOf(QRegularExpression("[-+*@]"));
        const QString name = token.left(at);
        const int value = name == "gone"   ? -1
                          : name == "drop" ? -2
                                           : QString("-+*").indexOf(token.at(at));
        parsed.push_back(
            {device, codes.count(name) ? codes.at(name) : 0, value, token.mid(at + 1).toInt()});
    }
    return parsed;
}

// A keyboard whose events the test writes into the node the source reads.
class RecordedKeyboard {
public:
    RecordedKeyboard(const QString &path)
        : m_path(path) {
        EXPECT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    ~RecordedKeyboard() { unplug(); }

    // Opens the writing end once the source opened the reading end.
    bool connect() {
        const QDeadlineTimer deadline(5000);
        while (m_fd < 0 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
        }
        return m_fd >= 0;
    }
    void send(int code, int value, int atMs) { send(EV_KEY, code, value, atMs); }
    void send(int type, int code, int value, int atMs) {
        input_event events[2] = {};
        for (input_event &event : events) {
            event.input_event_sec = 1000 + atMs / 1000;
            event.input_event_usec = (atMs % 1000) * 1000;
        }
        events[0].type = quint16(type);
        events[0].code = quint16(code);
        events[0].value = value;
        events[1].type = EV_SYN;
        events[1].code = SYN_REPORT;
        ASSERT_EQ(::write(m_fd, events, sizeof events), ssize_t(sizeof events));
        // Keyboards are read independently: wait until this one was read, so that the keys
        // of several keyboards are handled in the order written.
        int unread = 1;
        const QDeadlineTimer deadline(5000);
        while (ioctl(m_fd, FIONREAD, &unread) == 0 && unread > 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_EQ(unread, 0);
    }
    void unplug() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        ::unlink(QFile::encodeName(m_path).constData());
    }

private:
    QString m_path;
    int m_fd = -1;
};

EvdevCapabilities recordedKeyboard(int fd) {
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode))
        return {true, true, QStringLiteral("recorded")};
    return EvdevKeySource::probeDevice(fd);
}

struct Case {
    const char *name;
    bool recording;
    std::vector<Key> keys;
    QStringList fired; // before the closing ⌃⌘V that shows every key was handled
};

void PrintTo(const Case &c, std::ostream *out) {
    *out << c.name;
}

class EvdevKeySourceTest : public ::testing::TestWithParam<Case> {};

TEST_P(EvdevKeySourceTest, ReportsWhatWasTyped) {
    const Case &c = GetParam();
    QTemporaryDir nodes;
    std::vector<std::unique_ptr<RecordedKeyboard>> keyboards;
    const auto keyboard = [&](int index) -> RecordedKeyboard & {
        while (int(keyboards.size()) <= index) {
            keyboards.push_back(std::make_unique<RecordedKeyboard>(
                nodes.filePath(QStringLiteral("event%1").arg(keyboards.size()))));
        }
        return *keyboards[index];
    };
    keyboard(0);
    EvdevKeySource source(nodes.path(), recordedKeyboard);
    HotkeyManager manager(source);
    QStringList fired;
    manager.onStart = [&] { fired << "start"; };
    manager.onStop = [&] { fired << "stop"; };
    manager.onCancel = [&] { fired << "cancel"; };
    manager.onPasteLast = [&] { fired << "paste"; };
    manager.isRecordingActive = [&] { return c.recording; };
    ASSERT_TRUE(manager.start());
    ASSERT_TRUE(keyboard(0).connect());

    int last = 0;
    for (const Key &key : c.keys) {
        const bool plugged = key.device < int(keyboards.size());
        RecordedKeyboard &target = keyboard(key.device);
        if (!plugged) {
            ASSERT_TRUE(target.connect()) << "keyboard " << key.device << " not opened";
        }
        if (key.value == -1) {
            const int before = source.devices().size();
            target.unplug();
            const QDeadlineTimer deadline(5000);
            while (source.devices().size() == before && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            ASSERT_LT(source.devices().size(), before);
            continue;
        }
        if (key.value == -2)
            target.send(EV_SYN, SYN_DROPPED, 0, key.atMs);
        else
            target.send(key.code, key.value, key.atMs);
        last = key.atMs;
    }
    RecordedKeyboard &closing = keyboard(0);
    for (int code : {KEY_LEFTCTRL, KEY_LEFTMETA, KEY_V})
        closing.send(code, 1, last + 1000);
    const QDeadlineTimer deadline(5000);
    while (!fired.endsWith("paste") && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(fired, c.fired + QStringList{"paste"});
}

const std::vector<Case> cases = {
    {"FnTwiceWithinTheWindow", false, keys("fn+0 fn-80 fn+300 fn-380"), {"start"}},
    {"FnTwiceAtTheWindowsEdge", false, keys("fn+0 fn-80 fn+400 fn-480"), {"start"}},
    {"FnTwiceBeyondTheWindowThenAThirdPress",
     false,
     keys("fn+0 fn-80 fn+500 fn-580 fn+800 fn-880"),
     {"start"}},
    {"FnTwiceBeyondTheWindow", false, keys("fn+0 fn-80 fn+401 fn-480"), {}},
    {"HeldFnRepeatsAreNoPresses",
     false,
     keys("fn+0 fn*100 fn*150 fn-200 fn+350 fn-400"),
     {"start"}},
    {"HeldEscCancelsOnce", true, keys("esc+0 esc*250 esc*280 esc-300"), {"cancel"}},
    {"EscWhileIdlePasses", false, keys("esc+0 esc-50"), {}},
    {"ChordOfTheBinding", false, keys("rctrl+0 rmeta+10 v+20 v-30 rmeta-40 rctrl-50"), {"paste"}},
    {"ChordWithAnExtraModifier",
     false,
     keys("lctrl+0 lalt+5 lmeta+10 v+20 v-30 lmeta-40 lalt-45 lctrl-50"),
     {}},
    {"ChordAcrossTwoKeyboards",
     false,
     keys("lctrl+0 1:lmeta+10 1:v+20 1:v-30 1:lmeta-40 lctrl-50"),
     {"paste"}},
    {"PluggedInKeyboardStopsARecording",
     true,
     keys("fn+0 fn-50 1:fn+1000 1:fn-1050"),
     {"stop", "stop"}},
    {"ModifiersWhoseReleaseWasDroppedAreUp", false, keys("lctrl+0 lmeta+10 drop@20 v+30 v-40"), {}},
    {"KeyboardGoneWhileItsModifiersAreHeld",
     false,
     keys("1:lctrl+0 1:lmeta+10 1:gone@20 v+30 v-40"),
     {}},
    {"KeyboardGoneWhileFnIsHeldIsNoTap",
     false,
     keys("1:fn+0 1:gone@20 fn+300 fn-350 fn+600 fn-650"),
     {"start"}},
};

INSTANTIATE_TEST_SUITE_P(Streams, EvdevKeySourceTest, ::testing::ValuesIn(cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(EvdevKeySource, SeesFnOnlyWithAKeyboardThatReportsIt) {
    QTemporaryDir nodes;
    RecordedKeyboard plain(nodes.filePath("event0"));
    EvdevKeySource source(nodes.path(), [](int) { return EvdevCapabilities{true, false, {}}; });
    ASSERT_TRUE(source.start());
    EXPECT_EQ(source.visibleModifiers() & mask(ModifierKey::Fn), 0u);
    EXPECT_NE(source.visibleModifiers() & mask(ModifierKey::Control), 0u);
    // With fn unseen, the default double press of fn falls back to one that can fire.
    EXPECT_EQ(effectiveActivate(Keybindings::defaultActivate(), false, source.visibleModifiers()),
              Keybindings::fallbackActivate());
}

// Neither a node that is no keyboard nor the paste's own uinput keyboard is the user's.
TEST(EvdevKeySource, DoesNotStartWithoutAKeyboardOfTheUsers) {
    const EvdevKeySource::Probe probes[] = {
        &EvdevKeySource::probeDevice, [](int) {
            return EvdevCapabilities{true, true, QString::fromLatin1(UinputPaste::deviceName)};
        }};
    for (const EvdevKeySource::Probe &probe : probes) {
        QTemporaryDir nodes;
        RecordedKeyboard notAKeyboard(nodes.filePath("event0"));
        EvdevKeySource source(nodes.path(), probe);
        EXPECT_FALSE(source.start());
        EXPECT_FALSE(source.isStarted());
    }
}

} // namespace
