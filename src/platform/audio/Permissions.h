#pragma once

#include "MicrophoneWatcher.h"
#include "Ports.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace orvanta {

// Microphone access on Linux: the sound server answers and offers a microphone, as a watcher
// on a connection of its own knows (asking costs nothing and never blocks). Input access
// is answered by whoever observes the keys (`inputAccess`). The privacy panes are the
// application's own help pages.
class Permissions final : public PermissionsPort {
public:
    using InputAccessCheck = std::function<bool()>;
    using UrlOpener = std::function<bool(const QUrl &)>;

    // An empty `inputAccess` answers false; an empty `openUrl` uses the desktop's handler.
    explicit Permissions(InputAccessCheck inputAccess = {}, UrlOpener openUrl = {},
                         QStringList helpDirectories = defaultHelpDirectories());

    bool isMicrophoneAuthorized() const override;
    bool isInputAccessGranted() const override;
    void requestMicrophone(std::function<void(bool granted)> completion) override;
    void openPrivacyPane(PrivacyPane pane) override;

    // The microphones the sound server offers now, in its order; empty without a server.
    // Known from the watcher: asking never waits for the server.
    QList<AudioInputDevice> microphones() const { return m_microphone.microphones(); }

    // Opens a URL given as text; text that is not a URL is ignored.
    void open(const QString &url);

    std::optional<QUrl> helpPage(PrivacyPane pane) const;
    // The installed pages first, then those beside the executable, then the source tree's.
    static QStringList defaultHelpDirectories();
    static QString helpPageName(PrivacyPane pane);

private:
    mutable MicrophoneWatcher m_microphone;
    InputAccessCheck m_inputAccess;
    UrlOpener m_openUrl;
    QStringList m_helpDirectories;
};

} // namespace orvanta
