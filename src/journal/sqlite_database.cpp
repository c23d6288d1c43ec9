#include "journal/sqlite_database.h"

#include "app_model/run_journal.h"

#include <sqlite3.h>

namespace vellumark::sqlite {

namespace {

[[noreturn]] void fail(sqlite3* db, int code) {
    throw JournalError(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

void check(sqlite3* db, int code) {
    if (code != SQLITE_OK) {
        fail(db, code);
    }
}

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    check(db_, sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                  &statement_, nullptr));
}

Statement::~Statement() {
    sqlite3_finalize(statement_);
}

Statement& Statement::bind(int index, std::int64_t value) {
    check(db_, sqlite3_bind_int64(statement_, index, value));
    return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
    check(db_,
          sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::bindBlob(int index, std::string_view bytes) {
    check(db_, sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()),
                                 SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::bindNull(int index) {
    check(db_, sqlite3_bind_null(statement_, index));
    return *this;
}

bool Statement::step() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) {
        return true;
    }
    if (code == SQLITE_DONE) {
        return false;
    }
    const std::string reason = sqlite3_errmsg(db_);
    sqlite3_reset(statement_);
    throw JournalError(reason);
}

void Statement::run() {
    step();
    reset();
}

void Statement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::optional<std::int64_t> Statement::optionalInteger(int column) const {
    if (isNull(column)) {
        return std::nullopt;
    }
    return integer(column);
}

std::string Statement::text(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement_, column));
    return bytes != nullptr
               ? std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
               : std::string();
}

std::string_view Statement::blob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement_, column));
    return bytes != nullptr
               ? std::string_view(bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
               : std::string_view();
}

Database::Database(const std::string& path) {
    // No lock of SQLite's own around every call: binding the columns of a run's entries took as long as
    // inserting them. The owner uses the connection from one thread at a time.
    const int code = sqlite3_open_v2(
        path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        const std::string reason = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
        sqlite3_close(db_);
        throw JournalError(path + ": " + reason);
    }
    sqlite3_busy_timeout(db_, 2000);
}

Database::~Database() {
    sqlite3_close(db_);
}

void Database::execute(std::string_view sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string reason = message != nullptr ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        throw JournalError(reason);
    }
}

std::int64_t Database::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

Transaction::Transaction(Database& db) : db_(db) {
    db_.execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (open_) {
        try {
            db_.execute("ROLLBACK");
        } catch (const JournalError&) {
            // Nothing was committed; the database rolls back on its own when it cannot here.
        }
    }
}

void Transaction::commit() {
    db_.execute("COMMIT");
    open_ = false;
}

}  // namespace vellumark::sqlite
