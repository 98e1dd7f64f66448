#include "shell/frame_info.h"

#include <QAction>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QStringListModel>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/icons.h"
#include "tasks/av_task.h"

namespace tw::ui {

TFrameInfo::TFrameInfo(QWidget* parent)
    : QWidget(parent),
      pages_(new QTabWidget(this)),
      infoTree_(new QTreeWidget),
      logList_(new QListView),
      lines_(new QStringListModel(this)),
      actClearLog_(new QAction(QStringLiteral("Clear Log"), this)) {
    setObjectName(QStringLiteral("FrameInfo"));
    pages_->setObjectName(QStringLiteral("pcInfo"));
    infoTree_->setObjectName(QStringLiteral("vstInfo"));
    infoTree_->setColumnCount(0);
    logList_->setObjectName(QStringLiteral("lstLog"));
    logList_->setModel(lines_);
    logList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    logList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    logList_->setUniformItemSizes(true);
    logList_->setContextMenuPolicy(Qt::CustomContextMenu);

    const int infoPage = pages_->addTab(infoTree_, QStringLiteral("Task Info"));
    const int logPage = pages_->addTab(logList_, QStringLiteral("Logs"));
    pages_->setTabVisible(infoPage, false);
    pages_->setCurrentIndex(logPage);
    pages_->setDocumentMode(true);

    actClearLog_->setObjectName(QStringLiteral("actClearLog"));
    actClearLog_->setIcon(ThemeIcon(QStringLiteral("edit-clear")));
    actClearLog_->setEnabled(false);
    connect(actClearLog_, &QAction::triggered, this, [this] {
        if (task_) {
            task_->ClearLog();
        }
        UpdateActions();
    });
    auto* popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("pmLog"));
    popup->addAction(actClearLog_);
    connect(logList_, &QWidget::customContextMenuRequested, this, [this, popup](const QPoint& pos) {
        UpdateActions();
        popup->popup(logList_->viewport()->mapToGlobal(pos));
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
}

void TFrameInfo::ShowTask(TAVTask* task) {
    task_ = task;
    if (task) {
        task->ShowInfo(this, this);
    } else {
        SetLines({});
    }
    UpdateActions();
}

void TFrameInfo::Forget(const TAVTask& task) {
    if (task_ == &task) {
        ShowTask(nullptr);
    }
}

void TFrameInfo::SetLines(const TStringList& lines) {
    // A log scrolled to its end keeps following new lines; one scrolled back stays put.
    QScrollBar* bar = logList_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) {
        texts << QString::fromStdString(line);
    }
    lines_->setStringList(texts);
    if (atEnd) {
        logList_->scrollToBottom();
    }
    UpdateActions();
}

void TFrameInfo::ClearColumns() {
    infoTree_->clear();
    infoTree_->setColumnCount(0);
}

void TFrameInfo::AddColumn(const std::string& caption, int width) {
    const int column = infoTree_->columnCount();
    infoTree_->setColumnCount(column + 1);
    infoTree_->headerItem()->setText(column, QString::fromStdString(caption));
    infoTree_->header()->resizeSection(column, width);
}

int TFrameInfo::LineCount() const {
    return lines_->rowCount();
}

void TFrameInfo::UpdateActions() {
    actClearLog_->setEnabled(task_ && LineCount() > 0);
}

}  // namespace tw::ui
