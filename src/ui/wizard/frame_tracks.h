#pragma once

// The source's tracks on the wizard's first page: its audio tracks and its subtitle tracks
// (language, codec, channels, title) with check boxes. The checked ones are converted: several
// audio tracks where the target's container holds them (a note says when it holds one), text
// subtitles as the target's own soft subtitles where it can carry them (ticked at first where
// the container takes them unasked). The preview plays the first checked sound track. UI thread
// only.

#include <QGroupBox>
#include <string>
#include <vector>

#include "probe/source_tracks.h"

class QLabel;
class QListWidget;

namespace tw::ui {

class TFrameTracks : public QGroupBox {
    Q_OBJECT

public:
    explicit TFrameTracks(QWidget* parent = nullptr);

    // Lists the tracks read from the file (the reading is the caller's: it may be slow); no
    // file (a disc title, or no source): nothing to choose, the conversion takes its usual
    // tracks.
    void ShowTracks(const std::string& path, const std::vector<probe::SourceTrack>& tracks);
    // The target's container by its file extension (".mp3"), for the notes.
    void SetTargetExtension(const std::string& extension);

    // As TAudioOptions::AudioTracks and TSubtitleOptions::SubtitleTracks take them; empty where
    // the choice is what the conversion would take anyway.
    std::string AudioTracksText() const;
    std::string SubtitleTracksText() const;

    // The audio track the preview plays: the first checked one, counted from 0 among the audio
    // tracks (0 when none is checked).
    int PreviewAudioIndex() const { return previewAudio_; }

signals:
    void previewAudioChanged(int index);

private:
    void UpdateNote();
    void UpdatePreviewAudio();

    QListWidget* lstAudio_;
    QListWidget* lstSubtitles_;
    QLabel* lblNote_;
    std::string sourceFile_;
    std::string targetExtension_;
    bool subtitlesChosen_ = false;  // the user has changed the subtitle ticks
    int previewAudio_ = 0;
};

}  // namespace tw::ui
