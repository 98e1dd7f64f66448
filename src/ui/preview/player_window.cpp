#include "preview/player_window.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/file_dialog_service.h"
#include "platform/message_service.h"
#include "preview/preview_rules.h"
#include "preview/preview_text.h"
#include "preview/time_bar.h"
#include "preview/video_view.h"
#include "util/format.h"

namespace tw::ui {

namespace {

constexpr double kArrowStepSeconds = 5.0;
constexpr int kTimeUpdateMs = 250;

// One local file among the dropped URLs, or nothing.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().front().isLocalFile()) {
        return {};
    }
    return data->urls().front().toLocalFile();
}

}  // namespace

PlayerWindow::PlayerWindow(QWidget* parent)
    : QMainWindow(parent), view_(new VideoView(this)), playback_(view_, this) {
    setObjectName(QStringLiteral("PlayerWindow"));
    setWindowTitle(QStringLiteral("Tidewell Player"));
    setAcceptDrops(true);

    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
    QAction* actOpen = fileMenu->addAction(QIcon::fromTheme(QStringLiteral("document-open")),
                                           tr("&Open..."), this, &PlayerWindow::ChooseFile);
    actOpen->setObjectName(QStringLiteral("actOpen"));
    actOpen->setShortcut(QKeySequence::Open);
    fileMenu->addSeparator();
    QAction* actClose = fileMenu->addAction(tr("&Close"), this, &QWidget::close);
    actClose->setObjectName(QStringLiteral("actClose"));
    actClose->setShortcut(QKeySequence::Close);

    actPlay_ = new QAction(PlayIcon(preview::GraphState::Stopped), tr("Play"), this);
    actPlay_->setObjectName(QStringLiteral("actPlay"));
    connect(actPlay_, &QAction::triggered, &playback_, &PreviewPlayback::TogglePlay);
    auto* playButton = new QToolButton(this);
    playButton->setDefaultAction(actPlay_);
    playButton->setAutoRaise(true);
    playButton->setFocusPolicy(Qt::NoFocus);

    bar_ = new TimeBar(this);
    bar_->setObjectName(QStringLiteral("tbPosition"));
    bar_->setFocusPolicy(Qt::NoFocus);
    connect(bar_, &TimeBar::seekRequested, this, &PlayerWindow::SeekToBar);

    time_ = new QLabel(this);
    time_->setObjectName(QStringLiteral("lblTime"));
    auto* speaker = new QLabel(this);
    speaker->setPixmap(QIcon::fromTheme(QStringLiteral("audio-volume-high"),
                                        QIcon(QStringLiteral(":/preview/volume.svg")))
                           .pixmap(16, 16));
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setObjectName(QStringLiteral("sldVolume"));
    volume_->setRange(0, 100);
    volume_->setValue(playback_.Volume());
    volume_->setMaximumWidth(100);
    volume_->setFocusPolicy(Qt::NoFocus);
    volume_->setToolTip(tr("Volume"));
    connect(volume_, &QSlider::valueChanged, &playback_, &PreviewPlayback::SetVolume);

    controls_ = new QWidget(this);
    auto* row = new QHBoxLayout(controls_);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(playButton);
    row->addWidget(bar_, 1);
    row->addWidget(time_);
    row->addSpacing(8);
    row->addWidget(speaker);
    row->addWidget(volume_);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view_, 1);
    layout->addWidget(controls_);
    setCentralWidget(central);
    statusBar();
    resize(720, 480);

    connect(view_, &VideoView::doubleClicked, this, &PlayerWindow::ToggleFullScreen);
    connect(&playback_, &PreviewPlayback::stateChanged, this, &PlayerWindow::UpdateControls);
    timeTimer_.setInterval(kTimeUpdateMs);
    connect(&timeTimer_, &QTimer::timeout, this, &PlayerWindow::UpdateTime);
    setFocusPolicy(Qt::StrongFocus);
    UpdateControls();
}

bool PlayerWindow::OpenFile(const QString& name) {
    if (!playback_.Open(name)) {
        fileName_.clear();
        setWindowTitle(QStringLiteral("Tidewell Player"));
        platform::Messages().ShowError(
            FormatPrintf("can not open the file %s!", name.toStdString().c_str()));
        return false;
    }
    fileName_ = name;
    const QString shown =
        name.startsWith(QStringLiteral("stream:")) ? name : QFileInfo(name).fileName();
    setWindowTitle(QStringLiteral("%1 - Tidewell Player").arg(shown));
    UpdateTime();
    return true;
}

void PlayerWindow::SeekTo(double seconds) {
    playback_.SeekTo(static_cast<int64_t>(seconds * 1e7));
    UpdateTime();
}

void PlayerWindow::Play() {
    playback_.Play();
}

void PlayerWindow::Pause() {
    playback_.Pause();
}

void PlayerWindow::ChooseFile() {
    const QString file =
        FileDialogs().OpenFileName(this, tr("Open"), QFileInfo(fileName_).absolutePath(),
                                   {MediaFilesFilter(), tr("All files (*)")});
    if (!file.isEmpty() && OpenFile(file)) {
        playback_.Play();
    }
}

void PlayerWindow::ToggleFullScreen() {
    const bool full = !isFullScreen();
    menuBar()->setVisible(!full);
    statusBar()->setVisible(!full);
    controls_->setVisible(!full);
    if (full) {
        showFullScreen();
    } else {
        showNormal();
    }
}

void PlayerWindow::SeekToBar(int position) {
    playback_.SeekTo(static_cast<int64_t>(position) * 10'000'000);
    UpdateTime();
}

void PlayerWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
            playback_.TogglePlay();
            break;
        case Qt::Key_Left:
            playback_.SeekBy(-kArrowStepSeconds);
            UpdateTime();
            break;
        case Qt::Key_Right:
            playback_.SeekBy(kArrowStepSeconds);
            UpdateTime();
            break;
        case Qt::Key_Escape:
            if (isFullScreen()) {
                ToggleFullScreen();
            }
            break;
        case Qt::Key_F:
            ToggleFullScreen();
            break;
        default:
            QMainWindow::keyPressEvent(event);
            return;
    }
    event->accept();
}

void PlayerWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void PlayerWindow::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    if (OpenFile(file)) {
        playback_.Play();
    }
}

void PlayerWindow::UpdateControls() {
    const bool active = playback_.Active();
    const preview::GraphState state = playback_.State();
    actPlay_->setEnabled(active);
    actPlay_->setIcon(PlayIcon(state));
    actPlay_->setText(QString::fromUtf8(preview::PlayHint(state)));
    actPlay_->setToolTip(actPlay_->text());
    bar_->setEnabled(active);
    if (active) {
        timeTimer_.start();
    } else {
        timeTimer_.stop();
        bar_->setRange(0, 0);
        time_->clear();
    }
    statusBar()->showMessage(playback_.SoundMissing() ? tr("No sound device: playing without sound")
                                                      : QString());
    UpdateTime();
}

void PlayerWindow::UpdateTime() {
    if (!playback_.Active()) {
        return;
    }
    const int64_t durationMs = playback_.DurationMs();
    const int64_t positionMs = playback_.PositionMs();
    bar_->setMaximum(static_cast<int>(durationMs / 1000));
    bar_->ShowPosition(static_cast<int>(positionMs / 1000));
    time_->setText(
        QStringLiteral("%1 / %2").arg(LongTimeText(positionMs), LongTimeText(durationMs)));
}

PlayerWindow* OpenPlayerWindow(const QString& file, QWidget* parent) {
    auto* window = new PlayerWindow(parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    if (!file.isEmpty() && window->OpenFile(file)) {
        window->Play();
    }
    return window;
}

}  // namespace tw::ui
