#include "AccountStore.h"
#include "CommandLine.h"
#include "HttpService.h"
#include "LocalBackend.h"
#include "ServiceConfig.h"
#include "ServiceLogging.h"
#include "TextRules.h"
#include "TokenService.h"
#include "UpstreamBackend.h"
#include "WhisperBackend.h"

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <pthread.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int usageError = 2;

std::string databaseFile(const ServiceConfig &config) {
    return config.dataDir + "/service.db";
}

void prepareDataDir(const std::string &dir) {
    std::filesystem::create_directories(dir);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
}

std::string readLine(bool hidden) {
    termios saved{};
    const bool terminal = hidden && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << "\n";
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string askPassword(const std::string &email) {
    if (!isatty(STDIN_FILENO))
        return readLine(false);
    std::cerr << "Password for " << email << " (empty keeps the current one): " << std::flush;
    const std::string first = readLine(true);
    if (first.empty())
        return first;
    std::cerr << "Once more: " << std::flush;
    if (readLine(true) != first)
        throw std::runtime_error("the two passwords differ");
    return first;
}

int addUser(const ServiceConfig &config, const CommandLine &line) {
    const std::string email = TextRules::normalizedEmail(line.email);
    if (email.empty()) {
        std::cerr << "orvanta-service: \"" << line.email << "\" is not an e-mail address\n";
        return usageError;
    }
    prepareDataDir(config.dataDir);
    AccountStore store(databaseFile(config));
    const bool exists = store.findByEmail(email).has_value();
    const std::string password = askPassword(email);
    if (!exists && password.empty()) {
        std::cerr << "orvanta-service: a new account needs a password (on standard input)\n";
        return 1;
    }
    const auto plan = line.plan.value_or("free");
    const Account account = store.saveAccount(
        email, line.plan, line.limit, password.empty() ? "" : TokenService::hashPassword(password),
        config.defaultLimit(plan));
    std::cout << (exists ? "Updated " : "Added ") << account.email << " (plan " << account.plan
              << ", " << account.monthlyLimit << " words a month)\n";
    return 0;
}

int listUsers(const ServiceConfig &config) {
    prepareDataDir(config.dataDir);
    AccountStore store(databaseFile(config));
    std::cout << "EMAIL\tPLAN\tUSED\tLIMIT\n";
    for (const AccountUsage &entry : store.listAccounts(TextRules::monthKey(std::time(nullptr))))
        std::cout << entry.account.email << '\t' << entry.account.plan << '\t' << entry.wordsUsed
                  << '\t' << entry.account.monthlyLimit << '\n';
    return 0;
}

std::unique_ptr<TranscriptionBackend> makeBackend(const ServiceConfig &config) {
    if (config.backend == "upstream")
        return std::make_unique<UpstreamBackend>(config.upstream);
    if (config.backend == "whisper")
        return std::make_unique<WhisperBackend>(
            config.whisper, config.upstream.baseUrl.empty()
                                ? std::nullopt
                                : std::optional<UpstreamSettings>(config.upstream));
    return std::make_unique<LocalBackend>(config.local);
}

int serve(const ServiceConfig &config) {
    // Stop signals are taken by a thread of their own; every other thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    prepareDataDir(config.dataDir);
    AccountStore store(databaseFile(config));
    TokenService tokens(TokenService::loadOrCreateSecret(config.dataDir + "/token-secret"));
    if (!config.localUser.empty()) {
        const std::string email = TextRules::normalizedEmail(config.localUser);
        if (email.empty())
            throw std::runtime_error("--local-user needs an e-mail address");
        if (!store.findByEmail(email))
            store.saveAccount(email, std::nullopt, std::nullopt, "", config.freeLimit);
    }
    ServiceConfig effective = config;
    effective.localUser = TextRules::normalizedEmail(config.localUser);
    const auto backend = makeBackend(effective);
    HttpService service(effective, store, tokens, *backend);
    const int port = service.bind();
    if (port < 0) {
        std::cerr << "orvanta-service: cannot listen on " << config.listen << " port "
                  << config.port << "\n";
        return 1;
    }
    const bool ipv6 = config.listen.find(':') != std::string::npos;
    std::cout << "orvanta-service listening on http://" << (ipv6 ? "[" : "") << config.listen
              << (ipv6 ? "]" : "") << ":" << port << " (" << config.backend << " back end"
              << (effective.localUser.empty() ? "" : ", local user " + effective.localUser) << ")"
              << std::endl;

    std::atomic<bool> finished{false};
    std::thread signalWaiter([&service, &finished, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        // A stop that comes before the server loop runs is lost: repeat it until it ends.
        while (!finished) {
            service.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    const bool served = service.run();
    finished = true;
    // Wakes the waiter when the server ended on its own.
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    return served ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    av_log_set_level(AV_LOG_QUIET);
    const CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::cerr << "orvanta-service: " << line.error << "\n\n" << CommandLine::usage();
        return usageError;
    }
    if (line.command == CommandLine::Command::Help) {
        std::cout << CommandLine::usage();
        return 0;
    }
    if (line.command == CommandLine::Command::Version) {
        std::cout << "orvanta-service " ORVANTA_VERSION "\n";
        return 0;
    }
    std::string error;
    const auto config = ServiceConfig::load(line, error);
    if (!config) {
        std::cerr << "orvanta-service: " << error << "\n";
        return usageError;
    }
    try {
        switch (line.command) {
        case CommandLine::Command::AddUser:
            return addUser(*config, line);
        case CommandLine::Command::ListUsers:
            return listUsers(*config);
        default:
            return serve(*config);
        }
    } catch (const std::exception &failure) {
        std::cerr << "orvanta-service: " << failure.what() << "\n";
        return 1;
    }
}
