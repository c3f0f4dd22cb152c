#pragma once

#include <QObject>

namespace orvanta {

// What the menu asks of the application beyond the controller; the application connects
// these signals to the account session, the updater, the settings window and so on.
class MenuActions : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    Q_INVOKABLE void openSettings() { emit settingsRequested(); }
    Q_INVOKABLE void signIn() { emit signInRequested(); }
    Q_INVOKABLE void checkForUpdates() { emit updateCheckRequested(); }
    Q_INVOKABLE void openInputAccessHelp() { emit inputAccessHelpRequested(); }
    Q_INVOKABLE void quit() { emit quitRequested(); }

signals:
    void settingsRequested();
    void signInRequested();
    void updateCheckRequested();
    void inputAccessHelpRequested();
    void quitRequested();
};

} // namespace orvanta
