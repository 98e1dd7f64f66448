#include "tasks/sqlite_database.h"

#include <strings.h>

#include "util/av_error.h"
#include "util/format.h"

namespace tw {

namespace {

[[noreturn]] void Raise(sqlite3* db, const char* what) {
    throw ESqliteError(FormatPrintf("%s: %s", what, sqlite3_errmsg(db)),
                       sqlite3_extended_errcode(db));
}

}  // namespace

void SqliteStatement::Fail(const char* what) const {
    Raise(db_, what);
}

void SqliteStatement::Bind(int index, const std::string& text) {
    if (sqlite3_bind_text(statement_.get(), index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
        Fail("Database parameter");
    }
}

void SqliteStatement::Bind(int index, int64_t value) {
    if (sqlite3_bind_int64(statement_.get(), index, value) != SQLITE_OK) {
        Fail("Database parameter");
    }
}

void SqliteStatement::BindNull(int index) {
    if (sqlite3_bind_null(statement_.get(), index) != SQLITE_OK) {
        Fail("Database parameter");
    }
}

bool SqliteStatement::Step() {
    const int result = sqlite3_step(statement_.get());
    if (result == SQLITE_ROW) {
        return true;
    }
    if (result == SQLITE_DONE) {
        return false;
    }
    Fail("Database statement");
}

void SqliteStatement::Execute() {
    while (Step()) {
    }
}

int SqliteStatement::ColumnIndex(const char* column) const {
    const int count = sqlite3_column_count(statement_.get());
    for (int i = 0; i < count; ++i) {
        if (strcasecmp(sqlite3_column_name(statement_.get(), i), column) == 0) {
            return i;
        }
    }
    throw EAVError(FormatPrintf("Database column %s not found", column));
}

std::string SqliteStatement::Text(const char* column) const {
    const int index = ColumnIndex(column);
    const auto* text = sqlite3_column_text(statement_.get(), index);
    if (!text) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(statement_.get(), index)));
}

int64_t SqliteStatement::Integer(const char* column) const {
    return Integer(ColumnIndex(column));
}

bool SqliteStatement::IsNull(const char* column) const {
    return IsNull(ColumnIndex(column));
}

int64_t SqliteStatement::Integer(int index) const {
    return sqlite3_column_int64(statement_.get(), index);
}

bool SqliteStatement::IsNull(int index) const {
    return sqlite3_column_type(statement_.get(), index) == SQLITE_NULL;
}

SqliteDatabase::SqliteDatabase(const std::string& file, Mode mode,
                               const std::string& openFailureMessage) {
    sqlite3* handle = nullptr;
    // Serialized: the program writes on a thread of its own while the UI thread may read.
    const int flags = SQLITE_OPEN_FULLMUTEX |
                      (mode == Mode::ReadOnly          ? SQLITE_OPEN_READONLY
                       : mode == Mode::ReadWriteCreate ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                                       : SQLITE_OPEN_READWRITE);
    const int result = sqlite3_open_v2(file.c_str(), &handle, flags, nullptr);
    db_.reset(handle);  // the handle must be closed even when the open failed
    if (result != SQLITE_OK) {
        throw ESqliteError(openFailureMessage, result);
    }
    sqlite3_extended_result_codes(handle, 1);
    // Another instance of the program may hold the file for a moment.
    sqlite3_busy_timeout(handle, 5000);
}

SqliteStatement SqliteDatabase::Prepare(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    const int result = sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()),
                                          &statement, nullptr);
    SqliteStatementPtr owned(statement);
    if (result != SQLITE_OK || !owned) {
        Raise(db_.get(), "Database statement");
    }
    return SqliteStatement(db_.get(), std::move(owned));
}

void SqliteDatabase::ExecuteScript(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(db_.get());
        sqlite3_free(error);
        throw ESqliteError(FormatPrintf("Database statement: %s", message.c_str()),
                           sqlite3_extended_errcode(db_.get()));
    }
}

void SqliteDatabase::CopyFrom(SqliteDatabase& source) {
    sqlite3_backup* backup = sqlite3_backup_init(db_.get(), "main", source.db_.get(), "main");
    if (!backup) {
        Raise(db_.get(), "Database copy");
    }
    const int stepped = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    const int result = stepped != SQLITE_DONE ? stepped : finished;
    if (result != SQLITE_OK && result != SQLITE_DONE) {
        throw ESqliteError(FormatPrintf("Database copy: %s", sqlite3_errstr(result)), result);
    }
}

std::optional<int64_t> SqliteDatabase::QueryInteger(const std::string& sql) {
    SqliteStatement statement = Prepare(sql);
    if (!statement.Step()) {
        return std::nullopt;
    }
    if (statement.IsNull(0)) {
        return std::nullopt;
    }
    return statement.Integer(0);
}

}  // namespace tw
