#pragma once

// The wizard's "Profile Settings" panel: the audio and video facts of the chosen target profile
// (encoder, channels, sample rate and bit rate; encoder, frame size, frame rate and bit rate).
// Profiles other than the user-editable audio and video ones show nothing. UI thread only.

#include <QWidget>

#include "probe/video_info_text.h"

class QLabel;

namespace tw {
class TAVProfile;
}

namespace tw::ui {

class TFrameVideoInfo : public QWidget {
    Q_OBJECT

public:
    explicit TFrameVideoInfo(QWidget* parent = nullptr);

    // Shows the profile's facts; null clears the panel.
    void ShowProfile(const TAVProfile* profile);
    const probe::VideoInfoPanelText& Shown() const { return shown_; }

private:
    void Show(const probe::VideoInfoPanelText& text);

    probe::VideoInfoPanelText shown_;
    QLabel* lblAudioEncoder_;
    QLabel* lblChannels_;
    QLabel* lblSampleRate_;
    QLabel* lblAudioBitrate_;
    QLabel* lblVideoEncoder_;
    QLabel* lblFrameSize_;
    QLabel* lblFrameRate_;
    QLabel* lblVideoBitrate_;
};

}  // namespace tw::ui
