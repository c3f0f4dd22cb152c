#include "Pages.h"

namespace Pages {

namespace {

std::string document(const std::string &title, const std::string &body) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           escape(title) +
           "</title><style>"
           "body{font-family:system-ui,sans-serif;background:#f5f5f7;color:#1d1d1f;"
           "display:flex;justify-content:center;padding-top:10vh;margin:0}"
           "main{background:#fff;border:1px solid #e0e0e5;border-radius:14px;padding:32px;"
           "width:340px}h1{font-size:22px;margin:0 0 20px}label{display:block;margin:12px 0 4px;"
           "font-size:13px;color:#6e6e73}input{width:100%;box-sizing:border-box;padding:9px;"
           "border:1px solid #d2d2d7;border-radius:8px;font-size:15px}"
           "button{margin-top:20px;width:100%;padding:10px;border:0;border-radius:8px;"
           "background:#1d1d1f;color:#fff;font-size:15px;cursor:pointer}"
           ".error{color:#c4302b;font-size:14px}dl{display:grid;grid-template-columns:auto 1fr;"
           "gap:8px 16px}dt{color:#6e6e73}dd{margin:0}"
           "</style></head><body><main>" +
           body + "</main></body></html>\n";
}

} // namespace

std::string escape(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string signIn(const std::string &action, const std::string &heading, const std::string &error,
                   const std::string &localUser) {
    std::string body = "<h1>" + escape(heading) + "</h1>";
    if (!error.empty())
        body += "<p class=\"error\" role=\"alert\">" + escape(error) + "</p>";
    body += "<form method=\"post\" action=\"" + escape(action) + "\">";
    if (!localUser.empty()) {
        body += "<button type=\"submit\">Continue as " + escape(localUser) + "</button>";
    } else {
        body += "<label for=\"email\">E-mail</label>"
                "<input id=\"email\" name=\"email\" type=\"email\" autocomplete=\"username\" "
                "required autofocus>"
                "<label for=\"password\">Password</label>"
                "<input id=\"password\" name=\"password\" type=\"password\" "
                "autocomplete=\"current-password\" required>"
                "<button type=\"submit\">Sign In</button>";
    }
    return document(heading, body + "</form>");
}

std::string account(const std::string &email, const std::string &plan, long long used,
                    long long limit) {
    return document("Your account", "<h1>Your account</h1><dl><dt>E-mail</dt><dd>" + escape(email) +
                                        "</dd><dt>Plan</dt><dd>" + escape(plan) +
                                        "</dd><dt>Words this month</dt><dd>" +
                                        std::to_string(used) + "</dd><dt>Monthly limit</dt><dd>" +
                                        std::to_string(limit) + "</dd></dl>");
}

std::string callback(const std::string &location) {
    return document("Signed in", "<h1>Signed in</h1><p>Returning to the application. If nothing "
                                 "happens, <a href=\"" +
                                     escape(location) + "\">open it here</a>.</p>");
}

std::string message(const std::string &title, const std::string &text) {
    return document(title, "<h1>" + escape(title) + "</h1><p>" + escape(text) + "</p>");
}

} // namespace Pages
