#pragma once

// The wizard's trial run: "Try 10 seconds" converts a sample from the middle of the span with
// the chosen settings, on a converter of its own so the window stays free, shows its progress,
// then the sample's figures and what they predict of the whole span (the target's size, the
// time converting takes), and offers the sample to play in the program's player. The samples go
// to a folder of the program's own that is removed when the program ends. UI thread only.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "engine/trial_run.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tw {
class TAVConverter;
class TAVConvertOptions;
}  // namespace tw

namespace tw::ui {

class TFrameTrial : public QWidget {
    Q_OBJECT

public:
    explicit TFrameTrial(QWidget* parent = nullptr);
    ~TFrameTrial() override;

    // Converts the sample of span from source with options into a sample named for target;
    // inOwnProcess: in a worker process, as conversions run. A trial still running is stopped
    // first.
    void Run(const std::string& source, const std::string& target, const TAVConvertOptions& options,
             const engine::Span& span, bool inOwnProcess);
    // Stops a running trial and forgets the last result (the source or settings changed).
    void Clear();
    // Whether the button offers a trial (a video file and a profile chosen).
    void SetAvailable(bool available, const QString& whyNot = QString());

    bool Running() const;
    // The shown result, and the sample it is of (empty until a trial has completed).
    QString ResultText() const;
    QString SampleFile() const { return sample_; }

signals:
    // The user asks for a trial; the owner answers with Run (or says why not).
    void tryRequested();
    // A trial ended: completed, failed or stopped.
    void ended();

private:
    void ShowRunning(bool running);
    void Progressed();
    void Completed();
    void Ended();

    QPushButton* btnTry_;
    QProgressBar* barProgress_;
    QLabel* lblResult_;
    QPushButton* btnPlay_;
    std::unique_ptr<TAVConverter> converter_;
    engine::TrialClock clock_;
    double spanSeconds_ = 0;
    bool running_ = false;
    bool failed_ = false;
    bool available_ = false;
    QString pendingSample_;
    QString sample_;
};

// The sample's file for target: its name with ".sample" in the program's folder for samples.
std::string TrialSampleFile(const std::string& target);

}  // namespace tw::ui
