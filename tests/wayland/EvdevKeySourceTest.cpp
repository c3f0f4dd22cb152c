// The evdev key source on recorded keyboard streams (FIFOs in a private folder stand for the
// device nodes, the real shortcut monitor judges what it reports), and the uinput keystroke's.

#include "EvdevKeySource.h"
#include "HotkeyManager.h"
#include "QtPrinters.h"
#include "UinputPaste.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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

// A keyboard whose events the test writes into the node the source reads.
class RecordedKeyboard {
public:
    explicit RecordedKeyboard(const QString &path)
        : m_path(QFile::encodeName(path)) {
        EXPECT_EQ(mkfifo(m_path.constData(), 0600), 0);
    }
    ~RecordedKeyboard() { unplug(); }

    // Opens the writing end once the source opened the reading end.
    bool connect() {
        return QTest::qWaitFor(
            [this] { return (m_fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK)) >= 0; });
    }
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
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return ioctl(m_fd, FIONREAD, &unread) == 0 && unread == 0; }));
    }
    void unplug() {
        ::close(std::exchange(m_fd, -1));
        ::unlink(m_path.constData());
    }

private:
    QByteArray m_path;
    int m_fd = -1;
};

// A probe that finds every node to be a device with these capabilities.
EvdevKeySource::Probe reporting(EvdevCapabilities capabilities) {
    return [capabilities](int) { return capabilities; };
}

struct Case {
    const char *name;
    bool recording;
    // "[keyboard:]key<change><ms>", as in "fn+0 fn-80 1:v*250": + press, - release, * repeat;
    // a keyboard first named is plugged in; "gone@ms" unplugs it, "drop@ms" stands for the
    // kernel dropping events (its buffer overran).
    const char *stream;
    QStringList fired; // before the closing ⌃⌘V that shows every key was handled
};

void PrintTo(const Case &c, std::ostream *out) {
    *out << c.name;
}

class EvdevKeySourceTest : public ::testing::TestWithParam<Case> {};

TEST_P(EvdevKeySourceTest, ReportsWhatWasTyped) {
    static const std::map<QString, int> codes = {
        {"fn", KEY_FN},          {"esc", KEY_ESC},         {"v", KEY_V},
        {"lctrl", KEY_LEFTCTRL}, {"rctrl", KEY_RIGHTCTRL}, {"lmeta", KEY_LEFTMETA},
        {"rmeta", KEY_RIGHTMETA}};
    QTemporaryDir nodes;
    std::vector<std::unique_ptr<RecordedKeyboard>> keyboards;
    const auto plugIn = [&] {
        keyboards.push_back(std::make_unique<RecordedKeyboard>(
            nodes.filePath(QStringLiteral("event%1").arg(keyboards.size()))));
    };
    plugIn();
    EvdevKeySource source(nodes.path(), reporting({true, true, "recorded"}));
    HotkeyManager manager(source);
    QStringList fired;
    manager.onStart = [&] { fired << "start"; };
    manager.onStop = [&] { fired << "stop"; };
    manager.onCancel = [&] { fired << "cancel"; };
    manager.onPasteLast = [&] { fired << "paste"; };
    manager.isRecordingActive = [&] { return GetParam().recording; };
    ASSERT_TRUE(manager.start());
    ASSERT_TRUE(keyboards[0]->connect());

    int at = 0;
    for (QString token : QString::fromUtf8(GetParam().stream).split(u' ')) {
        const size_t index = token.contains(u':') ? token.section(u':', 0, 0).toUInt() : 0;
        token = token.section(u':', -1);
        if (index == keyboards.size()) {
            plugIn();
            ASSERT_TRUE(keyboards.back()->connect()) << "keyboard " << index << " not opened";
        }
        const qsizetype change = token.indexOf(QRegularExpression("[-+*@]"));
        const QString name = token.left(change);
        at = token.mid(change + 1).toInt();
        if (name == "gone") {
            const qsizetype before = source.devices().size();
            keyboards[index]->unplug();
            ASSERT_TRUE(QTest::qWaitFor([&] { return source.devices().size() < before; }));
        } else if (name == "drop") {
            keyboards[index]->send(EV_SYN, SYN_DROPPED, 0, at);
        } else {
            const int value = int(QStringLiteral("-+*").indexOf(token.at(change)));
            keyboards[index]->send(EV_KEY, codes.at(name), value, at);
        }
    }
    for (int code : {KEY_LEFTCTRL, KEY_LEFTMETA, KEY_V})
        keyboards[0]->send(EV_KEY, code, 1, at + 1000);
    const QStringList expected = GetParam().fired + QStringList{"paste"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired.size() >= expected.size(); }));
    EXPECT_EQ(fired, expected);
}

// The double press's window is measured on the events' kernel times; the stream is written at once.
const Case cases[] = {
    {"FnTwiceBeyondTheWindow", false, "fn+0 fn-80 fn+401 fn-480", {}},
    {"RepeatsAreNoPressesNorReleases",
     true,
     "lctrl+0 lmeta+10 lctrl*50 v+60 v*300 v-320 lctrl-330 lmeta-340 esc+400 esc*650 esc-700",
     {"paste", "cancel"}},
    {"ChordOfRightModifiersAcrossTwoKeyboards",
     false,
     "rctrl+0 1:rmeta+10 1:v+20 1:v-30 1:rmeta-40 rctrl-50",
     {"paste"}},
    {"ModifiersWhoseReleaseWasDroppedAreUp", false, "lctrl+0 lmeta+10 drop@20 v+30 v-40", {}},
    {"KeyboardGoneWhileItsModifiersAreHeld", false, "1:lctrl+0 1:lmeta+10 1:gone@20 v+30", {}},
    {"KeyboardGoneWhileFnIsHeldIsNoTap",
     false,
     "1:fn+0 1:gone@20 fn+300 fn-350 fn+600 fn-650",
     {"start"}},
};

INSTANTIATE_TEST_SUITE_P(Streams, EvdevKeySourceTest, ::testing::ValuesIn(cases),
                         [](const auto &info) { return std::string(info.param.name); });

// The paste's own uinput keyboard is not the user's; fn is seen only on a keyboard that
// reports it.
TEST(EvdevKeySource, StartsOnAKeyboardOfTheUsersAndSeesFnWhereItIsReported) {
    const std::tuple<EvdevKeySource::Probe, bool, bool> probes[] = {
        {reporting({true, true, QString::fromLatin1(UinputPaste::deviceName)}), false, false},
        {reporting({true, false, {}}), true, false},
        {reporting({true, true, {}}), true, true},
    };
    for (const auto &[probe, starts, fn] : probes) {
        QTemporaryDir nodes;
        RecordedKeyboard node(nodes.filePath("event0"));
        EvdevKeySource source(nodes.path(), probe);
        EXPECT_EQ(source.start(), starts);
        EXPECT_EQ(source.visibleModifiers() & mask(ModifierKey::Fn),
                  fn ? mask(ModifierKey::Fn) : 0);
    }
}

// Each key change in a report of its own, modifiers first down and last up; a failed write fails.
TEST(UinputPaste, WritesEveryKeyChangeOnItsOwn) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    for (const bool withShift : {false, true})
        EXPECT_TRUE(UinputPaste::writeEvents(fds[1], UinputPaste::pasteEvents(KEY_V, withShift)));
    EXPECT_FALSE(UinputPaste::writeEvents(fds[0], UinputPaste::pasteEvents(KEY_V, false)));
    ::close(fds[1]);
    QStringList written; // type:code:value; 1 a key (29 left Ctrl, 42 left Shift, 47 V), 0 a report
    input_event event{};
    while (::read(fds[0], &event, sizeof event) == ssize_t(sizeof event))
        written << QString("%1:%2:%3").arg(event.type).arg(event.code).arg(event.value);
    ::close(fds[0]);
    EXPECT_EQ(written.join(u' '),
              "1:29:1 0:0:0 1:47:1 0:0:0 1:47:0 0:0:0 1:29:0 0:0:0 "
              "1:29:1 0:0:0 1:42:1 0:0:0 1:47:1 0:0:0 1:47:0 0:0:0 1:42:0 0:0:0 1:29:0 0:0:0");
}

} // namespace
