#include "dialogs/delete_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/dialog_runner.h"

namespace tw::ui {

TFormDelete::TFormDelete(const DeleteChoice& initial, QWidget* parent)
    : QDialog(parent),
      chkDeleteSource_(new QCheckBox(QStringLiteral("Delete Source File"))),
      chkDeleteTarget_(new QCheckBox(QStringLiteral("Delete Target File"))) {
    setObjectName(QStringLiteral("FormDelete"));
    setWindowTitle(QStringLiteral("Confirm to delete"));

    auto* icon = new QLabel;
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(size, size));
    auto* text = new QLabel(
        QStringLiteral("Do you want to delete  the task drastically \nwhich you selected?"));
    text->setObjectName(QStringLiteral("lblQuestion"));
    text->setTextFormat(Qt::PlainText);

    chkDeleteSource_->setObjectName(QStringLiteral("chkDeleteSource"));
    chkDeleteSource_->setChecked(initial.deleteSource);
    chkDeleteTarget_->setObjectName(QStringLiteral("chkDeleteTarget"));
    chkDeleteTarget_->setChecked(initial.deleteTarget);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No);
    buttons->button(QDialogButtonBox::Yes)->setObjectName(QStringLiteral("btnYes"));
    buttons->button(QDialogButtonBox::Yes)->setDefault(true);
    buttons->button(QDialogButtonBox::No)->setObjectName(QStringLiteral("btnNo"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* question = new QHBoxLayout;
    question->addWidget(icon, 0, Qt::AlignTop);
    question->addSpacing(8);
    question->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(question);
    layout->addSpacing(6);
    layout->addWidget(chkDeleteSource_);
    layout->addWidget(chkDeleteTarget_);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

DeleteChoice TFormDelete::Choice() const {
    return {chkDeleteSource_->isChecked(), chkDeleteTarget_->isChecked()};
}

std::optional<DeleteChoice> ExecuteDeleteDialog(QWidget* parent, const DeleteChoice& initial) {
    TFormDelete dialog(initial, parent);
    if (Dialogs().Exec(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Choice();
}

}  // namespace tw::ui
