#include "wizard/frame_video_info.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include "profiles/custom_audio_profile.h"

namespace tw::ui {

namespace {

probe::ProfileInfoValues InfoValuesOf(const TAVProfile* profile) {
    probe::ProfileInfoValues values;
    const auto* audio = dynamic_cast<const TAVCustomAudioProfile*>(profile);
    if (!audio) {
        return values;
    }
    values.hasAudio = true;
    values.audioEncoder = std::string(audio->AudioEncoderLabel());
    values.audioChannels = static_cast<int>(audio->AudioChannels());
    values.sampleRate = audio->SampleRate();
    values.audioBitrate = audio->AudioBitrate();
    if (const auto* video = dynamic_cast<const TAVCustomVideoProfile*>(profile)) {
        values.hasVideo = true;
        values.videoEncoder = std::string(video->VideoEncoderLabel());
        values.frameWidth = video->FrameWidth();
        values.frameHeight = video->FrameHeight();
        values.frameRate = video->FrameRateValue();
        values.videoBitrate = video->VideoBitrate();
    }
    return values;
}

QLabel* ValueLabel(QFormLayout* rows, const char* caption, const char* objectName) {
    auto* value = new QLabel;
    value->setObjectName(QString::fromLatin1(objectName));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rows->addRow(QString::fromLatin1(caption), value);
    return value;
}

}  // namespace

TFrameVideoInfo::TFrameVideoInfo(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FrameVideoInfo"));
    auto* video = new QGroupBox(QString::fromLatin1(probe::kVideoGroupCaption), this);
    auto* videoRows = new QFormLayout(video);
    lblVideoEncoder_ = ValueLabel(videoRows, "Encoder:", "lblVideoEncoder");
    lblFrameSize_ = ValueLabel(videoRows, "Frame Size:", "lblFrameSize");
    lblFrameRate_ = ValueLabel(videoRows, "Frame Rate:", "lblFrameRate");
    const std::string bitrate = std::string(probe::kBitrateLabel) + ":";
    lblVideoBitrate_ = ValueLabel(videoRows, bitrate.c_str(), "lblVideoBitrate");

    auto* audio = new QGroupBox(QString::fromLatin1(probe::kAudioGroupCaption), this);
    auto* audioRows = new QFormLayout(audio);
    lblAudioEncoder_ = ValueLabel(audioRows, "Encoder:", "lblAudioEncoder");
    lblChannels_ = ValueLabel(audioRows, "Channels:", "lblChannels");
    lblSampleRate_ = ValueLabel(audioRows, "Sample Rate:", "lblSampleRate");
    lblAudioBitrate_ = ValueLabel(audioRows, bitrate.c_str(), "lblAudioBitrate");

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(video, 1);
    layout->addWidget(audio, 1);
    Show(probe::ClearedInfoText());
}

void TFrameVideoInfo::ShowProfile(const TAVProfile* profile) {
    Show(probe::ProfileInfoText(InfoValuesOf(profile)));
}

void TFrameVideoInfo::Show(const probe::VideoInfoPanelText& text) {
    shown_ = text;
    const auto set = [](QLabel* label, const std::string& value) {
        label->setText(QString::fromStdString(value));
    };
    set(lblAudioEncoder_, text.audioEncoder);
    set(lblChannels_, text.audioChannels);
    set(lblSampleRate_, text.sampleRate);
    set(lblAudioBitrate_, text.audioBitrate);
    set(lblVideoEncoder_, text.videoEncoder);
    set(lblFrameSize_, text.frameSize);
    set(lblFrameRate_, text.frameRate);
    set(lblVideoBitrate_, text.videoBitrate);
}

}  // namespace tw::ui
