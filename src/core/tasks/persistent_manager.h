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
struct TTaskEnvironment;

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
    TPersistentManager(const std::string& folder, const std::string& defaultCategoryPath);

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

    // Stores a new category under parentId and sets its ID.
    void InsertCategory(TConvertedNode& node, int parentId);
    void UpdateCategory(const TConvertedNode& node);
    // Deletes one category and its converted records (not its sub-categories: the tree
    // walks those).
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

    std::string file_;
    std::unique_ptr<SqliteDatabase> db_;
    bool sessionOnly_ = false;
};

}  // namespace tw
