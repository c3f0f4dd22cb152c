#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

struct Account {
    std::int64_t id = 0;
    std::string email;
    std::string plan;
    long long monthlyLimit = 0;
    // Empty for an account that cannot sign in with a password (the local user).
    std::string passwordHash;
};

struct AccountUsage {
    Account account;
    long long wordsUsed = 0;
};

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A change that did not fit on the disk; nothing of it was stored.
class StoreFull : public StoreError {
public:
    using StoreError::StoreError;
};

// Accounts, refresh tokens (only their hashes) and word usage per month, in one SQLite file.
// The schema is versioned (PRAGMA user_version) and migrated forward when the file is opened.
// Safe to use from several threads; a second process (add-user while serving) waits its turn.
class AccountStore {
public:
    // Throws StoreError when the file cannot be opened or was written by a newer version.
    explicit AccountStore(const std::string &file);
    ~AccountStore();
    AccountStore(const AccountStore &) = delete;
    AccountStore &operator=(const AccountStore &) = delete;

    static int schemaVersion();

    std::optional<Account> findByEmail(const std::string &email);
    std::optional<Account> findById(std::int64_t id);
    // Creates the account, or updates an existing one. An empty password hash keeps the stored
    // one; plan and limit are changed only when given.
    Account saveAccount(const std::string &email, const std::optional<std::string> &plan,
                        const std::optional<long long> &limit, const std::string &passwordHash,
                        long long defaultLimit);
    std::vector<AccountUsage> listAccounts(const std::string &month);

    long long wordsUsed(std::int64_t accountId, const std::string &month);
    void addWords(std::int64_t accountId, const std::string &month, long long words);

    void storeRefreshToken(const std::string &tokenHash, std::int64_t accountId,
                           long long expiresAt);
    // Removes the token and returns its account when it existed and had not expired: a refresh
    // token works once.
    std::optional<std::int64_t> consumeRefreshToken(const std::string &tokenHash, long long now);

private:
    void migrate();
    void execute(const char *sql);

    std::mutex m_mutex;
    sqlite3 *m_db = nullptr;
};
