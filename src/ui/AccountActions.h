#pragma once

#include <QObject>

#include <functional>

namespace orvanta {

class AccountSessionPort;

// What the Account section asks of the session beyond its properties.
class AccountActions : public QObject {
    Q_OBJECT

public:
    AccountActions(AccountSessionPort &session, std::function<void()> openManagePage,
                   QObject *parent = nullptr);

    // Each time the section is shown: new usage figures, but only for a signed-in account.
    Q_INVOKABLE void sectionShown();
    Q_INVOKABLE void openManagePage();

private:
    AccountSessionPort &m_session;
    std::function<void()> m_openManagePage;
};

} // namespace orvanta
