#include "profile_editor/frame_profile.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

#include "profiles/custom_audio_profile.h"
#include "profiles/profile_codecs.h"
#include "util/float_text.h"

namespace tw::ui {

namespace {

const char* const kSampleRates[] = {"8000", "16000", "22050", "32000", "41000", "44100", "48000"};
const char* const kAudioBitrates[] = {"12.2", "32",  "64",  "80",  "96", "112",
                                      "128",  "160", "192", "224", "448"};
const char* const kVideoBitrates[] = {
    "128",  "192",  "256",  "384",  "512",  "640",  "768",  "900",  "1000",  "1200",  "1500",
    "1800", "2000", "2500", "3000", "4000", "5000", "6000", "8000", "12000", "15000", "35000"};

template <class Labels>
void AddLabels(QComboBox* list, const Labels& labels) {
    for (const auto& label : labels) {
        list->addItem(QString::fromUtf8(std::string_view(label).data(),
                                        static_cast<int>(std::string_view(label).size())));
    }
}

template <class Enum>
int Ordinal(Enum value) {
    return static_cast<int>(value);
}

// Fills a list of enumeration values: the offered ones and the one the profile holds (so that
// it shows even where it cannot work), in enumeration order, each carrying its ordinal.
template <class Enum, class Labels>
void FillValues(QComboBox* list, const Labels& labels, std::vector<Enum> offered,
                std::optional<Enum> held) {
    if (held && std::find(offered.begin(), offered.end(), *held) == offered.end()) {
        offered.insert(std::upper_bound(offered.begin(), offered.end(), *held), *held);
    }
    const QSignalBlocker quiet(list);
    const QVariant selected = list->currentData();
    list->clear();
    for (const Enum value : offered) {
        const std::string_view label = labels[static_cast<size_t>(value)];
        list->addItem(QString::fromUtf8(label.data(), static_cast<int>(label.size())),
                      Ordinal(value));
    }
    list->setCurrentIndex(held ? list->findData(Ordinal(*held)) : list->findData(selected));
}

template <class Enum>
std::optional<Enum> Selected(const QComboBox* list) {
    return list->currentIndex() < 0
               ? std::nullopt
               : std::optional<Enum>(static_cast<Enum>(list->currentData().toInt()));
}

}  // namespace

TFrameProfile::TFrameProfile(QWidget* parent)
    : QWidget(parent),
      edtExtension_(new QLineEdit(this)),
      cbbFormat_(List("cbbFormat")),
      edtDescript_(new QLineEdit(this)),
      lblProblem_(new QLabel(this)),
      grpAudio_(new QGroupBox(QStringLiteral("Audio Settings"), this)),
      cbbSampleRate_(List("cbbSampleRate")),
      cbbAudioEncoder_(List("cbbAudioEncoder")),
      cbbChannels_(List("cbbChannels")),
      cbbAudioBitrate_(List("cbbAudioBitrate")),
      grpVideo_(new QGroupBox(QStringLiteral("Video Settings"), this)),
      cbbFrameSize_(List("cbbFrameSize")),
      cbbVideoEncoder_(List("cbbVideoEncoder")),
      cbbFrameRate_(List("cbbFrameRate")),
      cbbVideoBitrate_(List("cbbVideoBitrate")) {
    setObjectName(QStringLiteral("FrameProfile"));
    edtExtension_->setObjectName(QStringLiteral("edtExtension"));
    edtDescript_->setObjectName(QStringLiteral("edtDescript"));
    lblProblem_->setObjectName(QStringLiteral("lblProblem"));
    lblProblem_->setWordWrap(true);
    lblProblem_->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
    lblProblem_->hide();
    AddLabels(cbbSampleRate_, kSampleRates);
    AddLabels(cbbChannels_, ChannelLabels());
    AddLabels(cbbAudioBitrate_, kAudioBitrates);
    for (const FrameSizeEntry& size : FrameSizes()) {
        cbbFrameSize_->addItem(
            QString::fromUtf8(size.label.data(), static_cast<int>(size.label.size())));
    }
    AddLabels(cbbFrameRate_, FrameRateLabels());
    AddLabels(cbbVideoBitrate_, kVideoBitrates);

    auto* top = new QFormLayout;
    top->addRow(QStringLiteral("File Extension"), edtExtension_);
    top->addRow(QStringLiteral("File Format"), cbbFormat_);
    top->addRow(QStringLiteral("Description"), edtDescript_);
    top->addRow(lblProblem_);
    auto* audio = new QFormLayout(grpAudio_);
    audio->addRow(QStringLiteral("Sample Rate"), cbbSampleRate_);
    audio->addRow(QStringLiteral("Audio Encoder"), cbbAudioEncoder_);
    audio->addRow(QStringLiteral("Audio Channels"), cbbChannels_);
    audio->addRow(QStringLiteral("Audio Bitrate(kbps)"), cbbAudioBitrate_);
    auto* video = new QFormLayout(grpVideo_);
    video->addRow(QStringLiteral("Frame Size"), cbbFrameSize_);
    video->addRow(QStringLiteral("Video Encoder"), cbbVideoEncoder_);
    video->addRow(QStringLiteral("Frame Rate"), cbbFrameRate_);
    video->addRow(QStringLiteral("Video Bitrate(kbps)"), cbbVideoBitrate_);
    auto* groups = new QHBoxLayout;
    groups->addWidget(grpAudio_, 1);
    groups->addWidget(grpVideo_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addLayout(groups);
    layout->addStretch(1);

    // The format, and for no format the extension, decide which codecs the files can hold.
    connect(edtExtension_, &QLineEdit::textChanged, this, [this] {
        WriteBack();
        FillCodecLists();
    });
    connect(cbbFormat_, &QComboBox::currentIndexChanged, this, &TFrameProfile::FillCodecLists);
    connect(edtDescript_, &QLineEdit::textChanged, this, [this](const QString& text) {
        WriteBack();
        if (!loading_ && profile_) {
            emit descriptionEdited(text);
        }
    });
    LoadProfile(nullptr);
}

QComboBox* TFrameProfile::List(const char* objectName) {
    auto* list = new QComboBox(this);
    list->setObjectName(QString::fromLatin1(objectName));
    connect(list, &QComboBox::currentIndexChanged, this, &TFrameProfile::WriteBack);
    return list;
}

void TFrameProfile::LoadProfile(TAVProfile* profile) {
    loading_ = true;
    profile_ = dynamic_cast<TAVCustomAudioProfile*>(profile);
    auto* video = dynamic_cast<TAVCustomVideoProfile*>(profile_);
    FillValues(cbbFormat_, FormatLabels(), profiles::AvailableFormats(),
               profile_ ? std::optional(profile_->Format()) : std::nullopt);
    if (profile_) {
        edtExtension_->setText(QString::fromStdString(profile_->Extension()));
    }
    FillCodecLists();
    if (video) {
        // A size the table lacks shows no entry, so that editing something else keeps it.
        const bool listed = video->FrameSize() != TAVFrameSize::fsOriginal ||
                            (video->FrameWidth() == 0 && video->FrameHeight() == 0);
        cbbFrameSize_->setCurrentIndex(listed ? Ordinal(video->FrameSize()) : -1);
        cbbFrameRate_->setCurrentIndex(Ordinal(video->FrameRate()));
        cbbVideoBitrate_->setCurrentIndex(
            cbbVideoBitrate_->findText(QString::number(video->VideoBitrate())));
    } else {
        for (QComboBox* list : {cbbFrameSize_, cbbVideoEncoder_, cbbFrameRate_, cbbVideoBitrate_}) {
            list->setCurrentIndex(-1);
        }
    }
    grpVideo_->setEnabled(video != nullptr);
    if (profile_) {
        cbbChannels_->setCurrentIndex(Ordinal(profile_->AudioChannels()));
        cbbAudioBitrate_->setCurrentIndex(cbbAudioBitrate_->findText(
            QString::fromStdString(FloatToText(profile_->AudioBitrate()))));
        cbbSampleRate_->setCurrentIndex(
            cbbSampleRate_->findText(QString::number(profile_->SampleRate())));
        edtDescript_->setText(QString::fromStdString(profile_->Description()));
    } else {
        for (QComboBox* list :
             {cbbAudioEncoder_, cbbChannels_, cbbAudioBitrate_, cbbSampleRate_, cbbFormat_}) {
            list->setCurrentIndex(-1);
        }
        edtDescript_->clear();
        edtExtension_->clear();
    }
    for (QWidget* field :
         std::initializer_list<QWidget*>{edtExtension_, cbbFormat_, edtDescript_, grpAudio_}) {
        field->setEnabled(profile_ != nullptr);
    }
    loading_ = false;
    ShowProblem();
}

void TFrameProfile::FillCodecLists() {
    if (!profile_) {
        FillValues<TCustomAudioEncoder>(cbbAudioEncoder_, AudioEncoderLabels(), {}, std::nullopt);
        FillValues<TCustomVideoEncoder>(cbbVideoEncoder_, VideoEncoderLabels(), {}, std::nullopt);
        return;
    }
    const std::optional<std::string> muxer = profiles::ProfileMuxer(*profile_);
    FillValues(cbbAudioEncoder_, AudioEncoderLabels(), profiles::AudioEncodersFor(muxer),
               std::optional(profile_->AudioEncoder()));
    const auto* video = dynamic_cast<const TAVCustomVideoProfile*>(profile_);
    FillValues(cbbVideoEncoder_, VideoEncoderLabels(), profiles::VideoEncodersFor(muxer),
               video ? std::optional(video->VideoEncoder()) : std::nullopt);
}

void TFrameProfile::ShowProblem() {
    const std::string problem = profile_ ? profiles::ProfileProblem(*profile_) : std::string();
    lblProblem_->setText(QString::fromStdString(problem));
    lblProblem_->setVisible(!problem.empty());
}

void TFrameProfile::WriteBack() {
    if (loading_ || !profile_) {
        return;
    }
    if (cbbSampleRate_->currentIndex() >= 0) {
        profile_->SetSampleRate(cbbSampleRate_->currentText().toInt());
    }
    if (const auto encoder = Selected<TCustomAudioEncoder>(cbbAudioEncoder_)) {
        profile_->SetAudioEncoder(*encoder);
    }
    if (cbbChannels_->currentIndex() >= 0) {
        profile_->SetAudioChannels(static_cast<TCustomAudioChannels>(cbbChannels_->currentIndex()));
    }
    if (cbbAudioBitrate_->currentIndex() >= 0) {
        profile_->SetAudioBitrate(
            TextToFloat(cbbAudioBitrate_->currentText().toStdString()).value_or(0.0));
    }
    if (const auto format = Selected<TCustomAVFormat>(cbbFormat_)) {
        profile_->SetFormat(*format);
    }
    profile_->SetExtension(edtExtension_->text().trimmed().toStdString());
    profile_->SetDescription(edtDescript_->text().trimmed().toStdString());
    if (auto* video = dynamic_cast<TAVCustomVideoProfile*>(profile_)) {
        WriteVideoBack(*video);
    }
    ShowProblem();
}

void TFrameProfile::WriteVideoBack(TAVCustomVideoProfile& video) {
    if (cbbFrameSize_->currentIndex() >= 0) {
        const FrameSizeEntry& size =
            FrameSizes()[static_cast<size_t>(cbbFrameSize_->currentIndex())];
        video.SetFrameWidth(size.width);
        video.SetFrameHeight(size.height);
    }
    if (const auto encoder = Selected<TCustomVideoEncoder>(cbbVideoEncoder_)) {
        video.SetVideoEncoder(*encoder);
    }
    if (cbbFrameRate_->currentIndex() >= 0) {
        video.SetFrameRate(static_cast<TCustomFrameRate>(cbbFrameRate_->currentIndex()));
    }
    if (cbbVideoBitrate_->currentIndex() >= 0) {
        video.SetVideoBitrate(cbbVideoBitrate_->currentText().toInt());
    }
}

}  // namespace tw::ui
