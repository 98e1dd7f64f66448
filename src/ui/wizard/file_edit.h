#pragma once

// A file name field with a browse button, as the wizard and the filter dialogs use it. The
// button asks the file-dialog service (open, save, or a folder) with the field's name filters,
// starting where the field's name points, and puts the answer into the field unless a check
// refuses it. A field that lets the user choose several files announces them instead
// (namesChosen) when more than one is chosen.
// A name typed or pasted into the field is taken when the user is done with it (Return, or the
// focus leaves): the check decides there too, and a refused name gives way to the name taken
// before. The field carries the object name given; the button the same name followed by
// "Browse". UI thread only.

#include <QStringList>
#include <QWidget>
#include <functional>

class QLineEdit;
class QToolButton;

namespace tw::ui {

class FileEdit : public QWidget {
    Q_OBJECT

public:
    enum class Mode { Open, Save, Folder };

    FileEdit(const QString& objectName, Mode mode, QWidget* parent = nullptr);

    // The field's text, as typed so far.
    QString FileName() const;
    // Sets and takes the name without asking the check (textChanged and nameTaken follow).
    void SetFileName(const QString& name);
    // Puts back a name taken before, announcing nothing (a name refused after it was taken).
    void Revert(const QString& name);
    // Takes the typed name now (as when the user leaves the field); a "file:" URL counts as
    // its path.
    void TakeTypedName();

    void SetDialogCaption(const QString& caption) { caption_ = caption; }
    void SetNameFilters(const QStringList& filters) { nameFilters_ = filters; }
    // Where the dialog opens while the field names no existing folder.
    void SetStartFolder(const QString& folder) { startFolder_ = folder; }
    // Called with a name chosen in the dialog or typed; false keeps the previous name.
    void SetChoiceCheck(std::function<bool(const QString&)> check) { check_ = std::move(check); }
    // Lets the user type (the default) or only choose through the dialog.
    void SetTypingAllowed(bool allowed);
    // What the browse button asks for.
    void SetMode(Mode mode) { mode_ = mode; }
    Mode GetMode() const { return mode_; }
    // Lets the open dialog choose several files.
    void SetMultipleChoice(bool multiple) { multiple_ = multiple; }
    // File-system completion of files and folders while typing.
    void EnableCompletion();

    QLineEdit* Field() const { return edit_; }
    QToolButton* BrowseButton() const { return browse_; }

signals:
    // At every change of the text, typing included.
    void textChanged(const QString& text);
    // A name was set, chosen or typed and taken.
    void nameTaken(const QString& name);
    // Several files were chosen in the dialog (the field keeps its name).
    void namesChosen(const QStringList& names);

private:
    void Browse();

    Mode mode_;
    bool multiple_ = false;
    QLineEdit* edit_;
    QToolButton* browse_;
    QString caption_;
    QStringList nameFilters_;
    QString startFolder_;
    std::function<bool(const QString&)> check_;
    QString taken_;
    bool taking_ = false;  // the check's message box takes the focus, which must not ask again
};

}  // namespace tw::ui
