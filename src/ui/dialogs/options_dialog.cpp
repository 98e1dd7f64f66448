#include "dialogs/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/dialog_runner.h"
#include "app/file_dialog_service.h"
#include "app/icons.h"
#include "jobs/worker_process.h"
#include "platform/message_service.h"
#include "segments/host_jobs.h"
#include "tasks/configuration.h"
#include "util/av_error.h"

namespace tw::ui {

namespace {

constexpr int kMaxThreadCount = 32;
constexpr int kMaxPriority = 5;
constexpr int kMostConversions = 64;
constexpr int kMaxSegments = 64;
constexpr int kMinSegmentSeconds = 5;
constexpr int kMaxSegmentSeconds = 3600;

}  // namespace

TFormOptions::TFormOptions(QWidget* parent)
    : QDialog(parent),
      tvSettings_(new QTreeWidget),
      pages_(new QStackedWidget),
      edtOutputFolder_(new QLineEdit),
      chkAlert_(new QCheckBox(QStringLiteral("Show Alert When Conversion Completed"))),
      chkKeepShape_(new QCheckBox(QStringLiteral("Keep the picture's shape (black bars)"))),
      tbPriority_(new QSlider(Qt::Horizontal)),
      cbbThreadCnt_(new QComboBox),
      spnMaxConversions_(new QSpinBox),
      chkOwnProcess_(new QCheckBox(QStringLiteral("Run each conversion in its own process"))),
      spnSegments_(new QSpinBox),
      spnSegmentSeconds_(new QSpinBox),
      edtHosts_(new QPlainTextEdit),
      btnCheckHosts_(new QPushButton(QStringLiteral("C&heck"))),
      lblHostsCheck_(new QLabel) {
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Options"));

    tvSettings_->setObjectName(QStringLiteral("tvSettings"));
    tvSettings_->setHeaderHidden(true);
    tvSettings_->setRootIsDecorated(false);
    tvSettings_->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("General")}));
    tvSettings_->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Performance")}));
    tvSettings_->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("Performance")) +
                               fontMetrics().averageCharWidth() * 6);
    pages_->addWidget(GeneralPage());
    pages_->addWidget(PerformancePage());
    connect(tvSettings_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        pages_->setCurrentIndex(std::max(0, tvSettings_->indexOfTopLevelItem(item)));
    });

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* body = new QHBoxLayout;
    body->addWidget(tvSettings_);
    body->addWidget(pages_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);

    cbbThreadCnt_->addItem(QStringLiteral("Automatic(use all CPU(s))"));
    for (int count = 1; count <= kMaxThreadCount; ++count) {
        cbbThreadCnt_->addItem(QString::number(count));
    }
    cbbThreadCnt_->setCurrentIndex(0);
    tvSettings_->setCurrentItem(tvSettings_->topLevelItem(0));
    tvSettings_->setFocus();
    resize(fontMetrics().averageCharWidth() * 80, sizeHint().height());
}

QWidget* TFormOptions::GeneralPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageGeneral"));
    edtOutputFolder_->setObjectName(QStringLiteral("edtOutputFolder"));
    auto* browse = new QToolButton;
    browse->setObjectName(QStringLiteral("btnBrowseOutputFolder"));
    browse->setIcon(ThemeIcon(QStringLiteral("folder")));
    browse->setToolTip(QStringLiteral("Browse"));
    connect(browse, &QToolButton::clicked, this, &TFormOptions::BrowseOutputFolder);
    chkAlert_->setObjectName(QStringLiteral("chkAlert"));
    chkKeepShape_->setObjectName(QStringLiteral("chkKeepShape"));
    chkKeepShape_->setToolTip(
        QStringLiteral("Where a profile's frame has another shape than the picture, the picture "
                       "is fitted inside it and the rest is black; otherwise it is stretched."));

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(edtOutputFolder_, 1);
    folderRow->addWidget(browse);
    auto* group = new QGroupBox(QStringLiteral("Output Folder"));
    group->setLayout(folderRow);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    layout->addWidget(chkAlert_);
    layout->addWidget(chkKeepShape_);
    layout->addStretch(1);
    return page;
}

QWidget* TFormOptions::PerformancePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pagePerformance"));
    tbPriority_->setObjectName(QStringLiteral("tbPriority"));
    tbPriority_->setRange(0, kMaxPriority);
    tbPriority_->setPageStep(1);
    tbPriority_->setTickPosition(QSlider::TicksBelow);
    tbPriority_->setTickInterval(1);
    cbbThreadCnt_->setObjectName(QStringLiteral("cbbThreadCnt"));

    auto* priorityRow = new QHBoxLayout;
    priorityRow->addWidget(new QLabel(QStringLiteral("Low")));
    priorityRow->addWidget(tbPriority_, 1);
    priorityRow->addWidget(new QLabel(QStringLiteral("High")));
    auto* priority = new QGroupBox(QStringLiteral("Thread Priority"));
    priority->setLayout(priorityRow);

    auto* countRow = new QHBoxLayout;
    countRow->addWidget(cbbThreadCnt_);
    countRow->addStretch(1);
    auto* count = new QGroupBox(QStringLiteral("Thread Count"));
    count->setLayout(countRow);

    spnMaxConversions_->setObjectName(QStringLiteral("spnMaxConversions"));
    spnMaxConversions_->setRange(0, kMostConversions);
    spnMaxConversions_->setSpecialValueText(QStringLiteral("any number of"));
    spnMaxConversions_->setToolTip(
        QStringLiteral("Files beyond this number wait for their turn and start, in the order of "
                       "the list, as others finish."));
    auto* atOnceRow = new QHBoxLayout;
    auto* atOnceLabel = new QLabel(QStringLiteral("Convert at &most"));
    atOnceLabel->setBuddy(spnMaxConversions_);
    atOnceRow->addWidget(atOnceLabel);
    atOnceRow->addWidget(spnMaxConversions_);
    atOnceRow->addWidget(new QLabel(QStringLiteral("files at once")));
    atOnceRow->addStretch(1);
    chkOwnProcess_->setObjectName(QStringLiteral("chkOwnProcess"));
    chkOwnProcess_->setToolTip(
        QStringLiteral("A conversion that fails badly, even one that crashes, then ends alone "
                       "and leaves the program and the other conversions running."));

    // A long conversion cut into segments converted side by side; -1 shows as one per processor.
    spnSegments_->setObjectName(QStringLiteral("spnSegments"));
    spnSegments_->setRange(-1, kMaxSegments);
    spnSegments_->setSpecialValueText(QStringLiteral("One per processor"));
    spnSegments_->setToolTip(
        QStringLiteral("How many segments of one long conversion convert at once, each in a "
                       "process of its own (so only with the box above ticked); 0 or 1 "
                       "converts it in one piece."));
    spnSegmentSeconds_->setObjectName(QStringLiteral("spnSegmentSeconds"));
    spnSegmentSeconds_->setRange(kMinSegmentSeconds, kMaxSegmentSeconds);
    spnSegmentSeconds_->setSuffix(QStringLiteral(" s"));
    auto* segmentsForm = new QFormLayout;
    segmentsForm->addRow(QStringLiteral("Segments at &once:"), spnSegments_);
    segmentsForm->addRow(QStringLiteral("Segment &length:"), spnSegmentSeconds_);
    auto* segments = new QGroupBox(QStringLiteral("Segments"));
    segments->setLayout(segmentsForm);

    // Segments handed out over SSH by GNU parallel; "Check" asks each computer its version.
    edtHosts_->setObjectName(QStringLiteral("edtHosts"));
    edtHosts_->setPlaceholderText(QStringLiteral("alice@studio-pc\n2/alice@laptop.local"));
    edtHosts_->setToolTip(
        QStringLiteral("One SSH login a line (as GNU parallel takes them; \"N/\" ahead for N "
                       "segments at once there). Each computer needs a login by key and the "
                       "same version of tidewell-convert. Lines starting with # are left out."));
    edtHosts_->setTabChangesFocus(true);
    btnCheckHosts_->setObjectName(QStringLiteral("btnCheckHosts"));
    lblHostsCheck_->setObjectName(QStringLiteral("lblHostsCheck"));
    lblHostsCheck_->setWordWrap(true);
    connect(btnCheckHosts_, &QPushButton::clicked, this, &TFormOptions::CheckHosts);
    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(btnCheckHosts_);
    checkRow->addWidget(lblHostsCheck_, 1);
    auto* hostsLayout = new QVBoxLayout;
    hostsLayout->addWidget(edtHosts_);
    hostsLayout->addLayout(checkRow);
    auto* hosts = new QGroupBox(QStringLiteral("Also convert on these computers"));
    hosts->setLayout(hostsLayout);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(atOnceRow);
    layout->addWidget(priority);
    layout->addWidget(count);
    layout->addWidget(chkOwnProcess_);
    layout->addWidget(segments);
    layout->addWidget(hosts);
    layout->addStretch(1);
    return page;
}

void TFormOptions::BrowseOutputFolder() {
    const QString folder = FileDialogs().ExistingFolder(this, QStringLiteral("Output Folder"),
                                                        edtOutputFolder_->text());
    if (!folder.isEmpty()) {
        edtOutputFolder_->setText(folder);
    }
}

void TFormOptions::CheckHosts() {
    const std::string logins = edtHosts_->toPlainText().toStdString();
    if (!segments::HostLogins::NamesAny(logins)) {
        lblHostsCheck_->setText(QStringLiteral("No computers listed."));
        return;
    }
    if (hostsCheck_.joinable()) {
        hostsCheck_.join();
    }
    btnCheckHosts_->setEnabled(false);
    lblHostsCheck_->setText(QStringLiteral("Checking..."));
    hostsCheck_ = std::jthread([this, logins] {
        QString answer;
        try {
            const std::string file = segments::WriteLoginFile(logins, "hosts-check.txt");
            const std::string program = jobs::FindWorkerProgram();
            // Every program is started: one whose file is as it was may have lost a library.
            const segments::HostCheck check =
                segments::CheckHosts(file, std::filesystem::path(program).parent_path().string(),
                                     segments::EarlierChecks::Ignore);
            answer = check.unreachable.empty()
                         ? QStringLiteral("Every computer answered with this version.")
                         : QString::fromStdString(check.unreachable.front());
        } catch (const std::exception& e) {
            answer = QString::fromStdString(e.what());
        }
        QMetaObject::invokeMethod(
            this,
            [this, answer] {
                lblHostsCheck_->setText(answer);
                btnCheckHosts_->setEnabled(true);
            },
            Qt::QueuedConnection);
    });
}

void TFormOptions::Load(const TAVConfiguration& configuration) {
    // A hand-edited file may hold any number; the list offers 0 (automatic) to 32.
    const int threads =
        std::clamp(configuration.PerformanceOptions().ThreadCount(), 0, kMaxThreadCount);
    cbbThreadCnt_->setCurrentIndex(threads);
    tbPriority_->setValue(
        std::clamp(configuration.PerformanceOptions().ThreadPrority(), 0, kMaxPriority));
    edtOutputFolder_->setText(QString::fromStdString(configuration.OutputFolder()));
    chkAlert_->setChecked(configuration.ShowAlert());
    chkKeepShape_->setChecked(configuration.KeepPictureShape());
    maxConversions_ = configuration.PerformanceOptions().MaxConversions();
    spnMaxConversions_->setValue(
        std::min(configuration.PerformanceOptions().ConversionPlaces(), kMostConversions));
    chkOwnProcess_->setChecked(configuration.PerformanceOptions().RunInOwnProcess());
    spnSegments_->setValue(
        std::clamp(configuration.PerformanceOptions().Segments(), -1, kMaxSegments));
    spnSegmentSeconds_->setValue(std::clamp(configuration.PerformanceOptions().SegmentSeconds(),
                                            kMinSegmentSeconds, kMaxSegmentSeconds));
    edtHosts_->setPlainText(
        QString::fromStdString(configuration.PerformanceOptions().SegmentHosts()));
}

void TFormOptions::Store(TAVConfiguration& configuration) const {
    configuration.PerformanceOptions().SetThreadCount(cbbThreadCnt_->currentIndex());
    configuration.PerformanceOptions().SetThreadPrority(tbPriority_->value());
    configuration.SetOutputFolder(edtOutputFolder_->text().toStdString());
    configuration.SetShowAlert(chkAlert_->isChecked());
    configuration.SetKeepPictureShape(chkKeepShape_->isChecked());
    // The number of processors stays "as many as processors" unless the user changed it.
    TPerformanceOptions& performance = configuration.PerformanceOptions();
    if (maxConversions_ != TPerformanceOptions::kAsManyAsProcessors ||
        spnMaxConversions_->value() != performance.ConversionPlaces()) {
        performance.SetMaxConversions(spnMaxConversions_->value());
    }
    performance.SetRunInOwnProcess(chkOwnProcess_->isChecked());
    performance.SetSegments(spnSegments_->value());
    performance.SetSegmentSeconds(spnSegmentSeconds_->value());
    performance.SetSegmentHosts(edtHosts_->toPlainText().trimmed().toStdString());
}

bool ExecuteOptions(QWidget* parent, TAVConfiguration& configuration) {
    TFormOptions dialog(parent);
    dialog.Load(configuration);
    if (Dialogs().Exec(dialog) != QDialog::Accepted) {
        return false;
    }
    dialog.Store(configuration);
    try {
        configuration.Save();
    } catch (const EAVError& e) {
        platform::Messages().ShowError(e.what());
        return false;
    }
    return true;
}

}  // namespace tw::ui
