#include "shell/task_list_model.h"

#include <algorithm>

#include "shell/status_icons.h"
#include "tasks/av_task.h"

namespace tw::ui {

TaskListModel::TaskListModel(QObject* parent)
    : QAbstractTableModel(parent), statusIcons_(TaskStatusIcons()) {}

void TaskListModel::Clear() {
    beginResetModel();
    columns_.clear();
    rows_.clear();
    endResetModel();
}

void TaskListModel::AddColumn(const std::string& caption, int width) {
    const int column = static_cast<int>(columns_.size());
    beginInsertColumns({}, column, column);
    columns_.push_back({QString::fromStdString(caption), width});
    endInsertColumns();
}

void TaskListModel::AddRow(TAVTask& task) {
    const int row = static_cast<int>(rows_.size());
    beginInsertRows({}, row, row);
    rows_.push_back(&task);
    endInsertRows();
}

void TaskListModel::RemoveRow(TAVTask& task) {
    const int row = RowOf(task);
    if (row < 0) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void TaskListModel::RepaintRow(TAVTask& task) {
    const int row = RowOf(task);
    // Cell by cell: a view repaints only the cell of a one-cell change, but all of itself for a
    // wider one, and progress changes a row several times a second.
    for (int column = 0; row >= 0 && column < columnCount(); ++column) {
        const QModelIndex cell = index(row, column);
        emit dataChanged(cell, cell);
    }
}

TAVTask* TaskListModel::TaskAt(int row) const {
    return row >= 0 && row < rowCount() ? rows_[row] : nullptr;
}

int TaskListModel::RowOf(const TAVTask& task) const {
    auto it = std::find(rows_.begin(), rows_.end(), &task);
    return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

int TaskListModel::DesignWidth(int column) const {
    return column >= 0 && column < columnCount() ? columns_[column].width : 0;
}

int TaskListModel::ColumnOf(const QString& caption) const {
    for (int column = 0; column < columnCount(); ++column) {
        if (columns_[column].caption == caption) {
            return column;
        }
    }
    return -1;
}

int TaskListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TaskListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

bool TaskListModel::IsFigure(int column) const {
    const QString& caption = columns_[column].caption;
    return column > 0 && caption != QLatin1String("Target") &&
           caption != QLatin1String("Target Profile") && caption != QLatin1String("Date");
}

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
    TAVTask* task = TaskAt(index.row());
    if (!task || index.column() >= columnCount()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(task->GetText(index.column()));
        case Qt::DecorationRole:
            if (index.column() == 0) {
                const size_t image = static_cast<size_t>(task->GetImageIndex());
                return image < statusIcons_.size() ? statusIcons_[image] : QIcon();
            }
            return {};
        case Qt::ToolTipRole:
            if (index.column() == 0) {
                return QString::fromStdString(task->Settings().SourceFile());
            }
            if (index.column() == 2) {
                return QString::fromStdString(task->Settings().TargetFile());
            }
            return {};
        case Qt::TextAlignmentRole:
            return IsFigure(index.column()) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                            : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

Qt::ItemFlags TaskListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (const TAVTask* task = TaskAt(index.row()); task && task->IsConverted()) {
        flags |= Qt::ItemIsDragEnabled;
    }
    return flags;
}

QStringList TaskListModel::mimeTypes() const {
    return {QString::fromLatin1(kTaskIdsMimeType)};
}

QMimeData* TaskListModel::mimeData(const QModelIndexList& indexes) const {
    QStringList ids;
    for (const QModelIndex& index : indexes) {
        const TAVTask* task = TaskAt(index.row());
        const QString id = task ? QString::number(task->ID()) : QString();
        if (task && task->IsConverted() && !ids.contains(id)) {
            ids << id;
        }
    }
    if (ids.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kTaskIdsMimeType), ids.join(u',').toLatin1());
    return data;
}

std::vector<int> TaskListModel::TaskIds(const QMimeData& data) {
    std::vector<int> ids;
    const QByteArray text = data.data(QString::fromLatin1(kTaskIdsMimeType));
    for (const QByteArray& part : text.split(',')) {
        bool ok = false;
        const int id = part.toInt(&ok);
        if (ok && id > 0) {
            ids.push_back(id);
        }
    }
    return ids;
}

QVariant TaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return columns_[section].caption;
    }
    if (role == Qt::TextAlignmentRole) {
        return IsFigure(section) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                 : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

}  // namespace tw::ui
