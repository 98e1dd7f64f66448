#include "preview/av_player.h"

#include <algorithm>
#include <cctype>

#include "util/string_list.h"

namespace tw::preview {

namespace {

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

void TAVPlayer::SetVideoFilters(const std::string& text) {
    if (SameTextIgnoringCase(Trim(text), Trim(videoFilters_))) {
        return;
    }
    if (source_) {
        source_->SetVideoFilters(text);
    }
    videoFilters_ = text;
}

void TAVPlayer::SetDisableAudio(bool value) {
    disableAudio_ = value;
    if (source_) {
        source_->SetAudioDisabled(value);
    }
}

void TAVPlayer::SetVideoIndex(int value) {
    videoIndex_ = value;
    if (source_) {
        source_->SetVideoIndex(value);
    }
}

void TAVPlayer::SetAudioIndex(int value) {
    audioIndex_ = value;
    if (source_) {
        source_->SetAudioIndex(value);
    }
}

void TAVPlayer::SetSubtitleIndex(int value) {
    subtitleIndex_ = value;
    if (source_) {
        source_->SetSubtitleIndex(value);
    }
}

int TAVPlayer::VideoWidth() const {
    return source_ ? source_->VideoWidth() : 0;
}

int TAVPlayer::VideoHeight() const {
    return source_ ? source_->VideoHeight() : 0;
}

int TAVPlayer::VideoStreamCount() const {
    return source_ ? source_->VideoStreamCount() : 0;
}

int TAVPlayer::AudioStreamCount() const {
    return source_ ? source_->AudioStreamCount() : 0;
}

int TAVPlayer::SubtitleStreamCount() const {
    return source_ ? source_->SubtitleStreamCount() : 0;
}

bool TAVPlayer::HasVideo() const {
    return source_ && source_->HasVideo();
}

bool TAVPlayer::HasAudio() const {
    return source_ && source_->HasAudio();
}

bool TAVPlayer::HasSubtitle() const {
    return source_ && source_->HasSubtitle();
}

bool TAVPlayer::OpenFile(const std::string& fileName) {
    Close();
    std::unique_ptr<TFFPushSource> source = MakeSource();
    if (!source->Load(fileName)) {
        return false;
    }
    TakeSource(std::move(source), fileName);
    return true;
}

std::unique_ptr<TFFPushSource> TAVPlayer::MakeSource() const {
    auto source = std::make_unique<TFFPushSource>();
    source->SetVideoFilters(videoFilters_);
    source->SetAudioDisabled(disableAudio_);
    source->SetOnBuffer(onBuffer_);
    source->SetOnAudioBuffer(onAudioBuffer_);
    source->SetLoopCount(loopCount_);
    return source;
}

void TAVPlayer::TakeSource(std::unique_ptr<TFFPushSource> loaded, const std::string& fileName) {
    Close();
    source_ = std::move(loaded);
    fileName_ = fileName;
}

void TAVPlayer::Close() {
    source_.reset();
}

}  // namespace tw::preview
