#pragma once

// The sound device of a preview: a QAudioSink on the default output, fed from the preview graph
// in push mode on the UI thread. Without a device (a machine without sound, a device that
// refuses the format or is busy) it stays closed and the graph plays on the wall clock; that is
// not an error.

#include <QObject>
#include <memory>
#include <vector>

#include "preview/preview_graph.h"

class QAudioSink;
class QIODevice;

namespace tw::ui {

class AudioOutput : public QObject {
    Q_OBJECT

public:
    explicit AudioOutput(QObject* parent = nullptr);
    ~AudioOutput() override;

    // Opens the default output for signed 16-bit sound of this rate and channel count. False,
    // and closed, when no device takes it.
    bool Open(int sampleRate, int channels);
    void Close();
    bool IsOpen() const { return sink_ != nullptr; }

    // Gives the device what it has room for and tells the graph how much it still holds. A
    // device that failed is closed and reported by failed().
    void Feed(preview::PreviewGraph& graph);
    void Suspend();
    void Resume();

    // 0 to 100.
    void SetVolume(int percent);
    int Volume() const { return volume_; }

signals:
    void failed();

private:
    void Restart();

    std::unique_ptr<QAudioSink> sink_;
    QIODevice* device_ = nullptr;  // owned by sink_
    std::vector<uint8_t> buffer_;
    int generation_ = -1;
    int volume_ = 100;
};

}  // namespace tw::ui
