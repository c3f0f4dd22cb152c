#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace orvanta {

// Whether a sign-in this application started is still waiting for its callback. Any web page
// can open an "orvanta:" URL, so tokens are accepted only for a limited time after the user
// opened the sign-in page, and only once per opening.
class SignInWindow {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::minutes length{15};

    explicit SignInWindow(std::function<Clock::time_point()> now = &Clock::now);

    void open();
    void close() { m_openedAt.reset(); }
    bool isOpen() const;

private:
    std::function<Clock::time_point()> m_now;
    std::optional<Clock::time_point> m_openedAt;
};

} // namespace orvanta
