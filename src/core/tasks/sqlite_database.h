#pragma once

// A thin owner of one SQLite connection and its prepared statements. Nothing here knows the
// program's tables; the persistence manager holds every statement text. Failures raise
// ESqliteError with SQLite's own message. A connection may be used from several threads (the
// library serializes the calls); a statement belongs to the thread that prepared it.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "util/av_error.h"

namespace tw {

// A failure of the SQLite library, with its (extended) result code.
class ESqliteError : public EAVError {
public:
    ESqliteError(const std::string& message, int code) : EAVError(message), code_(code) {}
    int Code() const { return code_; }
    // The file is not a database, or its content is damaged.
    bool IsDamage() const {
        return (code_ & 0xff) == SQLITE_NOTADB || (code_ & 0xff) == SQLITE_CORRUPT;
    }

private:
    int code_;
};

struct SqliteConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct SqliteStatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

using SqliteConnectionPtr = std::unique_ptr<sqlite3, SqliteConnectionCloser>;
using SqliteStatementPtr = std::unique_ptr<sqlite3_stmt, SqliteStatementFinalizer>;

class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, SqliteStatementPtr statement)
        : db_(db), statement_(std::move(statement)) {}

    int ParameterCount() const { return sqlite3_bind_parameter_count(statement_.get()); }
    // Parameters count from 1, as "?" stand in the text.
    void Bind(int index, const std::string& text);
    void Bind(int index, int64_t value);
    void BindNull(int index);

    // Runs one step; true while it yields a row.
    bool Step();
    // Runs the statement to its end.
    void Execute();

    // Columns of the current row, looked up by name (case-insensitive). A NULL reads as an
    // empty text or 0; a name the result lacks raises EAVError.
    std::string Text(const char* column) const;
    int64_t Integer(const char* column) const;
    bool IsNull(const char* column) const;
    // The same by position, from 0.
    int64_t Integer(int index) const;
    bool IsNull(int index) const;

private:
    int ColumnIndex(const char* column) const;
    [[noreturn]] void Fail(const char* what) const;

    sqlite3* db_;
    SqliteStatementPtr statement_;
};

class SqliteDatabase {
public:
    enum class Mode { ReadWrite, ReadWriteCreate, ReadOnly };

    // Opens file (":memory:" for a database in memory). Throws ESqliteError with
    // openFailureMessage when the library refuses the file.
    SqliteDatabase(const std::string& file, Mode mode, const std::string& openFailureMessage);

    SqliteStatement Prepare(const std::string& sql);
    // Runs statements without parameters (several may be separated by ';').
    void ExecuteScript(const std::string& sql);
    // The first column of the first row, if there is a row and its value is not NULL.
    std::optional<int64_t> QueryInteger(const std::string& sql);
    int64_t LastInsertRowId() const { return sqlite3_last_insert_rowid(db_.get()); }
    // Copies the whole content of source into this database.
    void CopyFrom(SqliteDatabase& source);

    sqlite3* Handle() const { return db_.get(); }

private:
    SqliteConnectionPtr db_;
};

}  // namespace tw
