#pragma once

#include <optional>
#include <string>
#include <vector>

// The command line of orvanta-service, a stable interface:
//   orvanta-service [--listen ADDRESS] [--port N] [--data DIR]
//                   [--backend local|upstream|whisper] [--local-user EMAIL] [--config FILE]
//   orvanta-service add-user EMAIL [--plan free|pro] [--limit N]
//   orvanta-service list-users
//   orvanta-service --help | --version
struct CommandLine {
    enum class Command { Serve, AddUser, ListUsers, Help, Version };

    Command command = Command::Serve;
    std::optional<std::string> listen;
    std::optional<int> port;
    std::optional<std::string> dataDir;
    std::optional<std::string> backend;
    std::optional<std::string> localUser;
    std::optional<std::string> configFile;
    std::string email;
    std::optional<std::string> plan;
    std::optional<long long> limit;
    // Set when the arguments cannot be understood; the program prints it with the usage.
    std::string error;

    // Arguments without the program name.
    static CommandLine parse(const std::vector<std::string> &arguments);
    static std::string usage();
};
