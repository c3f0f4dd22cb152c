#include "AccountStore.h"

#include <sqlite3.h>

namespace {

// Each entry moves the schema from version i to i + 1. Never edit an entry that has shipped;
// append a new one.
const char *const migrations[] = {
    R"(CREATE TABLE accounts (
           id INTEGER PRIMARY KEY,
           email TEXT NOT NULL UNIQUE,
           plan TEXT NOT NULL DEFAULT 'free',
           monthly_limit INTEGER NOT NULL,
           password_hash TEXT NOT NULL DEFAULT '',
           created_at INTEGER NOT NULL DEFAULT (strftime('%s', 'now')));
       CREATE TABLE refresh_tokens (
           token_hash TEXT PRIMARY KEY,
           account_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
           expires_at INTEGER NOT NULL);
       CREATE INDEX refresh_tokens_account ON refresh_tokens(account_id);
       CREATE TABLE usage (
           account_id INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
           month TEXT NOT NULL,
           words INTEGER NOT NULL DEFAULT 0,
           PRIMARY KEY (account_id, month));)",
};

class Statement {
public:
    Statement(sqlite3 *db, const char *sql)
        : m_db(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            throw StoreError(std::string("cannot prepare a query: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, const std::string &value) {
        sqlite3_bind_text(m_statement, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement &bind(int index, long long value) {
        sqlite3_bind_int64(m_statement, index, value);
        return *this;
    }
    // True while a row is available.
    bool step() {
        const int result = sqlite3_step(m_statement);
        if (result == SQLITE_ROW)
            return true;
        if (result == SQLITE_DONE)
            return false;
        if ((result & 0xff) == SQLITE_FULL)
            throw StoreFull(std::string("query failed: ") + sqlite3_errmsg(m_db));
        throw StoreError(std::string("query failed: ") + sqlite3_errmsg(m_db));
    }
    long long integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::string text(int column) const {
        const auto *bytes = sqlite3_column_text(m_statement, column);
        return bytes ? reinterpret_cast<const char *>(bytes) : "";
    }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
};

constexpr const char *accountColumns = "id, email, plan, monthly_limit, password_hash";

Account readAccount(const Statement &row) {
    return Account{row.integer(0), row.text(1), row.text(2), row.integer(3), row.text(4)};
}

} // namespace

AccountStore::AccountStore(const std::string &file) {
    if (sqlite3_open_v2(file.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw StoreError("cannot open " + file + ": " + message);
    }
    sqlite3_busy_timeout(m_db, 5000);
    try {
        execute("PRAGMA journal_mode = WAL; PRAGMA foreign_keys = ON;");
        migrate();
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
}

AccountStore::~AccountStore() {
    sqlite3_close(m_db);
}

int AccountStore::schemaVersion() {
    return static_cast<int>(std::size(migrations));
}

void AccountStore::execute(const char *sql) {
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw StoreError("database statement failed: " + text);
    }
}

void AccountStore::migrate() {
    execute("BEGIN IMMEDIATE");
    try {
        Statement version(m_db, "PRAGMA user_version");
        version.step();
        const long long current = version.integer(0);
        if (current > schemaVersion())
            throw StoreError("the database has schema version " + std::to_string(current) +
                             ", newer than this program's " + std::to_string(schemaVersion()));
        for (long long next = current; next < schemaVersion(); ++next) {
            execute(migrations[next]);
            execute(("PRAGMA user_version = " + std::to_string(next + 1)).c_str());
        }
        execute("COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::optional<Account> AccountStore::findByEmail(const std::string &email) {
    std::lock_guard lock(m_mutex);
    Statement query(
        m_db, (std::string("SELECT ") + accountColumns + " FROM accounts WHERE email = ?").c_str());
    query.bind(1, email);
    if (!query.step())
        return std::nullopt;
    return readAccount(query);
}

std::optional<Account> AccountStore::findById(std::int64_t id) {
    std::lock_guard lock(m_mutex);
    Statement query(
        m_db, (std::string("SELECT ") + accountColumns + " FROM accounts WHERE id = ?").c_str());
    query.bind(1, static_cast<long long>(id));
    if (!query.step())
        return std::nullopt;
    return readAccount(query);
}

Account AccountStore::saveAccount(const std::string &email, const std::optional<std::string> &plan,
                                  const std::optional<long long> &limit,
                                  const std::string &passwordHash, long long defaultLimit) {
    {
        std::lock_guard lock(m_mutex);
        Statement insert(m_db, "INSERT INTO accounts (email, plan, monthly_limit, password_hash) "
                               "VALUES (?, ?, ?, ?) ON CONFLICT(email) DO UPDATE SET "
                               "plan = coalesce(?5, plan), "
                               "monthly_limit = coalesce(?6, monthly_limit), "
                               "password_hash = CASE WHEN ?4 = '' THEN password_hash "
                               "ELSE ?4 END");
        insert.bind(1, email).bind(2, plan.value_or("free"));
        insert.bind(3, limit.value_or(defaultLimit)).bind(4, passwordHash);
        if (plan)
            insert.bind(5, *plan);
        if (limit)
            insert.bind(6, *limit);
        insert.step();
    }
    return *findByEmail(email);
}

std::vector<AccountUsage> AccountStore::listAccounts(const std::string &month) {
    std::lock_guard lock(m_mutex);
    Statement query(m_db, "SELECT a.id, a.email, a.plan, a.monthly_limit, a.password_hash, "
                          "coalesce(u.words, 0) FROM accounts a LEFT JOIN usage u "
                          "ON u.account_id = a.id AND u.month = ? ORDER BY a.email");
    query.bind(1, month);
    std::vector<AccountUsage> accounts;
    while (query.step())
        accounts.push_back(AccountUsage{readAccount(query), query.integer(5)});
    return accounts;
}

long long AccountStore::wordsUsed(std::int64_t accountId, const std::string &month) {
    std::lock_guard lock(m_mutex);
    Statement query(m_db, "SELECT words FROM usage WHERE account_id = ? AND month = ?");
    query.bind(1, static_cast<long long>(accountId)).bind(2, month);
    return query.step() ? query.integer(0) : 0;
}

void AccountStore::addWords(std::int64_t accountId, const std::string &month, long long words) {
    std::lock_guard lock(m_mutex);
    Statement update(m_db, "INSERT INTO usage (account_id, month, words) VALUES (?, ?, ?) "
                           "ON CONFLICT(account_id, month) DO UPDATE SET words = words + ?3");
    update.bind(1, static_cast<long long>(accountId)).bind(2, month).bind(3, words);
    update.step();
}

void AccountStore::storeRefreshToken(const std::string &tokenHash, std::int64_t accountId,
                                     long long expiresAt) {
    std::lock_guard lock(m_mutex);
    Statement prune(m_db, "DELETE FROM refresh_tokens WHERE expires_at <= strftime('%s', 'now')");
    prune.step();
    Statement insert(m_db, "INSERT INTO refresh_tokens (token_hash, account_id, expires_at) "
                           "VALUES (?, ?, ?)");
    insert.bind(1, tokenHash).bind(2, static_cast<long long>(accountId)).bind(3, expiresAt);
    insert.step();
}

std::optional<std::int64_t> AccountStore::consumeRefreshToken(const std::string &tokenHash,
                                                              long long now) {
    std::lock_guard lock(m_mutex);
    Statement take(m_db, "DELETE FROM refresh_tokens WHERE token_hash = ? "
                         "RETURNING account_id, expires_at");
    take.bind(1, tokenHash);
    if (!take.step())
        return std::nullopt;
    const std::int64_t account = take.integer(0);
    const long long expiresAt = take.integer(1);
    while (take.step()) {
    }
    if (expiresAt <= now)
        return std::nullopt;
    return account;
}
