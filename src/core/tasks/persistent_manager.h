#pragma once

// The task database: unfinished tasks, converted-file records and their categories in the
// SQLite file "av.cfg" of the configuration folder. Every read and write is one of the fixed
// statements below; numbers go into the text in decimal, texts through "?" parameters. No
// transaction is held open: each statement takes effect by itself, so a crash loses nothing
// that was stored.
//
// Called on the UI thread only. Writes do not make it wait for the disk: each write is queued
// with the values it stores and carried out, in the order asked for, by a writer thread of the
// manager's own. The identities of new rows are handed out at once (the program is the file's
// only writer). Reads wait until the writes queued before them are in the file, so they see
// everything done so far; the manager's end waits for every write.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tasks/sqlite_database.h"
#include "util/string_list.h"

namespace tw {

namespace platform {
class UiDispatcher;
}

class TAVTask;
class TConvertingNode;
class TConvertedNode;
class TPersistentManager;
struct TTaskEnvironment;

// What the program holds in memory (categories, unfinished tasks, converted tasks loaded), written
// into a database made anew when the file was damaged while the program ran.
class HeldTasks {
public:
    virtual ~HeldTasks() = default;
    virtual void WriteHeld(TPersistentManager& into) = 0;
};

class TPersistentManager {
public:
    static constexpr const char* kFileName = "av.cfg";

    // Opens folder/av.cfg. A missing file is created with both tables and the default category
    // (id 1, top level, the given folder). The program starts whatever state the file is in:
    //  - a file that is not a database, or a damaged one, is kept aside (KeepAside) and a new
    //    one takes its place;
    //  - a file that cannot be opened for writing (read-only, held by another program, a folder
    //    without write permission) leaves the manager working on a copy in memory for this
    //    session only (SessionOnly()), holding what the file holds when it can be read.
    // The user is told through the message service in both cases. Only a library that cannot
    // start raises EAVError: "Could not load SQLite library(<name>)".
    //
    // A file damaged while the program runs (written over, cut short) is noticed when an
    // operation fails: it is kept aside as at the start, a new one is made, what the program
    // holds (SetHeldTasks) is written into it, the user is told once, and the operation (with the
    // writes queued after it) is carried out on the new file; the writer waits meanwhile for the
    // UI thread, which does this. Other failures of a read raise ESqliteError; those of a write
    // are shown through the message service.
    //
    // uiThread: where the writer asks for such repairs and reports failures; none: the installed
    // dispatcher. It must outlive the manager.
    TPersistentManager(const std::string& folder, const std::string& defaultCategoryPath,
                       platform::UiDispatcher* uiThread = nullptr);
    // Waits until every queued write is in the file.
    ~TPersistentManager();
    TPersistentManager(const TPersistentManager&) = delete;
    TPersistentManager& operator=(const TPersistentManager&) = delete;

    // Who holds the categories and tasks in memory; none: nothing is written back after damage.
    void SetHeldTasks(HeldTasks* held) { held_ = held; }

    const std::string& FileName() const { return file_; }
    // True when nothing done now reaches the file (see above).
    bool SessionOnly() const { return sessionOnly_; }
    // The connection, once every write asked for so far is in the file.
    SqliteDatabase& Database();
    // Waits until every write asked for so far is in the file.
    void Flush();

    // The unfinished tasks, as stopped ones, appended to the node's tasks.
    void LoadConverting(TConvertingNode& node);
    // Frees the node's tasks, then loads its converted tasks, newest first.
    void LoadConverted(TConvertedNode& node);
    // The categories directly under parentId (-1: the top level), in the order stored.
    void LoadCategories(int parentId, TTaskEnvironment& environment,
                        std::vector<std::unique_ptr<TConvertedNode>>* list);

    // Stores a new unfinished task and sets its ID.
    void InsertTask(TAVTask& task);
    // Files the task as converted: settings with the converter's duration (and its input size
    // when the source's size is not known yet), the date, the category (the task's if it
    // exists, else 1) and the log. Returns the category used.
    int MarkConverted(TAVTask& task);
    void ClearStoredLog(const TAVTask& task);
    void DeleteTask(const TAVTask& task);
    // Stores an unfinished task's settings (with the figures known so far), its log and why it
    // is not converting (stopped, failed, waiting for its turn), so that they survive the
    // program.
    void StoreUnfinished(const TAVTask& task);
    // Files a converted task under another category (its settings carry the new id already).
    void MoveTask(const TAVTask& task, int categoryId);
    // How many converted records are filed under the category.
    int CountConverted(int categoryId);

    // Writing back what the program holds into a new database: the rows keep their ids.
    void RestoreCategory(const TConvertedNode& node, int parentId);
    void RestoreTask(const TAVTask& task);

    // Stores a new category under parentId and sets its ID.
    void InsertCategory(TConvertedNode& node, int parentId);
    void UpdateCategory(const TConvertedNode& node);
    // Deletes one category (not its sub-categories: the tree walks those). Its converted records
    // are filed under the default category; the files stay where they are.
    void DeleteCategory(const TConvertedNode& node);

    // The stored form of ConvertedDate: UTC, fixed width, so that text order is time order.
    static std::string DateText(std::chrono::system_clock::time_point time);
    // Reads DateText's form back; the epoch when the text is not one.
    static std::chrono::system_clock::time_point ParseDate(const std::string& text);
    // Lines each followed by CR LF, and back.
    static std::string JoinLog(const TStringList& lines);
    static TStringList SplitLog(const std::string& text);

private:
    // Opens (or creates) the file read-write and checks it; throws on any failure.
    void OpenFile(const std::string& folder, const std::string& defaultCategoryPath);
    // Moves a damaged file aside and opens a new one; the problem left (empty when solved).
    std::string KeepDamagedFileAside(const std::string& folder,
                                     const std::string& defaultCategoryPath,
                                     const std::string& damage);
    void OpenForSessionOnly(const std::string& defaultCategoryPath, const std::string& problem);
    void CreateSchema(const std::string& defaultCategoryPath);
    // Reads the categories there are and the identities new rows take next; the latter never go
    // back (tasks in memory keep theirs).
    void ReadIdentities();

    // Queues a write; the writer thread runs it after every write queued before it.
    void Write(std::function<void()> write);
    void ServeWrites();
    // Writer thread: runs a write, has a damaged file replaced and runs it again, reports the
    // rest.
    void CarryOut(const std::function<void()>& write);
    // Writer thread: asks the UI thread to replace the damaged file and waits; whether it was.
    bool AskForRecovery(const ESqliteError& failure);
    // UI thread: carries out a replacement the writer asked for, if one is waiting.
    void RecoverForWriter();

    // Runs operation; when it fails because the file was damaged meanwhile, replaces the file
    // (Recover) and runs it once more.
    template <typename Operation>
    auto Guarded(Operation operation) -> decltype(operation());
    // Whether the failure came from a damaged file; if so the file is replaced. False leaves
    // everything as it was.
    bool Recover(const ESqliteError& failure);
    // What is wrong with the file as a fresh connection sees it; empty when nothing is.
    std::string FileDamage() const;

    std::string file_;
    std::string folder_;
    std::string defaultCategoryPath_;
    std::unique_ptr<SqliteDatabase> db_;
    bool sessionOnly_ = false;
    HeldTasks* held_ = nullptr;
    bool recovering_ = false;
    // What exists, as the program knows it (UI thread): the category ids, and the next ids.
    std::set<int> categories_;
    int nextTaskId_ = 1;
    int nextCategoryId_ = 2;

    platform::UiDispatcher& uiThread_;
    // False once the manager is gone; read on the UI thread by what the writer posts there.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::mutex writeMutex_;  // guards the members below
    std::condition_variable writesChanged_;
    std::deque<std::function<void()>> writes_;
    bool writing_ = false;
    bool stopping_ = false;
    // A damage the writer found and waits for the UI thread to repair, and the answer.
    std::optional<ESqliteError> damage_;
    std::optional<bool> recovered_;
    std::thread writer_;
};

}  // namespace tw
