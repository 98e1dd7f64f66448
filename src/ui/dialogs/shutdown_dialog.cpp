#include "dialogs/shutdown_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/program_info.h"

namespace tw::ui {

TFormShutdown::TFormShutdown(int seconds, QWidget* parent)
    : QDialog(parent),
      total_(seconds),
      left_(seconds),
      lblCountdown_(new QLabel),
      bar_(new QProgressBar) {
    setObjectName(QStringLiteral("FormShutdown"));
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setWindowFlag(Qt::WindowStaysOnTopHint);

    auto* icon = new QLabel;
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    auto* heading = new QLabel(QStringLiteral("All conversions are done."));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    lblCountdown_->setObjectName(QStringLiteral("lblCountdown"));
    bar_->setRange(0, total_);
    bar_->setTextVisible(false);

    auto* buttons = new QDialogButtonBox;
    QPushButton* now =
        buttons->addButton(QStringLiteral("Shut Down Now"), QDialogButtonBox::AcceptRole);
    now->setObjectName(QStringLiteral("btnShutdownNow"));
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter must never power the computer off by accident.
    now->setAutoDefault(false);
    cancel->setDefault(true);
    cancel->setFocus();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* text = new QVBoxLayout;
    text->addWidget(heading);
    text->addWidget(lblCountdown_);
    text->addWidget(bar_);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(8);
    row->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 56);

    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &TFormShutdown::Tick);
    connect(this, &QDialog::finished, &timer_, &QTimer::stop);
    timer_.start();
    ShowLeft();
}

void TFormShutdown::Tick() {
    left_ = std::max(0, left_ - 1);
    ShowLeft();
    if (left_ == 0) {
        accept();
    }
}

void TFormShutdown::ShowLeft() {
    lblCountdown_->setText(QStringLiteral("The computer will shut down in %1 seconds.").arg(left_));
    bar_->setValue(left_);
}

}  // namespace tw::ui
