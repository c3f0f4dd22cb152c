#include "AccountActions.h"

#include "Ports.h"

namespace orvanta {

AccountActions::AccountActions(AccountSessionPort &session, std::function<void()> openManagePage,
                               QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_openManagePage(std::move(openManagePage)) {}

void AccountActions::sectionShown() {
    if (m_session.isSignedIn())
        m_session.refreshUsage();
}

void AccountActions::openManagePage() {
    if (m_openManagePage)
        m_openManagePage();
}

} // namespace orvanta
