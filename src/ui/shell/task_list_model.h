#pragma once

// The task list's rows: one per task of the node on display, with that node's columns. Cell
// texts, the status picture and tool tips are read from the task each time a cell is painted;
// nothing of the task is copied. The node fills the model through TFrameList (TaskListView).
// UI thread only.

#include <QAbstractTableModel>
#include <QIcon>
#include <QMimeData>
#include <string>
#include <vector>

namespace tw {
class TAVTask;
}

namespace tw::ui {

class TaskListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // What a drag of converted rows carries: their tasks' ids, separated by commas.
    static constexpr char kTaskIdsMimeType[] = "application/x-tidewell-task-ids";
    // The ids a drag carries; empty when it carries none.
    static std::vector<int> TaskIds(const QMimeData& data);

    explicit TaskListModel(QObject* parent = nullptr);

    void Clear();
    void AddColumn(const std::string& caption, int width);
    void AddRow(TAVTask& task);
    void RemoveRow(TAVTask& task);
    void RepaintRow(TAVTask& task);

    TAVTask* TaskAt(int row) const;
    int RowOf(const TAVTask& task) const;
    // The width the node asked for, in the list's design pixels.
    int DesignWidth(int column) const;
    // The column with this caption, -1 when the node did not ask for one.
    int ColumnOf(const QString& caption) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Converted tasks may be dragged onto a category.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

private:
    bool IsFigure(int column) const;

    struct Column {
        QString caption;
        int width;
    };
    std::vector<Column> columns_;
    std::vector<TAVTask*> rows_;
    std::vector<QIcon> statusIcons_;
};

}  // namespace tw::ui
