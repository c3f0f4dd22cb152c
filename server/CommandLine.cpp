#include "CommandLine.h"

#include <charconv>

namespace {

template <typename Number> std::optional<Number> parseNumber(const std::string &text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Applies one option with its value; returns an error text or nothing.
std::string applyOption(CommandLine &line, const std::string &name, const std::string &value) {
    if (name == "--listen")
        line.listen = value;
    else if (name == "--data")
        line.dataDir = value;
    else if (name == "--config")
        line.configFile = value;
    else if (name == "--local-user")
        line.localUser = value;
    else if (name == "--backend") {
        if (value != "local" && value != "upstream" && value != "whisper")
            return "--backend takes local, upstream or whisper, not \"" + value + "\"";
        line.backend = value;
    } else if (name == "--port") {
        const auto port = parseNumber<int>(value);
        if (!port || *port < 0 || *port > 65535)
            return "--port takes a number from 0 to 65535, not \"" + value + "\"";
        line.port = port;
    } else if (name == "--plan") {
        if (value != "free" && value != "pro")
            return "--plan takes free or pro, not \"" + value + "\"";
        line.plan = value;
    } else if (name == "--limit") {
        const auto limit = parseNumber<long long>(value);
        if (!limit || *limit < 0)
            return "--limit takes a number of words (0 or more), not \"" + value + "\"";
        line.limit = limit;
    } else
        return "unknown option " + name;
    return {};
}

bool takesValue(const std::string &name) {
    for (const char *option : {"--listen", "--port", "--data", "--backend", "--local-user",
                               "--config", "--plan", "--limit"})
        if (name == option)
            return true;
    return false;
}

} // namespace

CommandLine CommandLine::parse(const std::vector<std::string> &arguments) {
    CommandLine line;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size() && line.error.empty(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.command = Command::Help;
            return line;
        }
        if (argument == "--version") {
            line.command = Command::Version;
            return line;
        }
        if (argument.rfind("--", 0) != 0) {
            positional.push_back(argument);
            continue;
        }
        const auto equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (!takesValue(name)) {
            line.error = "unknown option " + name;
            break;
        }
        std::string value;
        if (equals != std::string::npos)
            value = argument.substr(equals + 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        else {
            line.error = name + " needs a value";
            break;
        }
        line.error = applyOption(line, name, value);
    }
    if (!line.error.empty())
        return line;

    if (positional.empty()) {
        line.command = Command::Serve;
    } else if (positional[0] == "add-user") {
        line.command = Command::AddUser;
        if (positional.size() != 2)
            line.error = "add-user takes exactly one e-mail address";
        else
            line.email = positional[1];
    } else if (positional[0] == "list-users") {
        line.command = Command::ListUsers;
        if (positional.size() != 1)
            line.error = "list-users takes no arguments";
    } else {
        line.error = "unknown command " + positional[0];
    }
    const bool userOptions = line.plan || line.limit;
    if (line.error.empty() && userOptions && line.command != Command::AddUser)
        line.error = "--plan and --limit belong to add-user";
    return line;
}

std::string CommandLine::usage() {
    return R"(Usage:
  orvanta-service [--listen ADDRESS] [--port N] [--data DIR]
                  [--backend local|upstream|whisper] [--local-user EMAIL] [--config FILE]
  orvanta-service add-user EMAIL [--plan free|pro] [--limit N]
  orvanta-service list-users
  orvanta-service --help | --version

Serves the transcription and account API of the Talvo dictation application.

Options:
  --listen ADDRESS     address to listen on (default 127.0.0.1); TLS belongs to a reverse proxy
  --port N             port to listen on (default 8787; 0 picks a free one and prints it)
  --data DIR           data folder (default $XDG_DATA_HOME/orvanta-service)
  --backend NAME       local (offline, pocketsphinx), upstream (chat-completions endpoint)
                       or whisper (a server of the Whisper transcription API)
  --local-user EMAIL   offer a one-click sign-in as EMAIL (loopback addresses only)
  --config FILE        settings file (INI); command-line options take precedence

add-user reads the account's password from standard input (it asks on a terminal) and
creates the account, or updates the plan, limit and password of an existing one.
list-users prints every account with its plan, words used this month and monthly limit.
)";
}
