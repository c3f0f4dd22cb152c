#pragma once

#include <string>

// The service's two browser pages, as complete HTML documents.
namespace Pages {

std::string escape(const std::string &text);

// The sign-in form posting to `action`. With a local user, a single "Continue as EMAIL" button
// replaces the form.
std::string signIn(const std::string &action, const std::string &heading, const std::string &error,
                   const std::string &localUser);

std::string account(const std::string &email, const std::string &plan, long long used,
                    long long limit);

// A page that sends the browser on to the application's callback address.
std::string callback(const std::string &location);

std::string message(const std::string &title, const std::string &text);

} // namespace Pages
