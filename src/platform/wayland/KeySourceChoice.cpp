#include "KeySourceChoice.h"

#include "EvdevKeySource.h"
#include "WaylandLogging.h"
#include "X11KeySource.h"

#include <QStringList>

namespace orvanta {

namespace {

// Where the session shows us no keys: nothing starts, and the desktop's own shortcuts run the
// command line instead.
class NoKeySource final : public KeySource {
public:
    void setHandler(Handler) override {}
    bool start() override { return false; }
    bool isStarted() const override { return false; }
    quint64 visibleModifiers() const override { return 0; }
    void setConsumedShortcuts(const QList<Shortcut> &) override {}
};

} // namespace

KeySourceChoice::KeySourceChoice(bool x11Session,
                                 wayland::GlobalShortcutsKeySource::ActionOf actionOf,
                                 QObject *parent)
    : QObject(parent) {
    if (x11Session) {
        m_mechanism = KeyMechanism::X11;
        m_source = std::make_unique<x11::X11KeySource>();
        return;
    }
    auto evdev = std::make_unique<wayland::EvdevKeySource>();
    const bool keyboardReadable = evdev->start();
    const bool portalOffered = !keyboardReadable && wayland::GlobalShortcutsKeySource::offered(
                                                        QDBusConnection::sessionBus());
    m_mechanism = chooseKeyMechanism(false, keyboardReadable, portalOffered);
    qCInfo(lcEvdev) << "Global shortcuts in this Wayland session:" << mechanismText();
    switch (m_mechanism) {
    case KeyMechanism::Evdev:
        m_source = std::move(evdev);
        break;
    case KeyMechanism::Portal: {
        auto portal = std::make_unique<wayland::GlobalShortcutsKeySource>(
            QDBusConnection::sessionBus(), std::move(actionOf));
        m_portal = portal.get();
        connect(m_portal, &wayland::GlobalShortcutsKeySource::bindingsApplied, this,
                &KeySourceChoice::keybindingsNoteChanged);
        connect(m_portal, &wayland::GlobalShortcutsKeySource::unusable, this, [this] {
            m_mechanism = KeyMechanism::DesktopShortcuts;
            m_portal = nullptr;
            emit mechanismChanged();
            emit keybindingsNoteChanged();
        });
        m_source = std::move(portal);
        break;
    }
    case KeyMechanism::X11:
    case KeyMechanism::DesktopShortcuts:
        m_source = std::make_unique<NoKeySource>();
        break;
    }
}

KeySourceChoice::~KeySourceChoice() = default;

QString KeySourceChoice::keybindingsNote() const {
    QString note = orvanta::keybindingsNote(m_mechanism);
    if (!m_portal)
        return note;
    QStringList keys;
    const auto triggers = m_portal->triggers();
    for (auto it = triggers.begin(); it != triggers.end(); ++it) {
        if (!it.value().isEmpty())
            keys.append(title(it.key()) + QStringLiteral(": ") + it.value());
    }
    if (!keys.isEmpty())
        note += QStringLiteral(" The desktop reports ") + keys.join(QStringLiteral(", ")) + u'.';
    return note;
}

} // namespace orvanta
