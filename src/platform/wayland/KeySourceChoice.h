#pragma once

#include "GlobalShortcutsKeySource.h"
#include "KeyMechanism.h"
#include "KeySource.h"

#include <QObject>

#include <memory>

namespace orvanta {

// The key source this session offers, chosen once at start-up, and what the views say
// about it.
class KeySourceChoice final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString mechanism READ mechanismText NOTIFY mechanismChanged)
    Q_PROPERTY(QString inputAccessText READ inputAccessText NOTIFY mechanismChanged)
    Q_PROPERTY(QString keybindingsNote READ keybindingsNote NOTIFY keybindingsNoteChanged)

public:
    // `x11Session`: the application runs on an X server. On Wayland the keyboard devices are
    // tried first (and stay open when readable), then the shortcuts portal on the session bus.
    KeySourceChoice(bool x11Session, wayland::GlobalShortcutsKeySource::ActionOf actionOf,
                    QObject *parent = nullptr);
    ~KeySourceChoice() override;

    KeySource &source() { return *m_source; }
    KeyMechanism mechanism() const { return m_mechanism; }
    QString mechanismText() const { return mechanismName(m_mechanism); }
    QString inputAccessText() const { return orvanta::inputAccessText(m_mechanism); }
    Q_INVOKABLE QString menuHint(bool activateIsDoublePress) const {
        return orvanta::menuHint(m_mechanism, activateIsDoublePress);
    }
    // With the portal, the keys it reports for each action follow.
    QString keybindingsNote() const;

signals:
    // The portal turned out to have nothing behind it: the desktop's shortcuts remain.
    void mechanismChanged();
    void keybindingsNoteChanged();

private:
    KeyMechanism m_mechanism = KeyMechanism::DesktopShortcuts;
    std::unique_ptr<KeySource> m_source;
    wayland::GlobalShortcutsKeySource *m_portal = nullptr; // m_source, when it is the portal
};

} // namespace orvanta
