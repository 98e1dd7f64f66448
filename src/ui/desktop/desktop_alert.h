#pragma once

// The program's own completion alert, used where the desktop has no notification service: a
// small frameless window at the bottom right with a picture, a header, the message and the
// buttons "Folder" and "Close". Clicking the message is the same as "Folder". It can be
// dragged anywhere, and fades out after its time unless the pointer rests on it.

#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>

#include "tasks/task_views.h"

class QLabel;

namespace tw::ui {

class TAVDesktopAlert : public QWidget {
    Q_OBJECT

public:
    explicit TAVDesktopAlert(const TaskAlert& alert, QWidget* parent = nullptr);

    const QString& TargetFile() const { return targetFile_; }
    // Shows it with its bottom right corner at the point.
    void Popup(const QPoint& bottomRight);

signals:
    void FolderRequested(const QString& file);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FadeOut();

    QString targetFile_;
    QLabel* lblMessage_;
    QTimer life_;
    QPropertyAnimation fade_;
    QPoint pressOffset_;
    QPoint pressGlobal_;
    bool pressed_ = false;
};

}  // namespace tw::ui
