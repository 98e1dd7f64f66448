#include "wizard/frame_dvd_source.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>
#include <algorithm>

#include "app/busy_spinner.h"
#include "dvd/dvd_title_scan.h"
#include "platform/message_service.h"
#include "platform/work_pool.h"
#include "util/av_error.h"
#include "util/format.h"
#include "wizard/dvd_combo.h"

namespace tw::ui {

namespace {

QComboBox* List(const char* objectName, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(objectName));
    return list;
}

void FillNumbers(QComboBox* list, int first, int last) {
    list->clear();
    for (int i = first; i <= last; ++i) {
        list->addItem(QString::number(i));
    }
}

// Undoes the sheet's disabling and the busy cursor however a scan on the UI thread ends.
class BusyScan {
public:
    explicit BusyScan(QWidget& sheet) : sheet_(sheet) {
        sheet_.setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyScan() {
        QApplication::restoreOverrideCursor();
        sheet_.setEnabled(true);
    }
    BusyScan(const BusyScan&) = delete;
    BusyScan& operator=(const BusyScan&) = delete;

private:
    QWidget& sheet_;
};

// What a scan found: the titles, or the message saying why there are none.
struct ScanOutcome {
    std::vector<dvd::DvdTitle> titles;
    std::string failure;
};

ScanOutcome RunScan(const TFrameDvdSource::TitleScan& scan, const std::string& discPath) {
    ScanOutcome outcome;
    try {
        outcome.titles = scan(discPath);
    } catch (const EAVError& error) {
        outcome.failure = error.what();
    }
    return outcome;
}

}  // namespace

TFrameDvdSource::TFrameDvdSource(QWidget* parent)
    : QWidget(parent),
      cbbDvd_(new TDvdCombo(this)),
      spinner_(new BusySpinner(this)),
      lblBusy_(new QLabel(this)),
      cbbTitle_(List("cbbTitle", this)),
      cbbAngle_(List("cbbAngle", this)),
      cbbChapter_(List("cbbChapter", this)),
      cbbThrough_(List("cbbThrough", this)) {
    setObjectName(QStringLiteral("tsDvd"));
    scanTitles_ = [](const std::string& path) { return dvd::ScanDiscTitles(path); };
    lblBusy_->setObjectName(QStringLiteral("lblDiscBusy"));
    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(cbbDvd_, 1);
    driveRow->addWidget(spinner_);
    driveRow->addWidget(lblBusy_);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Driver:"), driveRow);
    form->addRow(QStringLiteral("Title:"), cbbTitle_);
    form->addRow(QStringLiteral("Angle:"), cbbAngle_);
    form->addRow(QStringLiteral("Chapter:"), cbbChapter_);
    form->addRow(QStringLiteral("Through:"), cbbThrough_);
    connect(cbbDvd_, &TDvdCombo::DiscSelected, this, &TFrameDvdSource::ScanDvd);
    connect(cbbTitle_, &QComboBox::currentIndexChanged, this, &TFrameDvdSource::OnTitleChanged);
    connect(cbbChapter_, &QComboBox::currentIndexChanged, this, &TFrameDvdSource::OnChapterChanged);
    connect(cbbThrough_, &QComboBox::currentIndexChanged, this, &TFrameDvdSource::rangeChanged);
    connect(cbbAngle_, &QComboBox::currentIndexChanged, this, &TFrameDvdSource::rangeChanged);
    connect(cbbDvd_, &TDvdCombo::readingChanged, this, &TFrameDvdSource::ShowBusy);
}

void TFrameDvdSource::SetBackground(platform::WorkPool* pool, TitleScan scan) {
    background_ = pool;
    cbbDvd_->SetBackground(pool);
    if (scan) {
        scanTitles_ = std::move(scan);
    }
}

void TFrameDvdSource::FindDrives(std::function<std::vector<dvd::DvdDrive>()> findDrives) {
    if (!background_) {
        cbbDvd_->SetDrives(findDrives());
        return;
    }
    // Each drive is asked for its disc, which may have to spin up first.
    lookingForDrives_ = true;
    cbbDvd_->ShowLooking();
    ShowBusy();
    background_->Run(std::move(findDrives),
                     [self = QPointer<TFrameDvdSource>(this)](std::vector<dvd::DvdDrive> drives) {
                         if (self) {
                             self->lookingForDrives_ = false;
                             self->cbbDvd_->SetDrives(drives);
                             self->ShowBusy();
                         }
                     });
}

bool TFrameDvdSource::Busy() const {
    return lookingForDrives_ || cbbDvd_->Reading() || scanRunning_;
}

void TFrameDvdSource::ShowBusy() {
    const bool busy = Busy();
    spinner_->SetBusy(busy);
    lblBusy_->setText(scanRunning_         ? QStringLiteral("Scanning disc…")
                      : lookingForDrives_  ? QStringLiteral("Looking for discs…")
                      : cbbDvd_->Reading() ? QStringLiteral("Reading disc…")
                                           : QString());
    // Nothing of the disc before can be picked while another one is read.
    for (QComboBox* list : {cbbTitle_, cbbAngle_, cbbChapter_, cbbThrough_}) {
        list->setEnabled(!scanRunning_);
    }
}

const dvd::DvdTitle* TFrameDvdSource::CurrentTitle() const {
    const int index = cbbTitle_->currentIndex();
    if (index < 0 || index >= static_cast<int>(titles_.size())) {
        return nullptr;
    }
    return &titles_[static_cast<size_t>(index)];
}

const dvd::DvdDrive* TFrameDvdSource::ScannedDisc() const {
    return scannedDisc_.discPath.empty() ? nullptr : &scannedDisc_;
}

int TFrameDvdSource::Chapter() const {
    return cbbChapter_->currentText().toInt();
}

int TFrameDvdSource::Through() const {
    return cbbThrough_->currentText().toInt();
}

int TFrameDvdSource::Angle() const {
    return cbbAngle_->currentText().toInt();
}

std::function<std::string()> TFrameDvdSource::TitleStreamOpener() const {
    const dvd::DvdTitle* title = CurrentTitle();
    TW_ASSERT(title != nullptr);
    return [title = *title, chapter = Chapter(), through = Through(), angle = Angle()] {
        return dvd::OpenDvdTitleStream(title, chapter, through, angle);
    };
}

void TFrameDvdSource::ScanDvd(int index) {
    const dvd::DvdDrive* disc = cbbDvd_->DiscAt(index);
    if (index == dvdIndex_ || !disc) {
        return;
    }
    dvdIndex_ = index;
    emit scanStarting();
    const dvd::DvdDrive scanned = *disc;
    if (!background_) {
        ScanOutcome outcome;
        {
            BusyScan busy(*this);
            outcome = RunScan(scanTitles_, scanned.discPath);
        }
        TakeScan(scanned, std::move(outcome.titles), outcome.failure);
        return;
    }
    const int request = ++scanRequest_;
    scanRunning_ = true;
    ShowBusy();
    background_->Run(
        [scan = scanTitles_, path = scanned.discPath] { return RunScan(scan, path); },
        [self = QPointer<TFrameDvdSource>(this), request, scanned](ScanOutcome outcome) {
            // A closed wizard, or a disc picked since: the outcome goes nowhere.
            if (!self || request != self->scanRequest_) {
                return;
            }
            self->scanRunning_ = false;
            self->ShowBusy();
            self->TakeScan(scanned, std::move(outcome.titles), outcome.failure);
        });
}

void TFrameDvdSource::TakeScan(const dvd::DvdDrive& disc, std::vector<dvd::DvdTitle> titles,
                               const std::string& failure) {
    if (!failure.empty()) {
        // The lists keep the disc scanned before.
        platform::Messages().ShowError(failure);
        return;
    }
    if (titles.empty()) {
        platform::Messages().ShowError(dvd::kNoVideoFilesMessage);
    }
    titles_ = std::move(titles);
    TStringList choices;
    for (const dvd::DvdTitle& title : titles_) {
        choices.push_back(dvd::TitleChoiceText(title));
    }
    scannedDisc_ = disc;
    {
        const QSignalBlocker quiet(cbbTitle_);
        cbbTitle_->clear();
        for (const std::string& choice : choices) {
            cbbTitle_->addItem(QString::fromStdString(choice));
        }
        cbbTitle_->setCurrentIndex(-1);
    }
    if (!titles_.empty()) {
        cbbTitle_->setCurrentIndex(0);
    } else {
        // A disc without a title to convert leaves nothing to choose.
        OnTitleChanged();
    }
}

void TFrameDvdSource::OnTitleChanged() {
    const dvd::DvdTitle* title = CurrentTitle();
    scanning_ = true;
    {
        const QSignalBlocker quietAngle(cbbAngle_);
        const QSignalBlocker quietChapter(cbbChapter_);
        const QSignalBlocker quietThrough(cbbThrough_);
        FillNumbers(cbbAngle_, 1, title ? title->angleCount : 0);
        const int chapters = title ? static_cast<int>(title->chapters.size()) : 0;
        FillNumbers(cbbChapter_, 1, chapters);
        FillNumbers(cbbThrough_, 1, chapters);
        if (chapters > 0) {
            cbbAngle_->setCurrentIndex(0);
            cbbChapter_->setCurrentIndex(0);
            cbbThrough_->setCurrentIndex(chapters - 1);
        }
    }
    scanning_ = false;
    emit titleChanged();
}

void TFrameDvdSource::OnChapterChanged() {
    const dvd::DvdTitle* title = CurrentTitle();
    if (!title || scanning_) {
        return;
    }
    // The range ends where it ended, or at the new first chapter if that lies after it.
    const int first = Chapter();
    const int through = std::max(Through(), first);
    {
        const QSignalBlocker quiet(cbbThrough_);
        FillNumbers(cbbThrough_, first, static_cast<int>(title->chapters.size()));
        cbbThrough_->setCurrentIndex(through - first);
    }
    emit rangeChanged();
}

}  // namespace tw::ui
