#include "tasks/persistent_manager.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "platform/message_service.h"
#include "tasks/av_task.h"
#include "tasks/node_object.h"
#include "util/format.h"
#include "util/settings_xml.h"
#include "util/text_file.h"

namespace tw {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultCategoryName = "Default";

std::string WithId(const char* statement, int64_t id) {
    return statement + std::to_string(id);
}

// A row whose settings text cannot be read is left in the file untouched and not listed.
std::unique_ptr<TConversionSettings> ReadRowSettings(const SqliteStatement& row) {
    auto settings = std::make_unique<TConversionSettings>();
    try {
        ReadSettingsXml(row.Text("ConvertSettings"), *settings);
    } catch (const EAVError& e) {
        platform::Messages().ShowError(FormatPrintf("The stored task %lld could not be read: %s",
                                                    static_cast<long long>(row.Integer("ID")),
                                                    e.what()));
        return nullptr;
    }
    return settings;
}

}  // namespace

TPersistentManager::TPersistentManager(const std::string& folder,
                                       const std::string& defaultCategoryPath)
    : file_(folder + "/" + kFileName) {
    if (sqlite3_initialize() != SQLITE_OK) {
        throw EAVError(FormatPrintf("Could not load SQLite library(%s)", "libsqlite3.so.0"));
    }
    std::string problem;
    try {
        OpenFile(folder, defaultCategoryPath);
        return;
    } catch (const ESqliteError& e) {
        if (!e.IsDamage()) {
            problem = FormatPrintf("Can not open Database %s (%s)", file_.c_str(), e.what());
        } else {
            db_.reset();
            problem = KeepDamagedFileAside(folder, defaultCategoryPath, e.what());
            if (problem.empty()) {
                return;
            }
        }
    } catch (const EAVError& e) {
        problem = e.what();
    }
    OpenForSessionOnly(defaultCategoryPath, problem);
}

void TPersistentManager::OpenFile(const std::string& folder,
                                  const std::string& defaultCategoryPath) {
    std::error_code error;
    if (!fs::exists(file_, error)) {
        fs::create_directories(folder, error);
        if (error) {
            throw EAVError(FormatPrintf("Database %s does not exist and could not be created (%s)",
                                        file_.c_str(), error.message().c_str()));
        }
    }
    db_ = std::make_unique<SqliteDatabase>(file_, SqliteDatabase::Mode::ReadWriteCreate,
                                           "Can not open Database " + file_);
    // The library reads a file lazily: damage shows only when the content is looked at.
    SqliteStatement check = db_->Prepare("pragma quick_check");
    if (check.Step() && check.Text("quick_check") != "ok") {
        throw ESqliteError("Database check: " + check.Text("quick_check"), SQLITE_CORRUPT);
    }
    CreateSchema(defaultCategoryPath);
}

std::string TPersistentManager::KeepDamagedFileAside(const std::string& folder,
                                                     const std::string& defaultCategoryPath,
                                                     const std::string& damage) {
    const fs::path kept = KeepAside(file_);
    if (kept.empty()) {
        return FormatPrintf("The task database %s is damaged (%s) and could not be moved aside",
                            file_.c_str(), damage.c_str());
    }
    try {
        OpenFile(folder, defaultCategoryPath);
    } catch (const EAVError& e) {
        return FormatPrintf(
            "The task database %s was damaged (%s) and was kept as %s; a new "
            "one could not be made (%s)",
            file_.c_str(), damage.c_str(), kept.c_str(), e.what());
    }
    platform::Messages().ShowError(
        FormatPrintf("The task database %s was damaged (%s). It was kept as %s and a new, empty "
                     "one was made.",
                     file_.c_str(), damage.c_str(), kept.c_str()));
    return {};
}

void TPersistentManager::OpenForSessionOnly(const std::string& defaultCategoryPath,
                                            const std::string& problem) {
    db_ = std::make_unique<SqliteDatabase>(":memory:", SqliteDatabase::Mode::ReadWriteCreate,
                                           "Can not open Database in memory");
    sessionOnly_ = true;
    // What the file holds is shown when it can be read at all (a read-only file, a folder
    // without write permission, a file another program holds).
    bool copied = false;
    try {
        SqliteDatabase stored(file_, SqliteDatabase::Mode::ReadOnly, problem);
        // A file another program holds was waited for already.
        sqlite3_busy_timeout(stored.Handle(), 0);
        db_->CopyFrom(stored);
        copied = true;
    } catch (const EAVError&) {
    }
    try {
        CreateSchema(defaultCategoryPath);
    } catch (const EAVError&) {
        // A copy that does not hold our tables in a usable form is dropped.
        db_ = std::make_unique<SqliteDatabase>(":memory:", SqliteDatabase::Mode::ReadWriteCreate,
                                               "Can not open Database in memory");
        CreateSchema(defaultCategoryPath);
        copied = false;
    }
    platform::Messages().ShowError(FormatPrintf(
        "%s. %s", problem.c_str(),
        copied ? "The stored tasks are shown, but changes made now will not be kept."
               : "The stored tasks cannot be shown, and tasks added now will not be kept."));
}

void TPersistentManager::CreateSchema(const std::string& defaultCategoryPath) {
    // One transaction, so that a first start cut short leaves either nothing or everything.
    db_->ExecuteScript(
        "begin immediate;"
        "create table if not exists Conversions(ID integer primary key autoincrement, "
        "Converting Boolean, ConvertSettings memo, ConvertedDate datetime, CategoryId integer, "
        "Log memo);"
        "create table if not exists Categories(ID integer primary key autoincrement, "
        "Category varchar(255), Path varchar(1024), Parent integer);");
    try {
        SqliteStatement insert = db_->Prepare(
            "insert into Categories(ID, Category, Path, Parent) select 1, ?, ?, -1 "
            "where not exists (select ID from Categories where ID=1)");
        insert.Bind(1, std::string(kDefaultCategoryName));
        insert.Bind(2, defaultCategoryPath);
        insert.Execute();
        db_->ExecuteScript("commit");
    } catch (...) {
        sqlite3_exec(db_->Handle(), "rollback", nullptr, nullptr, nullptr);
        throw;
    }
}

void TPersistentManager::LoadConverting(TConvertingNode& node) {
    SqliteStatement rows = db_->Prepare("select * from Conversions where Converting=1");
    while (rows.Step()) {
        std::unique_ptr<TConversionSettings> settings = ReadRowSettings(rows);
        if (!settings) {
            continue;
        }
        // The category the user chose travels in the settings; it decides the filing.
        const int categoryId = settings->CategoryId();
        auto task = std::make_unique<TConvertingTask>(std::move(settings), node.ListView(),
                                                      node.Environment());
        task->SetID(static_cast<int>(rows.Integer("ID")));
        task->SetLog(SplitLog(rows.Text("Log")));
        task->SetStatus(stError);
        task->SetCategory(&node);
        task->SetCategoryId(categoryId);
        node.AppendTask(std::move(task));
    }
}

void TPersistentManager::LoadConverted(TConvertedNode& node) {
    node.ClearTasks();
    SqliteStatement rows = db_->Prepare(FormatPrintf(
        "select * from Conversions where Converting=0 and CategoryId=%d order by ConvertedDate "
        "desc",
        node.ID()));
    while (rows.Step()) {
        std::unique_ptr<TConversionSettings> settings = ReadRowSettings(rows);
        if (!settings) {
            continue;
        }
        auto task = std::make_unique<TConvertingTask>(std::move(settings), node.ListView(),
                                                      node.Environment());
        task->SetID(static_cast<int>(rows.Integer("ID")));
        task->SetDate(ParseDate(rows.Text("ConvertedDate")));
        task->SetLog(SplitLog(rows.Text("Log")));
        task->SetCategoryId(node.ID());
        task->SetStatus(stFinished);
        task->SetCategory(&node);
        task->SetIsConverted(true);
        node.AppendTask(std::move(task));
    }
}

void TPersistentManager::LoadCategories(int parentId, TTaskEnvironment& environment,
                                        std::vector<std::unique_ptr<TConvertedNode>>* list) {
    TW_ASSERT(list != nullptr);
    SqliteStatement rows = db_->Prepare(WithId("select * from Categories where Parent=", parentId));
    while (rows.Step()) {
        list->push_back(std::make_unique<TConvertedNode>(environment,
                                                         static_cast<int>(rows.Integer("ID")),
                                                         rows.Text("Category"), rows.Text("Path")));
    }
}

void TPersistentManager::InsertTask(TAVTask& task) {
    TW_ASSERT(task.HasConverter());
    SqliteStatement insert =
        db_->Prepare("insert into Conversions(Converting, ConvertSettings) values(1, ?)");
    insert.Bind(1, WriteSettingsXml(task.Settings()));
    insert.Execute();
    task.SetID(static_cast<int>(db_->LastInsertRowId()));
}

int TPersistentManager::MarkConverted(TAVTask& task) {
    task.Settings().SetDuration(task.Converter().Duration());
    // The size is otherwise only taken when the row is painted; a run that ends before that
    // would be filed with a source of 0 KB.
    if (task.Settings().SourceFileSize() == 0) {
        task.Settings().SetSourceFileSize(task.Converter().InputSize());
    }
    SqliteStatement update = db_->Prepare(WithId(
        "update conversions set Converting=0, ConvertSettings=?, ConvertedDate=?, CategoryId=?, "
        "Log=? where ID=",
        task.ID()));
    TW_ASSERT(update.ParameterCount() == 4);
    const auto now = std::chrono::system_clock::now();
    const std::optional<int64_t> found =
        db_->QueryInteger(WithId("select ID from Categories where ID=", task.CategoryId()));
    const int categoryId = found ? static_cast<int>(*found) : 1;
    update.Bind(1, WriteSettingsXml(task.Settings()));
    update.Bind(2, DateText(now));
    update.Bind(3, int64_t{categoryId});
    update.Bind(4, JoinLog(task.Log()));
    update.Execute();
    task.SetDate(now);
    return categoryId;
}

void TPersistentManager::ClearStoredLog(const TAVTask& task) {
    SqliteStatement update =
        db_->Prepare(WithId("update conversions set Log=NULL where ID=", task.ID()));
    TW_ASSERT(update.ParameterCount() == 0);
    update.Execute();
}

void TPersistentManager::DeleteTask(const TAVTask& task) {
    db_->Prepare(WithId("delete from conversions where ID=", task.ID())).Execute();
}

void TPersistentManager::InsertCategory(TConvertedNode& node, int parentId) {
    SqliteStatement insert =
        db_->Prepare("insert into categories(Category, Path, Parent) values(?, ?, ?)");
    TW_ASSERT(insert.ParameterCount() == 3);
    insert.Bind(1, node.CategoryName());
    insert.Bind(2, node.Path());
    insert.Bind(3, int64_t{parentId});
    insert.Execute();
    node.SetID(static_cast<int>(db_->LastInsertRowId()));
}

void TPersistentManager::UpdateCategory(const TConvertedNode& node) {
    SqliteStatement update =
        db_->Prepare(WithId("update categories set category=?, path=? where ID=", node.ID()));
    TW_ASSERT(update.ParameterCount() == 2);
    update.Bind(1, node.CategoryName());
    update.Bind(2, node.Path());
    update.Execute();
}

void TPersistentManager::DeleteCategory(const TConvertedNode& node) {
    TW_ASSERT(node.ID() != 1);
    db_->Prepare(WithId("delete from categories where ID=", node.ID())).Execute();
    db_->Prepare(WithId("delete from conversions where CategoryID=", node.ID())).Execute();
}

std::string TPersistentManager::DateText(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count();
    std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    int millis = static_cast<int>(ms % 1000);
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    return FormatPrintf("%04d-%02d-%02d %02d:%02d:%02d.%03d", utc.tm_year + 1900, utc.tm_mon + 1,
                        utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
}

std::chrono::system_clock::time_point TPersistentManager::ParseDate(const std::string& text) {
    std::tm utc{};
    int millis = 0;
    const int fields = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%d", &utc.tm_year, &utc.tm_mon,
                                   &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &millis);
    if (fields < 6) {
        return {};
    }
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    const std::time_t seconds = timegm(&utc);
    return std::chrono::system_clock::from_time_t(seconds) + std::chrono::milliseconds(millis);
}

std::string TPersistentManager::JoinLog(const TStringList& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

TStringList TPersistentManager::SplitLog(const std::string& text) {
    TStringList lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') {
            --stop;
        }
        lines.push_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace tw
