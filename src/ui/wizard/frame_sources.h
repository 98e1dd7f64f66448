#pragma once

// The wizard's files when several are converted alike: "Add folder…" ("btnAddFolder") with "With
// subfolders" ("chkSubfolders") lists a folder's media files; the list ("lstSources") shows each
// file with what its examination found (being checked, ready, or refused with the reason), and
// "Remove" ("btnRemoveSource") takes the selected ones out. The list and Remove show only while
// two files or more are listed: the wizard takes a single file as its one source. A file listed
// twice (under any name) is listed once. Folders are listed and files examined on the work pool,
// which the frame must not outlive. UI thread only.

#include <QStringList>
#include <QWidget>
#include <vector>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace tw::platform {
class WorkPool;
}

namespace tw::ui {

class BusySpinner;

class TFrameSources : public QWidget {
    Q_OBJECT

public:
    enum class State { Checking, Ready, Refused };
    struct Source {
        QString file;
        State state = State::Checking;
        QString reason;  // why it is refused
        int id = 0;
    };

    TFrameSources(platform::WorkPool& background, QWidget* parent = nullptr);

    // Lists these files, in this order, each examined unless it was listed already.
    void SetFiles(const QStringList& files);
    // Lists the media files of the folders; folderListed tells what was found.
    void ListFolders(const QStringList& folders);

    const std::vector<Source>& Sources() const { return sources_; }
    QStringList Files() const;
    QStringList ReadyFiles() const;
    // A file is being examined or a folder listed.
    bool Busy() const;

signals:
    // The files, or what was found of one, changed.
    void changed();
    // A folder's media files were listed (never none: a folder without any says so itself).
    void folderListed(const QStringList& files);

private:
    void AddFolder();
    void RemoveSelected();
    void Examine(const Source& source);
    void Show();

    platform::WorkPool& background_;
    QPushButton* btnAddFolder_;
    QCheckBox* chkSubfolders_;
    BusySpinner* spinner_;
    QListWidget* lstSources_;
    QPushButton* btnRemove_;
    std::vector<Source> sources_;
    int lastId_ = 0;
    int listings_ = 0;  // folders being listed
};

}  // namespace tw::ui
