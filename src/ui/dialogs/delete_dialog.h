#pragma once

// The delete confirmation ("Confirm to delete"): whether to delete the selected tasks, and
// whether their source and target files go too.

#include <QDialog>
#include <optional>

class QCheckBox;

namespace tw::ui {

struct DeleteChoice {
    bool deleteSource = false;
    bool deleteTarget = true;
};

class TFormDelete : public QDialog {
    Q_OBJECT

public:
    explicit TFormDelete(QWidget* parent = nullptr);

    DeleteChoice Choice() const;

private:
    QCheckBox* chkDeleteSource_;
    QCheckBox* chkDeleteTarget_;
};

// None on "No"; the ticked boxes on "Yes".
std::optional<DeleteChoice> ExecuteDeleteDialog(QWidget* parent);

}  // namespace tw::ui
