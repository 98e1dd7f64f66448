#pragma once

// The last chance before the computer powers off when all work is done: a countdown with
// "Shut Down Now" (accepts) and "Cancel" (rejects). Reaching zero accepts.

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace tw::ui {

class TFormShutdown : public QDialog {
    Q_OBJECT

public:
    explicit TFormShutdown(int seconds, QWidget* parent = nullptr);

    int SecondsLeft() const { return left_; }

private:
    void Tick();
    void ShowLeft();

    int total_;
    int left_;
    QTimer timer_;
    QLabel* lblCountdown_;
    QProgressBar* bar_;
};

}  // namespace tw::ui
