#include "wizard/frame_trial.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <filesystem>

#include "desktop/player_launcher.h"
#include "engine/converter.h"

namespace tw::ui {

namespace {

constexpr char kTryCaption[] = "T&ry 10 seconds";
constexpr char kStopCaption[] = "Stop T&rial";

// Made on first use, removed with everything in it when the program ends: a sample may still
// be playing after the wizard has closed.
const QTemporaryDir& SampleFolder() {
    static const QTemporaryDir folder(QDir::tempPath() +
                                      QStringLiteral("/tidewell-samples-XXXXXX"));
    return folder;
}

}  // namespace

std::string TrialSampleFile(const std::string& target) {
    const std::string name =
        std::filesystem::path(engine::TrialSampleName(target)).filename().string();
    return (std::filesystem::path(SampleFolder().path().toStdString()) / name).string();
}

TFrameTrial::TFrameTrial(QWidget* parent)
    : QWidget(parent),
      btnTry_(new QPushButton(QString::fromLatin1(kTryCaption))),
      barProgress_(new QProgressBar),
      lblResult_(new QLabel),
      btnPlay_(new QPushButton(QStringLiteral("&Play Sample"))) {
    setObjectName(QStringLiteral("frmTrial"));
    btnTry_->setObjectName(QStringLiteral("btnTrial"));
    btnTry_->setAutoDefault(false);
    btnTry_->setToolTip(QStringLiteral(
        "Converts 10 seconds from the middle with these settings and predicts the whole"));
    barProgress_->setObjectName(QStringLiteral("barTrial"));
    barProgress_->setRange(0, 100);
    barProgress_->hide();
    lblResult_->setObjectName(QStringLiteral("lblTrialResult"));
    lblResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnPlay_->setObjectName(QStringLiteral("btnPlaySample"));
    btnPlay_->setAutoDefault(false);
    btnPlay_->setToolTip(QStringLiteral("Plays the sample in Tidewell Player"));
    btnPlay_->hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(btnTry_);
    layout->addWidget(barProgress_, 1);
    layout->addWidget(lblResult_, 1);
    layout->addWidget(btnPlay_);

    connect(btnTry_, &QPushButton::clicked, this, [this] {
        if (Running()) {
            converter_->Stop();
        } else {
            emit tryRequested();
        }
    });
    connect(btnPlay_, &QPushButton::clicked, this, [this] {
        if (!sample_.isEmpty()) {
            OpenInPlayer(sample_);
        }
    });
    SetAvailable(false);
}

TFrameTrial::~TFrameTrial() {
    if (converter_) {
        // A run still going is stopped on the way out; its last events find no frame to show.
        converter_->SetOnProgress(nullptr);
        converter_->SetOnError(nullptr);
        converter_->SetOnComplete(nullptr);
        converter_->SetOnStopped(nullptr);
        converter_.reset();
    }
}

void TFrameTrial::SetAvailable(bool available, const QString& whyNot) {
    available_ = available;
    btnTry_->setEnabled(available || Running());
    btnTry_->setToolTip(available || whyNot.isEmpty()
                            ? QStringLiteral("Converts 10 seconds from the middle with these "
                                             "settings and predicts the whole")
                            : whyNot);
}

bool TFrameTrial::Running() const {
    return running_;
}

QString TFrameTrial::ResultText() const {
    return lblResult_->text();
}

void TFrameTrial::Run(const std::string& source, const std::string& target,
                      const TAVConvertOptions& options, const engine::Span& span,
                      bool inOwnProcess) {
    // The last trial's converter goes with its run; a new one keeps the events apart.
    converter_.reset();
    sample_.clear();
    failed_ = false;
    const std::string sampleFile = TrialSampleFile(target);
    pendingSample_ = QString::fromStdString(sampleFile);
    const engine::Span sample = engine::TrialSample(span);
    spanSeconds_ = static_cast<double>(span.lengthUs) / 1e6;

    converter_ = std::make_unique<TAVConverter>();
    converter_->SetConvertOptions(options);
    converter_->ConvertOptions().SetStartTime(sample.startUs);
    converter_->ConvertOptions().SetRecordingTime(sample.lengthUs);
    converter_->SetInputFiles(TStringList{source});
    converter_->SetOutputFiles(TStringList{sampleFile});
    converter_->SetInOwnProcess(inOwnProcess);
    converter_->SetOnProgress([this](TAVConverter&) { Progressed(); });
    // The failure has been shown by then; a run that fails opening its files completes not.
    converter_->SetOnError([this](TAVConverter&) {
        failed_ = true;
        lblResult_->setText(QStringLiteral("The trial failed."));
        Ended();
    });
    converter_->SetOnComplete([this](TAVConverter&) { Completed(); });
    converter_->SetOnStopped([this](TAVConverter&) { Ended(); });
    lblResult_->clear();
    btnPlay_->hide();
    barProgress_->setValue(0);
    clock_.Start();
    if (!converter_->Start()) {
        lblResult_->setText(QStringLiteral("The trial could not start."));
        return;
    }
    ShowRunning(true);
}

void TFrameTrial::Clear() {
    if (Running()) {
        converter_->Stop();
    }
    sample_.clear();
    lblResult_->clear();
    btnPlay_->hide();
}

void TFrameTrial::ShowRunning(bool running) {
    running_ = running;
    btnTry_->setText(QString::fromLatin1(running ? kStopCaption : kTryCaption));
    btnTry_->setEnabled(running || available_);
    barProgress_->setVisible(running);
    lblResult_->setVisible(!running);
}

void TFrameTrial::Progressed() {
    clock_.Progressed();
    barProgress_->setValue(converter_->Progress());
}

void TFrameTrial::Completed() {
    if (failed_) {
        return;
    }
    const std::optional<engine::TrialResult> result = engine::MeasureTrial(
        pendingSample_.toStdString(), spanSeconds_, clock_.WallSeconds(), clock_.SetupSeconds());
    if (!result) {
        lblResult_->setText(QStringLiteral("The sample cannot be read back."));
    } else {
        sample_ = pendingSample_;
        lblResult_->setText(
            QStringLiteral("Sample: %1\n%2")
                .arg(QString::fromStdString(engine::TrialSampleText(*result)),
                     QString::fromStdString(engine::TrialPredictionText(*result, spanSeconds_))));
        btnPlay_->show();
    }
    Ended();
}

void TFrameTrial::Ended() {
    // From the converter's events, while its run still winds down: the next Run waits for it.
    ShowRunning(false);
    emit ended();
}

}  // namespace tw::ui
