#include "wizard/frame_dvd_source.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QSignalBlocker>
#include <algorithm>

#include "dvd/dvd_title_scan.h"
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

// Undoes the sheet's disabling and the busy cursor however the scan ends.
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

}  // namespace

TFrameDvdSource::TFrameDvdSource(QWidget* parent)
    : QWidget(parent),
      cbbDvd_(new TDvdCombo(this)),
      cbbTitle_(List("cbbTitle", this)),
      cbbAngle_(List("cbbAngle", this)),
      cbbChapter_(List("cbbChapter", this)),
      cbbThrough_(List("cbbThrough", this)) {
    setObjectName(QStringLiteral("tsDvd"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Driver:"), cbbDvd_);
    form->addRow(QStringLiteral("Title:"), cbbTitle_);
    form->addRow(QStringLiteral("Angle:"), cbbAngle_);
    form->addRow(QStringLiteral("Chapter:"), cbbChapter_);
    form->addRow(QStringLiteral("Through:"), cbbThrough_);
    connect(cbbDvd_, &TDvdCombo::DiscSelected, this, &TFrameDvdSource::ScanDvd);
    connect(cbbTitle_, &QComboBox::currentIndexChanged, this, &TFrameDvdSource::OnTitleChanged);
    connect(cbbChapter_, &QComboBox::currentIndexChanged, this, &TFrameDvdSource::OnChapterChanged);
    connect(cbbThrough_, &QComboBox::currentIndexChanged, this, &TFrameDvdSource::rangeChanged);
    connect(cbbAngle_, &QComboBox::currentIndexChanged, this, &TFrameDvdSource::rangeChanged);
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

std::string TFrameDvdSource::OpenTitleStream() const {
    const dvd::DvdTitle* title = CurrentTitle();
    TW_ASSERT(title != nullptr);
    return dvd::OpenDvdTitleStream(*title, Chapter(), Through(), Angle());
}

void TFrameDvdSource::ScanDvd(int index) {
    const dvd::DvdDrive* disc = cbbDvd_->DiscAt(index);
    if (index == dvdIndex_ || !disc) {
        return;
    }
    dvdIndex_ = index;
    emit scanStarting();
    std::vector<dvd::DvdTitle> titles = titles_;
    TStringList choices;
    {
        BusyScan busy(*this);
        if (!dvd::ScanDvdTitles(disc->discPath, titles, choices)) {
            return;
        }
    }
    titles_ = std::move(titles);
    scannedDisc_ = *disc;
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
