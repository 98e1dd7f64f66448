#include "dialogs/category_dialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/dialog_runner.h"
#include "app/file_dialog_service.h"
#include "app/icons.h"

namespace tw::ui {

TFormCategory::TFormCategory(bool isNew, const QString& outputFolder, QWidget* parent)
    : QDialog(parent),
      outputFolder_(outputFolder),
      edtName_(new QLineEdit),
      edtPath_(new QLineEdit) {
    setObjectName(QStringLiteral("FormCategory"));
    setWindowTitle(isNew ? QStringLiteral("New Category") : QStringLiteral("Category Properties"));
    edtName_->setObjectName(QStringLiteral("edtName"));
    edtPath_->setObjectName(QStringLiteral("edtPath"));

    auto* browse = new QToolButton;
    browse->setObjectName(QStringLiteral("btnBrowsePath"));
    browse->setIcon(ThemeIcon(QStringLiteral("folder")));
    browse->setToolTip(QStringLiteral("Browse"));
    connect(browse, &QToolButton::clicked, this, &TFormCategory::Browse);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(edtPath_, 1);
    pathRow->addWidget(browse);

    auto* buttons = new QDialogButtonBox;
    btnOk_ = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    btnOk_->setObjectName(QStringLiteral("btnOk"));
    btnOk_->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Name:"), edtName_);
    form->addRow(QStringLiteral("Path:"), pathRow);
    form->addRow(buttons);
    connect(edtName_, &QLineEdit::textChanged, this, &TFormCategory::UpdateOk);
    connect(edtPath_, &QLineEdit::textChanged, this, &TFormCategory::UpdateOk);
    UpdateOk();
    resize(fontMetrics().averageCharWidth() * 60, sizeHint().height());
}

void TFormCategory::SetValues(const QString& name, const QString& path) {
    edtName_->setText(name);
    edtPath_->setText(path);
}

QString TFormCategory::Name() const {
    return edtName_->text().trimmed();
}

QString TFormCategory::Path() const {
    return edtPath_->text().trimmed();
}

void TFormCategory::UpdateOk() {
    btnOk_->setEnabled(!Name().isEmpty() && !Path().isEmpty());
}

void TFormCategory::Browse() {
    const QString start = QFileInfo(Path()).isDir() ? Path() : outputFolder_;
    const QString folder = FileDialogs().ExistingFolder(this, QStringLiteral("Path"), start);
    if (!folder.isEmpty()) {
        edtPath_->setText(folder);
    }
}

bool ExecuteCategoryDialog(QWidget* parent, bool isNew, const std::string& outputFolder,
                           std::string& name, std::string& path) {
    TFormCategory dialog(isNew, QString::fromStdString(outputFolder), parent);
    if (!isNew) {
        dialog.SetValues(QString::fromStdString(name), QString::fromStdString(path));
    }
    if (Dialogs().Exec(dialog) != QDialog::Accepted) {
        return false;
    }
    name = dialog.Name().toStdString();
    path = dialog.Path().toStdString();
    return true;
}

}  // namespace tw::ui
