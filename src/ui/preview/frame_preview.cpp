#include "preview/frame_preview.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/message_service.h"
#include "preview/preview_rules.h"
#include "preview/preview_text.h"
#include "preview/time_bar.h"
#include "preview/video_view.h"
#include "util/format.h"

namespace tw::ui {

namespace {

QToolButton* ActionButton(QAction* action, Qt::ToolButtonStyle style, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setToolButtonStyle(style);
    button->setAutoRaise(true);
    return button;
}

QLabel* MarkLabel(const char* name, const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromUtf8(name));
    return label;
}

}  // namespace

FramePreview::FramePreview(QWidget* parent)
    : QWidget(parent), view_(new VideoView(this)), playback_(view_, this) {
    setObjectName(QStringLiteral("FramePreview"));

    actPlay_ = new QAction(PlayIcon(preview::GraphState::Stopped), tr("Play"), this);
    actPlay_->setObjectName(QStringLiteral("actPlay"));
    actPlay_->setToolTip(QStringLiteral("Play"));
    connect(actPlay_, &QAction::triggered, &playback_, &PreviewPlayback::TogglePlay);
    actSetStart_ = new QAction(tr("Set Start"), this);
    actSetStart_->setObjectName(QStringLiteral("actSetStart"));
    connect(actSetStart_, &QAction::triggered, this, &FramePreview::SetStart);
    actSetEnd_ = new QAction(tr("Set End"), this);
    actSetEnd_->setObjectName(QStringLiteral("actSetEnd"));
    connect(actSetEnd_, &QAction::triggered, this, &FramePreview::SetEnd);

    bar_ = new TimeBar(this);
    bar_->setObjectName(QStringLiteral("tbPosition"));
    bar_->SetSelectionShown(true);
    connect(bar_, &TimeBar::seekRequested, this, &FramePreview::SeekTo);

    lblStart_ = MarkLabel("lblStart", "Start[0:0:0]", this);
    lblEnd_ = MarkLabel("lblEnd", "End[0:0:0]", this);
    lblStatus_ = MarkLabel("lblStatus", "", this);
    lblStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* barRow = new QHBoxLayout;
    barRow->addWidget(ActionButton(actPlay_, Qt::ToolButtonIconOnly, this));
    barRow->addWidget(bar_, 1);
    auto* markRow = new QHBoxLayout;
    markRow->addWidget(ActionButton(actSetStart_, Qt::ToolButtonTextOnly, this));
    markRow->addWidget(lblStart_);
    markRow->addStretch(1);
    markRow->addWidget(ActionButton(actSetEnd_, Qt::ToolButtonTextOnly, this));
    markRow->addWidget(lblEnd_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_, 1);
    layout->addLayout(barRow);
    layout->addLayout(markRow);
    layout->addWidget(lblStatus_);

    connect(&playback_, &PreviewPlayback::stateChanged, this, &FramePreview::UpdateControls);
    timeTimer_.setInterval(preview::kTimeBarIntervalMs);
    connect(&timeTimer_, &QTimer::timeout, this, &FramePreview::UpdateTime);
    UpdateControls();
}

bool FramePreview::OpenSource(const QString& name) {
    std::unique_ptr<preview::TFFPushSource> source = playback_.Graph().Player().MakeSource();
    return ShowSource(source->Load(name.toStdString()) ? std::move(source) : nullptr, name);
}

void FramePreview::SetMarksShown(bool shown) {
    if (!shown) {
        SetSelection(0, 0);
    }
    for (QToolButton* button : findChildren<QToolButton*>()) {
        if (button->defaultAction() == actSetStart_ || button->defaultAction() == actSetEnd_) {
            button->setVisible(shown);
        }
    }
    lblStart_->setVisible(shown);
    lblEnd_->setVisible(shown);
}

bool FramePreview::ShowSource(std::unique_ptr<preview::TFFPushSource> loaded, const QString& name) {
    playback_.Deactivate();
    playback_.Clear();
    lblStatus_->clear();
    if (!playback_.Show(std::move(loaded), name)) {
        platform::Messages().ShowError(
            FormatPrintf("can not open the file %s!", name.toStdString().c_str()));
        return false;
    }
    MarkEnd(0);
    MarkStart(0);
    UpdateTime();
    return true;
}

void FramePreview::StopAndClear() {
    if (playback_.Active()) {
        playback_.Stop();
        playback_.Deactivate();
        playback_.Clear();
    }
}

void FramePreview::Deactivate() {
    playback_.Deactivate();
}

int FramePreview::SelectionStart() const {
    return bar_->SelectionStart();
}

int FramePreview::SelectionEnd() const {
    return bar_->SelectionEnd();
}

void FramePreview::SetSelection(int startSeconds, int endSeconds) {
    MarkStart(startSeconds);
    MarkEnd(endSeconds);
}

void FramePreview::SeekTo(int seconds) {
    if (!playback_.Active()) {
        return;
    }
    bar_->ShowPosition(seconds);
    playback_.SeekTo(
        preview::TimeBarSeekPosition(playback_.Graph().StopPosition(), seconds, bar_->maximum()));
    UpdateTime();
}

void FramePreview::SetStart() {
    MarkStart(bar_->value());
}

void FramePreview::SetEnd() {
    MarkEnd(bar_->value());
}

void FramePreview::MarkStart(int position) {
    bar_->SetSelectionStart(position);
    lblStart_->setText(QString::fromStdString(preview::MarkLabel("Start", position)));
    emit selectionStartChanged(position);
}

void FramePreview::MarkEnd(int position) {
    bar_->SetSelectionEnd(position);
    lblEnd_->setText(QString::fromStdString(preview::MarkLabel("End", position)));
    emit selectionEndChanged(position);
}

void FramePreview::UpdateControls() {
    const bool active = playback_.Active();
    const preview::GraphState state = playback_.State();
    actPlay_->setEnabled(active);
    actPlay_->setIcon(PlayIcon(state));
    actPlay_->setToolTip(QString::fromUtf8(preview::PlayHint(state)));
    actPlay_->setText(actPlay_->toolTip());
    // An opened source shows its picture at the bar's position whether or not it has played,
    // so the bar and the marks work from the start.
    bar_->setEnabled(active);
    actSetStart_->setEnabled(active);
    actSetEnd_->setEnabled(active);
    if (active) {
        timeTimer_.start();
    } else {
        timeTimer_.stop();
    }
    UpdateTime();
}

void FramePreview::UpdateTime() {
    if (!playback_.Active()) {
        return;
    }
    const int64_t durationMs = playback_.DurationMs();
    bar_->setMaximum(static_cast<int>(durationMs / preview::kTimeBarIntervalMs));
    bar_->ShowPosition(static_cast<int>(playback_.PositionMs() / preview::kTimeBarIntervalMs));
    lblStatus_->setText(
        StatusLineText(playback_.PositionMs(), durationMs, playback_.SoundMissing()));
}

}  // namespace tw::ui
