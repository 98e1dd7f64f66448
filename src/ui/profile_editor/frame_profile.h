#pragma once

// The profile editor's fields: extension, container format and description; the audio settings
// (sample rate, encoder, channels, bit rate); the video settings (frame size, encoder, frame
// rate, bit rate), disabled and empty for an audio profile. The formats offered are those this
// build can write, the encoders those it has whose codec the chosen container holds (and the
// profile's own, so that it shows); a pair that cannot work is said under the description. Every
// change goes straight into the profile being edited; a list without a selection leaves its value
// alone. Filling the fields from a profile writes nothing back. UI thread only.

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace tw {
class TAVCustomAudioProfile;
class TAVCustomVideoProfile;
class TAVProfile;
}  // namespace tw

namespace tw::ui {

class TFrameProfile : public QWidget {
    Q_OBJECT

public:
    explicit TFrameProfile(QWidget* parent = nullptr);

    // Fills the fields from profile and edits it from now on. Null, or a profile that is not an
    // audio or video profile, empties and disables the fields.
    void LoadProfile(TAVProfile* profile);
    TAVCustomAudioProfile* Profile() const { return profile_; }

signals:
    // The description was changed by the user; text as typed.
    void descriptionEdited(const QString& text);

private:
    QComboBox* List(const char* objectName);
    void WriteBack();
    void WriteVideoBack(TAVCustomVideoProfile& video);
    // The codecs the profile's container can hold (and those it holds now).
    void FillCodecLists();
    // Says what keeps the profile from working, if anything.
    void ShowProblem();

    TAVCustomAudioProfile* profile_ = nullptr;
    bool loading_ = false;
    QLineEdit* edtExtension_;
    QComboBox* cbbFormat_;
    QLineEdit* edtDescript_;
    QLabel* lblProblem_;
    QGroupBox* grpAudio_;
    QComboBox* cbbSampleRate_;
    QComboBox* cbbAudioEncoder_;
    QComboBox* cbbChannels_;
    QComboBox* cbbAudioBitrate_;
    QGroupBox* grpVideo_;
    QComboBox* cbbFrameSize_;
    QComboBox* cbbVideoEncoder_;
    QComboBox* cbbFrameRate_;
    QComboBox* cbbVideoBitrate_;
};

}  // namespace tw::ui
