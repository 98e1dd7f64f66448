#include "preview/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

namespace tw::ui {

namespace {

// About a quarter of a second in the device: enough to ride out a busy UI thread, little enough
// that pausing and seeking answer at once.
constexpr int kBufferMs = 250;

}  // namespace

AudioOutput::AudioOutput(QObject* parent) : QObject(parent) {}

AudioOutput::~AudioOutput() {
    Close();
}

bool AudioOutput::Open(int sampleRate, int channels) {
    Close();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || sampleRate <= 0 || channels <= 0) {
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        return false;
    }
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->setBufferSize(format.bytesForDuration(kBufferMs * 1000));
    sink_->setVolume(volume_ / 100.0);
    device_ = sink_->start();
    if (!device_ || sink_->error() != QAudio::NoError) {
        Close();
        return false;
    }
    buffer_.resize(static_cast<size_t>(sink_->bufferSize()));
    generation_ = -1;
    return true;
}

void AudioOutput::Close() {
    if (sink_) {
        sink_->stop();
    }
    sink_.reset();
    device_ = nullptr;
}

void AudioOutput::Restart() {
    sink_->stop();
    device_ = sink_->start();
}

void AudioOutput::Feed(preview::PreviewGraph& graph) {
    if (!sink_) {
        return;
    }
    if (graph.SoundGeneration() != generation_) {
        // Sound queued for an earlier position is dropped, not played.
        generation_ = graph.SoundGeneration();
        Restart();
    }
    const QAudio::Error error = sink_->error();
    if (!device_ || error == QAudio::OpenError || error == QAudio::FatalError ||
        error == QAudio::IOError) {
        Close();
        emit failed();
        return;
    }
    if (sink_->state() == QAudio::SuspendedState) {
        return;
    }
    const qsizetype room = std::min<qsizetype>(sink_->bytesFree(), buffer_.size());
    const int64_t got = graph.ReadSound(buffer_.data(), room);
    if (got > 0) {
        device_->write(reinterpret_cast<const char*>(buffer_.data()), got);
    }
    graph.SoundBuffered(sink_->bufferSize() - sink_->bytesFree());
}

void AudioOutput::Suspend() {
    if (sink_ && sink_->state() != QAudio::StoppedState) {
        sink_->suspend();
    }
}

void AudioOutput::Resume() {
    if (sink_ && sink_->state() == QAudio::SuspendedState) {
        sink_->resume();
    }
}

void AudioOutput::SetVolume(int percent) {
    volume_ = std::clamp(percent, 0, 100);
    if (sink_) {
        sink_->setVolume(volume_ / 100.0);
    }
}

}  // namespace tw::ui
