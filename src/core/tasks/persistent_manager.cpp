#include "tasks/persistent_manager.h"

#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "platform/message_service.h"
#include "platform/ui_dispatcher.h"
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

// One stored task as read, before anything is made of it.
struct StoredRow {
    int64_t id = 0;
    std::string settings;
    std::string date;
    std::string log;
    std::string endState;
};

std::vector<StoredRow> ReadRows(SqliteDatabase& db, const std::string& sql) {
    std::vector<StoredRow> rows;
    SqliteStatement query = db.Prepare(sql);
    while (query.Step()) {
        rows.push_back({query.Integer("ID"), query.Text("ConvertSettings"),
                        query.Text("ConvertedDate"), query.Text("Log"), query.Text("EndState")});
    }
    return rows;
}

// A row whose settings text cannot be read is left in the file untouched and not listed.
std::unique_ptr<TConversionSettings> ReadRowSettings(const StoredRow& row) {
    auto settings = std::make_unique<TConversionSettings>();
    try {
        ReadSettingsXml(row.settings, *settings);
    } catch (const EAVError& e) {
        platform::Messages().ShowError(FormatPrintf("The stored task %lld could not be read: %s",
                                                    static_cast<long long>(row.id), e.what()));
        return nullptr;
    }
    return settings;
}

// A task stored while it waited for its turn waits again, paused if it was held back.
void RestoreEndState(TAVTask& task, const std::string& stored) {
    if (stored == "Waiting" || stored == "Held") {
        task.SetStatus(stored == "Held" ? stPaused : stWaiting);
        task.SetQueued(true);
        return;
    }
    task.SetStatus(stError);
    task.SetEnd(stored == "Failed"    ? TaskEnd::Failed
                : stored == "Stopped" ? TaskEnd::Stopped
                                      : TaskEnd::Interrupted);
}

// What StoreUnfinished keeps of why a task is not converting; NULL while it converts and for a
// task the program's end cut off.
const char* EndStateText(const TAVTask& task) {
    if (task.Queued()) {
        return task.Status() == stPaused ? "Held" : "Waiting";
    }
    if (task.Status() != stError) {
        return nullptr;
    }
    switch (task.End()) {
        case TaskEnd::Stopped:
            return "Stopped";
        case TaskEnd::Failed:
            return "Failed";
        case TaskEnd::Interrupted:
            break;
    }
    return nullptr;
}

}  // namespace

TPersistentManager::TPersistentManager(const std::string& folder,
                                       const std::string& defaultCategoryPath,
                                       platform::UiDispatcher* uiThread)
    : file_(folder + "/" + kFileName),
      folder_(folder),
      defaultCategoryPath_(defaultCategoryPath),
      uiThread_(uiThread ? *uiThread : platform::Dispatcher()) {
    if (sqlite3_initialize() != SQLITE_OK) {
        throw EAVError(FormatPrintf("Could not load SQLite library(%s)", "libsqlite3.so.0"));
    }
    std::string problem;
    try {
        OpenFile(folder, defaultCategoryPath);
    } catch (const ESqliteError& e) {
        if (!e.IsDamage()) {
            problem = FormatPrintf("Can not open Database %s (%s)", file_.c_str(), e.what());
        } else {
            db_.reset();
            problem = KeepDamagedFileAside(folder, defaultCategoryPath, e.what());
        }
    } catch (const EAVError& e) {
        problem = e.what();
    }
    if (!problem.empty()) {
        OpenForSessionOnly(defaultCategoryPath, problem);
    }
    ReadIdentities();
    writer_ = std::thread([this] { ServeWrites(); });
}

TPersistentManager::~TPersistentManager() {
    Flush();
    {
        std::lock_guard lock(writeMutex_);
        stopping_ = true;
    }
    writesChanged_.notify_all();
    writer_.join();
    *alive_ = false;
}

SqliteDatabase& TPersistentManager::Database() {
    Flush();
    return *db_;
}

void TPersistentManager::ReadIdentities() {
    categories_.clear();
    SqliteStatement query = db_->Prepare("select ID from Categories");
    while (query.Step()) {
        categories_.insert(static_cast<int>(query.Integer(0)));
    }
    // Autoincrement never hands out an id again, not even a deleted row's; neither do we.
    const auto next = [this](const char* table, int current) {
        const int64_t sequence =
            db_->QueryInteger(
                   FormatPrintf("select seq from sqlite_sequence where name='%s'", table))
                .value_or(0);
        const int64_t highest =
            db_->QueryInteger(FormatPrintf("select max(ID) from %s", table)).value_or(0);
        return std::max<int>(current, static_cast<int>(std::max(sequence, highest)) + 1);
    };
    nextTaskId_ = next("Conversions", nextTaskId_);
    nextCategoryId_ = next("Categories", nextCategoryId_);
}

void TPersistentManager::Write(std::function<void()> write) {
    {
        std::lock_guard lock(writeMutex_);
        writes_.push_back(std::move(write));
    }
    writesChanged_.notify_all();
}

void TPersistentManager::Flush() {
    std::unique_lock lock(writeMutex_);
    for (;;) {
        if (damage_) {
            // The writer waits for this thread to repair the file.
            lock.unlock();
            RecoverForWriter();
            lock.lock();
            continue;
        }
        if (writes_.empty() && !writing_) {
            return;
        }
        writesChanged_.wait(lock);
    }
}

void TPersistentManager::ServeWrites() {
    pthread_setname_np(pthread_self(), "Task database");
    std::unique_lock lock(writeMutex_);
    for (;;) {
        writesChanged_.wait(lock, [this] { return stopping_ || !writes_.empty(); });
        if (writes_.empty()) {
            return;
        }
        const std::function<void()> write = std::move(writes_.front());
        writes_.pop_front();
        writing_ = true;
        lock.unlock();
        CarryOut(write);
        lock.lock();
        writing_ = false;
        writesChanged_.notify_all();
    }
}

void TPersistentManager::CarryOut(const std::function<void()>& write) {
    std::string failure;
    try {
        write();
        return;
    } catch (const ESqliteError& e) {
        if (!AskForRecovery(e)) {
            failure = e.what();
        }
    } catch (const EAVError& e) {
        failure = e.what();
    }
    if (failure.empty()) {
        // On the new file.
        try {
            write();
            return;
        } catch (const EAVError& e) {
            failure = e.what();
        }
    }
    // Said once the UI thread is free; the program goes on with what it holds.
    uiThread_.Post(
        [text = FormatPrintf("The task database %s could not store a change: %s", file_.c_str(),
                             failure.c_str())] { platform::Messages().ShowError(text); });
}

bool TPersistentManager::AskForRecovery(const ESqliteError& failure) {
    {
        std::lock_guard lock(writeMutex_);
        damage_ = failure;
        recovered_.reset();
    }
    writesChanged_.notify_all();
    // Either the UI thread's loop runs this, or a Flush waiting there does it first.
    uiThread_.Post([this, alive = alive_] {
        if (*alive) {
            RecoverForWriter();
        }
    });
    std::unique_lock lock(writeMutex_);
    writesChanged_.wait(lock, [this] { return recovered_.has_value(); });
    const bool recovered = *recovered_;
    recovered_.reset();
    return recovered;
}

void TPersistentManager::RecoverForWriter() {
    std::optional<ESqliteError> failure;
    {
        std::lock_guard lock(writeMutex_);
        failure.swap(damage_);
    }
    if (!failure) {
        return;
    }
    const bool recovered = Recover(*failure);
    {
        std::lock_guard lock(writeMutex_);
        recovered_ = recovered;
    }
    writesChanged_.notify_all();
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
        // Why an unfinished task is not converting ("Stopped", "Failed"; empty: it was cut off).
        // Added to files of earlier versions; their readers skip it.
        bool hasEndState = false;
        SqliteStatement columns = db_->Prepare("pragma table_info(Conversions)");
        while (columns.Step()) {
            hasEndState = hasEndState || columns.Text("name") == "EndState";
        }
        if (!hasEndState) {
            db_->ExecuteScript("alter table Conversions add column EndState varchar(16)");
        }
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

template <typename Operation>
auto TPersistentManager::Guarded(Operation operation) -> decltype(operation()) {
    try {
        return operation();
    } catch (const ESqliteError& e) {
        if (!Recover(e)) {
            throw;
        }
    }
    return operation();
}

void TPersistentManager::LoadConverting(TConvertingNode& node) {
    Flush();
    const std::vector<StoredRow> rows =
        Guarded([this] { return ReadRows(*db_, "select * from Conversions where Converting=1"); });
    for (const StoredRow& row : rows) {
        std::unique_ptr<TConversionSettings> settings = ReadRowSettings(row);
        if (!settings) {
            continue;
        }
        // The category the user chose travels in the settings; it decides the filing.
        const int categoryId = settings->CategoryId();
        auto task = std::make_unique<TConvertingTask>(std::move(settings), node.ListView(),
                                                      node.Environment());
        task->SetID(static_cast<int>(row.id));
        task->SetLog(SplitLog(row.log));
        RestoreEndState(*task, row.endState);
        task->SetCategory(&node);
        task->SetCategoryId(categoryId);
        node.AppendTask(std::move(task));
    }
}

void TPersistentManager::LoadConverted(TConvertedNode& node) {
    // Read before the node lets go of its tasks: a damaged file is replaced by one holding them.
    Flush();
    const std::vector<StoredRow> rows = Guarded([this, &node] {
        return ReadRows(*db_, FormatPrintf("select * from Conversions where Converting=0 and "
                                           "CategoryId=%d order by ConvertedDate desc",
                                           node.ID()));
    });
    node.ClearTasks();
    for (const StoredRow& row : rows) {
        std::unique_ptr<TConversionSettings> settings = ReadRowSettings(row);
        if (!settings) {
            continue;
        }
        auto task = std::make_unique<TConvertingTask>(std::move(settings), node.ListView(),
                                                      node.Environment());
        task->SetID(static_cast<int>(row.id));
        task->SetDate(ParseDate(row.date));
        task->SetLog(SplitLog(row.log));
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
    Flush();
    struct Row {
        int id;
        std::string name;
        std::string path;
    };
    const std::vector<Row> rows = Guarded([this, parentId] {
        std::vector<Row> read;
        SqliteStatement query =
            db_->Prepare(WithId("select * from Categories where Parent=", parentId));
        while (query.Step()) {
            read.push_back({static_cast<int>(query.Integer("ID")), query.Text("Category"),
                            query.Text("Path")});
        }
        return read;
    });
    for (const Row& row : rows) {
        list->push_back(std::make_unique<TConvertedNode>(environment, row.id, row.name, row.path));
    }
}

void TPersistentManager::InsertTask(TAVTask& task) {
    TW_ASSERT(task.HasConverter());
    const int id = nextTaskId_++;
    task.SetID(id);
    // "or ignore": after a damaged file was replaced, the row may be in the new one already.
    Write([this, id, settings = WriteSettingsXml(task.Settings())] {
        SqliteStatement insert = db_->Prepare(FormatPrintf(
            "insert or ignore into Conversions(ID, Converting, ConvertSettings) values(%d, 1, ?)",
            id));
        insert.Bind(1, settings);
        insert.Execute();
    });
}

int TPersistentManager::MarkConverted(TAVTask& task) {
    task.Settings().SetDuration(task.Converter().Duration());
    // The size is otherwise only taken when the row is painted; a run that ends before that
    // would be filed with a source of 0 KB.
    if (task.Settings().SourceFileSize() == 0) {
        task.Settings().SetSourceFileSize(task.Converter().InputSize());
    }
    const auto now = std::chrono::system_clock::now();
    const int filedUnder = categories_.count(task.CategoryId()) != 0 ? task.CategoryId() : 1;
    Write([this, id = task.ID(), settings = WriteSettingsXml(task.Settings()), date = DateText(now),
           filedUnder, log = JoinLog(task.Log())] {
        SqliteStatement update = db_->Prepare(
            WithId("update conversions set Converting=0, ConvertSettings=?, ConvertedDate=?, "
                   "CategoryId=?, Log=? where ID=",
                   id));
        TW_ASSERT(update.ParameterCount() == 4);
        update.Bind(1, settings);
        update.Bind(2, date);
        update.Bind(3, int64_t{filedUnder});
        update.Bind(4, log);
        update.Execute();
        if (sqlite3_changes(db_->Handle()) != 0) {
            return;
        }
        // The row went with a damaged file that was replaced after the task had left the
        // program's lists: filed anew.
        SqliteStatement insert = db_->Prepare(
            "insert into Conversions(ID, Converting, ConvertSettings, ConvertedDate, CategoryId, "
            "Log) values(?, 0, ?, ?, ?, ?)");
        insert.Bind(1, int64_t{id});
        insert.Bind(2, settings);
        insert.Bind(3, date);
        insert.Bind(4, int64_t{filedUnder});
        insert.Bind(5, log);
        insert.Execute();
    });
    task.SetDate(now);
    return filedUnder;
}

void TPersistentManager::ClearStoredLog(const TAVTask& task) {
    Write([this, id = task.ID()] {
        SqliteStatement update =
            db_->Prepare(WithId("update conversions set Log=NULL where ID=", id));
        TW_ASSERT(update.ParameterCount() == 0);
        update.Execute();
    });
}

void TPersistentManager::DeleteTask(const TAVTask& task) {
    Write([this, id = task.ID()] {
        db_->Prepare(WithId("delete from conversions where ID=", id)).Execute();
    });
}

void TPersistentManager::StoreUnfinished(const TAVTask& task) {
    const char* endState = EndStateText(task);
    Write([this, id = task.ID(), settings = WriteSettingsXml(task.Settings()),
           log = JoinLog(task.Log()),
           endState = endState ? std::optional<std::string>(endState) : std::nullopt] {
        SqliteStatement update = db_->Prepare(FormatPrintf(
            "update conversions set ConvertSettings=?, Log=?, EndState=? where ID=%d and "
            "Converting=1",
            id));
        update.Bind(1, settings);
        update.Bind(2, log);
        if (endState) {
            update.Bind(3, *endState);
        } else {
            update.BindNull(3);
        }
        update.Execute();
    });
}

void TPersistentManager::MoveTask(const TAVTask& task, int categoryId) {
    Write([this, id = task.ID(), categoryId, settings = WriteSettingsXml(task.Settings())] {
        SqliteStatement update = db_->Prepare(
            FormatPrintf("update conversions set CategoryId=%d, ConvertSettings=? where ID=%d and "
                         "Converting=0",
                         categoryId, id));
        update.Bind(1, settings);
        update.Execute();
    });
}

int TPersistentManager::CountConverted(int categoryId) {
    Flush();
    return Guarded([this, categoryId] {
        return static_cast<int>(
            db_->QueryInteger(WithId("select count(*) from Conversions where Converting=0 and "
                                     "CategoryId=",
                                     categoryId))
                .value_or(0));
    });
}

void TPersistentManager::InsertCategory(TConvertedNode& node, int parentId) {
    const int id = nextCategoryId_++;
    node.SetID(id);
    categories_.insert(id);
    Write([this, id, name = node.CategoryName(), path = node.Path(), parentId] {
        SqliteStatement insert = db_->Prepare(
            WithId("insert or ignore into categories(ID, Category, Path, Parent) values(?, ?, ?, ",
                   parentId) +
            ")");
        TW_ASSERT(insert.ParameterCount() == 3);
        insert.Bind(1, int64_t{id});
        insert.Bind(2, name);
        insert.Bind(3, path);
        insert.Execute();
    });
}

void TPersistentManager::UpdateCategory(const TConvertedNode& node) {
    Write([this, id = node.ID(), name = node.CategoryName(), path = node.Path()] {
        SqliteStatement update =
            db_->Prepare(WithId("update categories set category=?, path=? where ID=", id));
        TW_ASSERT(update.ParameterCount() == 2);
        update.Bind(1, name);
        update.Bind(2, path);
        update.Execute();
    });
}

void TPersistentManager::DeleteCategory(const TConvertedNode& node) {
    TW_ASSERT(node.ID() != 1);
    categories_.erase(node.ID());
    Write([this, id = node.ID()] {
        db_->Prepare(WithId("delete from categories where ID=", id)).Execute();
        db_->Prepare(WithId("update conversions set CategoryId=1 where CategoryId=", id)).Execute();
    });
}

void TPersistentManager::RestoreCategory(const TConvertedNode& node, int parentId) {
    categories_.insert(node.ID());
    SqliteStatement insert =
        db_->Prepare(FormatPrintf("insert or replace into Categories(ID, Category, Path, Parent) "
                                  "values(%d, ?, ?, %d)",
                                  node.ID(), parentId));
    insert.Bind(1, node.CategoryName());
    insert.Bind(2, node.Path());
    insert.Execute();
}

void TPersistentManager::RestoreTask(const TAVTask& task) {
    if (task.ID() <= 0) {
        return;  // not stored yet: its insert comes later
    }
    SqliteStatement insert = db_->Prepare(
        "insert or replace into Conversions(ID, Converting, ConvertSettings, ConvertedDate, "
        "CategoryId, Log, EndState) values(?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, int64_t{task.ID()});
    insert.Bind(2, int64_t{task.IsConverted() ? 0 : 1});
    insert.Bind(3, WriteSettingsXml(task.Settings()));
    if (task.IsConverted()) {
        insert.Bind(4, DateText(task.Date()));
        insert.Bind(5, int64_t{task.CategoryId()});
        insert.BindNull(7);
    } else {
        insert.BindNull(4);
        insert.BindNull(5);
        if (const char* endState = EndStateText(task)) {
            insert.Bind(7, std::string(endState));
        } else {
            insert.BindNull(7);
        }
    }
    insert.Bind(6, JoinLog(task.Log()));
    insert.Execute();
}

std::string TPersistentManager::FileDamage() const {
    try {
        SqliteDatabase fresh(file_, SqliteDatabase::Mode::ReadOnly, "Can not open Database");
        SqliteStatement check = fresh.Prepare("pragma quick_check");
        if (check.Step() && check.Text("quick_check") != "ok") {
            return check.Text("quick_check");
        }
        const std::optional<int64_t> tables = fresh.QueryInteger(
            "select count(*) from sqlite_master where type='table' and name in ('Conversions', "
            "'Categories')");
        if (tables.value_or(0) != 2) {
            return "the file no longer holds the task tables";
        }
    } catch (const ESqliteError& e) {
        if (e.IsDamage()) {
            return e.what();
        }
    } catch (const EAVError&) {
    }
    return {};
}

bool TPersistentManager::Recover(const ESqliteError& failure) {
    if (sessionOnly_ || recovering_) {
        return false;
    }
    std::string damage = failure.IsDamage() ? failure.what() : FileDamage();
    if (damage.empty()) {
        return false;
    }
    recovering_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{recovering_};
    db_.reset();
    const fs::path kept = KeepAside(file_);
    std::string problem;
    if (kept.empty()) {
        problem = FormatPrintf("The task database %s was damaged (%s) and could not be moved aside",
                               file_.c_str(), damage.c_str());
    } else {
        try {
            OpenFile(folder_, defaultCategoryPath_);
        } catch (const EAVError& e) {
            problem = FormatPrintf(
                "The task database %s was damaged (%s) and was kept as %s; a new one could not "
                "be made (%s)",
                file_.c_str(), damage.c_str(), kept.c_str(), e.what());
        }
    }
    if (problem.empty()) {
        try {
            if (held_) {
                held_->WriteHeld(*this);
            }
        } catch (const EAVError& e) {
            problem = FormatPrintf(
                "The task database %s was damaged (%s) and was kept as %s; the tasks could not "
                "be written into a new one (%s)",
                file_.c_str(), damage.c_str(), kept.c_str(), e.what());
        }
    }
    if (!problem.empty()) {
        // What the program holds stays usable for this session.
        db_ = std::make_unique<SqliteDatabase>(":memory:", SqliteDatabase::Mode::ReadWriteCreate,
                                               "Can not open Database in memory");
        sessionOnly_ = true;
        CreateSchema(defaultCategoryPath_);
        if (held_) {
            held_->WriteHeld(*this);
        }
        platform::Messages().ShowError(FormatPrintf(
            "%s. The tasks are kept for this session, but changes made now will not be kept.",
            problem.c_str()));
    } else {
        platform::Messages().ShowError(FormatPrintf(
            "The task database %s was damaged while the program ran (%s). It was kept as %s and "
            "a new one was made with the categories and tasks shown now.",
            file_.c_str(), damage.c_str(), kept.c_str()));
    }
    ReadIdentities();
    return true;
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
