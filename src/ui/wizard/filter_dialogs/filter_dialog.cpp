#include "wizard/filter_dialogs/filter_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

namespace tw::ui {

FilterDialog::FilterDialog(const char* objectName, const char* caption, QWidget* parent)
    : QDialog(parent), form_(new QFormLayout(this)), buttons_(new QDialogButtonBox(this)) {
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(QString::fromLatin1(caption));
    btnOk_ = buttons_->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnOk_->setObjectName(QStringLiteral("btnOk"));
    btnOk_->setDefault(true);
    buttons_->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (Acceptable()) {
            accept();
        }
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void FilterDialog::UpdateOk() {
    btnOk_->setEnabled(Acceptable());
}

void FilterDialog::FinishLayout() {
    form_->addRow(buttons_);
    UpdateOk();
}

QSpinBox* FilterDialog::SpinBox(const char* objectName, int low, int high) {
    auto* spin = new QSpinBox(this);
    spin->setObjectName(QString::fromLatin1(objectName));
    spin->setRange(low, high);
    connect(spin, &QSpinBox::valueChanged, this, &FilterDialog::UpdateOk);
    return spin;
}

}  // namespace tw::ui
