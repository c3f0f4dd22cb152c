#pragma once

#include <QUrl>

namespace orvanta {

// What the account session needs from the application around it.
class AuthHost {
public:
    virtual ~AuthHost() = default;
    // Opens `url` in the user's default web browser.
    virtual void openInBrowser(const QUrl &url) = 0;
    // Raises the application above the browser the user signed in with.
    virtual void bringToFront() = 0;
};

} // namespace orvanta
