#pragma once

// The crop on the wizard's "Filters Settings" page: Top, Bottom, Left and Right in pixels of the
// picture as shown, "Detect Black Bars" to fill them from the bars found in the source, and the
// preview's picture with a frame round what is kept. The bars are looked for on a thread of
// their own; the page stays usable meanwhile. UI thread only.

#include <QGroupBox>
#include <QMarginsF>
#include <functional>
#include <string>
#include <thread>

#include "engine/crop_area.h"
#include "preview/ff_sample.h"

class QLabel;
class QPushButton;
class QSpinBox;

namespace tw::ui {

class VideoView;

class TFrameCrop : public QGroupBox {
    Q_OBJECT

public:
    explicit TFrameCrop(QWidget* parent = nullptr);
    ~TFrameCrop() override;

    // Where the picture comes from (the preview's current one).
    void SetPictureSource(std::function<preview::SamplePtr()> source) {
        pictureSource_ = std::move(source);
    }
    // The file whose bars "Detect Black Bars" looks for; empty: none can be looked for (a disc
    // title).
    void SetSourceFile(const std::string& path);
    // Shows the current picture again.
    void RefreshPicture();

    // The crop as TVideoOptions::Crop stores it; empty while unticked or nothing is cut.
    std::string CropText() const;
    engine::CropArea Area() const;
    void SetArea(const engine::CropArea& area);
    // Starts looking for bars (as the button does).
    void DetectBars();
    bool Detecting() const { return detecting_; }

signals:
    // The kept part's frame as shares of the picture (see VideoView::SetCropFrame).
    void cropFrameChanged(const QMarginsF& shares);
    void detectionFinished();

private:
    void AreaChanged();
    void DetectionDone(unsigned generation, std::optional<engine::CropArea> area,
                       const QString& reason);

    QSpinBox* sedTop_;
    QSpinBox* sedBottom_;
    QSpinBox* sedLeft_;
    QSpinBox* sedRight_;
    QPushButton* btnDetect_;
    QLabel* lblState_;
    VideoView* view_;
    std::function<preview::SamplePtr()> pictureSource_;
    std::string sourceFile_;
    bool detecting_ = false;
    unsigned generation_ = 0;  // a result for an older file or request is dropped
    std::jthread detection_;
};

}  // namespace tw::ui
