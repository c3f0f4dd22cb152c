#include "SignInWindow.h"

namespace orvanta {

SignInWindow::SignInWindow(std::function<Clock::time_point()> now)
    : m_now(std::move(now)) {}

void SignInWindow::open() {
    m_openedAt = m_now();
}

bool SignInWindow::isOpen() const {
    if (!m_openedAt)
        return false;
    const auto elapsed = m_now() - *m_openedAt;
    return elapsed >= Clock::duration::zero() && elapsed <= length;
}

} // namespace orvanta
