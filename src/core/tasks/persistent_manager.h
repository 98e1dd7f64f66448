#pragma once

// The task database: unfinished tasks, converted-file records and their categories in the
// SQLite file "av.cfg" of the configuration folder. Every read and write is one of the fixed
// statements below; numbers go into the text in decimal, texts through "?" parameters. No
// transaction is held open: each statement takes effect by itself, so a crash loses nothing
// that was stored. UI thread only.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tasks/sqlite_database.h"
#include "util/string_list.h"

namespace tw {

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
    // holds (SetHeldTasks) is written into it, the user is told once, and the operation is
    // carried out on the new file. Other failures raise ESqliteError.
    TPersistentManager(const std::string& folder, const std::string& defaultCategoryPath);

    // Who holds the categories and tasks in memory; none: nothing is written back after damage.
    void SetHeldTasks(HeldTasks* held) { held_ = held; }

    const std::string& FileName() const { return file_; }
    // True when nothing done now reaches the file (see above).
    bool SessionOnly() const { return sessionOnly_; }
    SqliteDatabase& Database() { return *db_; }

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
    // is not converting, so that they survive the program.
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
};

}  // namespace tw
