#pragma once

// The category dialog: a name and a folder, for a new category ("New Category") or an existing
// one ("Category Properties"). "Ok" is available only while both, trimmed, are filled in.

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace tw::ui {

class TFormCategory : public QDialog {
    Q_OBJECT

public:
    // outputFolder: where the folder browser starts while the path names no folder.
    TFormCategory(bool isNew, const QString& outputFolder, QWidget* parent = nullptr);

    void SetValues(const QString& name, const QString& path);
    QString Name() const;
    QString Path() const;

private:
    void UpdateOk();
    void Browse();

    QString outputFolder_;
    QLineEdit* edtName_;
    QLineEdit* edtPath_;
    QPushButton* btnOk_;
};

// Shows the dialog filled with name and path (a new category starts empty). On "Ok" both take
// the trimmed texts and the result is true; otherwise they are left alone.
bool ExecuteCategoryDialog(QWidget* parent, bool isNew, const std::string& outputFolder,
                           std::string& name, std::string& path);

}  // namespace tw::ui
