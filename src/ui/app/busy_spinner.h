#pragma once

// A small turning ring shown where the user waits for work done off the UI thread (a file being
// examined, a folder being listed, a disc being scanned). Hidden while idle; it keeps its room in
// a layout, so that nothing moves when it appears. UI thread only.

#include <QTimer>
#include <QWidget>

namespace tw::ui {

class BusySpinner : public QWidget {
    Q_OBJECT

public:
    explicit BusySpinner(QWidget* parent = nullptr);

    // Shows and turns it, or hides it.
    void SetBusy(bool busy);
    bool Busy() const { return timer_.isActive(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int step_ = 0;
};

}  // namespace tw::ui
