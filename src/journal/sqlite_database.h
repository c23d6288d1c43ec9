#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace vellumark::sqlite {

// A prepared statement: bind from 1, step, read columns from 0. Reset before binding again.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::string_view text);
    // Bytes as a blob: paths are not text.
    Statement& bindBlob(int index, std::string_view bytes);
    Statement& bindNull(int index);
    template <typename T>
    Statement& bind(int index, const std::optional<T>& value) {
        return value ? bind(index, *value) : bindNull(index);
    }

    // True while there is a row to read; throws JournalError on failure.
    bool step();
    // step() for a statement that returns no rows, then reset().
    void run();
    void reset();

    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    std::optional<std::int64_t> optionalInteger(int column) const;
    std::string text(int column) const;
    // The column's bytes, until the next step or reset.
    std::string_view blob(int column) const;

private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

// One open database file, for one thread at a time. Every failure throws JournalError with the reason in
// plain words.
class Database {
public:
    explicit Database(const std::string& path);
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    void execute(std::string_view sql);
    Statement prepare(std::string_view sql) { return {db_, sql}; }
    std::int64_t lastInsertId() const;

private:
    sqlite3* db_ = nullptr;
};

// BEGIN IMMEDIATE now, COMMIT on commit(), ROLLBACK when left without it.
class Transaction {
public:
    explicit Transaction(Database& db);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    void commit();

private:
    Database& db_;
    bool open_ = true;
};

}  // namespace vellumark::sqlite
