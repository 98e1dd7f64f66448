#include "wizard/frame_tracks.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>

#include "probe/source_tracks.h"

namespace tw::ui {

namespace {

// Containers that hold one sound track, and those that carry text subtitles, by extension.
bool HoldsOneAudioTrack(std::string extension) {
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* one : {".mp3", ".wav", ".aac", ".flac", ".ac3", ".aiff", ".amr", ".au", ".flv",
                            ".mp2", ".ogg", ".oga", ".opus", ".m4a", ".wma"}) {
        if (extension == one) {
            return true;
        }
    }
    return false;
}

bool CarriesTextSubtitles(std::string extension) {
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mkv" || extension == ".mp4" || extension == ".m4v" ||
           extension == ".mov" || extension == ".webm";
}

// Containers a conversion gives the source's text subtitles without being asked.
bool TakesSubtitlesByItself(std::string extension) {
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mkv" || extension == ".webm";
}

QListWidget* TrackList(const char* name) {
    auto* list = new QListWidget;
    list->setObjectName(QString::fromLatin1(name));
    list->setMaximumHeight(list->fontMetrics().height() * 5);
    return list;
}

// "2,3" of the checked rows (their track numbers); "all" when every row is checked, "none" when
// none is.
std::string CheckedText(const QListWidget& list) {
    std::string text;
    int checked = 0;
    for (int row = 0; row < list.count(); ++row) {
        if (list.item(row)->checkState() == Qt::Checked) {
            text += (text.empty() ? "" : ",") + std::to_string(row + 1);
            ++checked;
        }
    }
    if (checked == 0) {
        return "none";
    }
    return checked == list.count() && checked > 1 ? "all" : text;
}

}  // namespace

TFrameTracks::TFrameTracks(QWidget* parent)
    : QGroupBox(QStringLiteral("Tracks"), parent),
      lstAudio_(TrackList("lstAudioTracks")),
      lstSubtitles_(TrackList("lstSubtitleTracks")),
      lblNote_(new QLabel) {
    setObjectName(QStringLiteral("gbTracks"));
    lblNote_->setObjectName(QStringLiteral("lblTracksNote"));
    lblNote_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    auto* audioLabel = new QLabel(QStringLiteral("&Audio:"));
    audioLabel->setBuddy(lstAudio_);
    auto* subtitleLabel = new QLabel(QStringLiteral("S&ubtitles:"));
    subtitleLabel->setBuddy(lstSubtitles_);
    layout->addWidget(audioLabel);
    layout->addWidget(lstAudio_);
    layout->addWidget(subtitleLabel);
    layout->addWidget(lstSubtitles_);
    layout->addWidget(lblNote_);
    connect(lstAudio_, &QListWidget::itemChanged, this, &TFrameTracks::UpdateNote);
    connect(lstAudio_, &QListWidget::itemChanged, this, &TFrameTracks::UpdatePreviewAudio);
    connect(lstSubtitles_, &QListWidget::itemChanged, this, [this] {
        subtitlesChosen_ = true;
        UpdateNote();
    });
    ShowTracks({}, {});
}

void TFrameTracks::ShowTracks(const std::string& path,
                              const std::vector<probe::SourceTrack>& tracks) {
    if (path == sourceFile_ && !path.empty()) {
        return;
    }
    sourceFile_ = path;
    const QSignalBlocker quietAudio(lstAudio_);
    const QSignalBlocker quietSubtitles(lstSubtitles_);
    lstAudio_->clear();
    lstSubtitles_->clear();
    subtitlesChosen_ = false;
    for (const probe::SourceTrack& track : tracks) {
        auto* item = new QListWidgetItem(QString::fromStdString(probe::TrackLine(track)));
        // A long title runs past the list's edge: the whole line on hovering.
        item->setToolTip(item->text());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        // What a conversion takes by itself: the first sound track, and the first subtitles
        // where the container takes them unasked.
        const bool taken =
            track.number == 1 && (track.audio || TakesSubtitlesByItself(targetExtension_));
        item->setCheckState(taken ? Qt::Checked : Qt::Unchecked);
        (track.audio ? lstAudio_ : lstSubtitles_)->addItem(item);
    }
    setVisible(!tracks.empty());
    UpdateNote();
    UpdatePreviewAudio();
}

void TFrameTracks::SetTargetExtension(const std::string& extension) {
    targetExtension_ = extension;
    if (!subtitlesChosen_ && lstSubtitles_->count() > 0) {
        // Still as the conversion would have it, for the new container.
        const QSignalBlocker quiet(lstSubtitles_);
        lstSubtitles_->item(0)->setCheckState(TakesSubtitlesByItself(extension) ? Qt::Checked
                                                                                : Qt::Unchecked);
    }
    UpdateNote();
}

std::string TFrameTracks::AudioTracksText() const {
    // The first track alone is what the conversion takes anyway (and of a single track, all).
    const std::string text = CheckedText(*lstAudio_);
    return lstAudio_->count() == 0 || text == "1" ? std::string() : text;
}

std::string TFrameTracks::SubtitleTracksText() const {
    // Untouched ticks are what the conversion takes anyway: a container that needs asking
    // (MP4's timed text) gets subtitles only when the user asks for them.
    return lstSubtitles_->count() == 0 || !subtitlesChosen_ ? std::string()
                                                            : CheckedText(*lstSubtitles_);
}

void TFrameTracks::UpdatePreviewAudio() {
    int first = 0;
    for (int row = 0; row < lstAudio_->count(); ++row) {
        if (lstAudio_->item(row)->checkState() == Qt::Checked) {
            first = row;
            break;
        }
    }
    if (first != previewAudio_) {
        previewAudio_ = first;
        emit previewAudioChanged(first);
    }
}

void TFrameTracks::UpdateNote() {
    QStringList notes;
    int audio = 0;
    for (int row = 0; row < lstAudio_->count(); ++row) {
        audio += lstAudio_->item(row)->checkState() == Qt::Checked ? 1 : 0;
    }
    if (audio > 1 && HoldsOneAudioTrack(targetExtension_)) {
        notes << QStringLiteral(
            "The target holds one sound track: only the first checked one "
            "is converted.");
    }
    bool subtitles = false;
    for (int row = 0; row < lstSubtitles_->count(); ++row) {
        subtitles = subtitles || lstSubtitles_->item(row)->checkState() == Qt::Checked;
    }
    if (subtitles && !targetExtension_.empty() && !CarriesTextSubtitles(targetExtension_)) {
        notes << QStringLiteral(
            "The target cannot carry subtitles of its own: add a Hard "
            "Subtitle Filter to burn them in.");
    }
    lblNote_->setText(notes.join(QLatin1Char(' ')));
    lblNote_->setVisible(!notes.isEmpty());
}

}  // namespace tw::ui
