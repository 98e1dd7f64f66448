#pragma once

// The delete confirmation ("Confirm to delete"): whether to delete the selected tasks, and
// whether their source and target files go too. Both boxes start as the caller says (the
// program: as the user left them last, at first both clear), so that Enter never deletes a
// file the user did not tick.

#include <QDialog>
#include <optional>

class QCheckBox;

namespace tw::ui {

struct DeleteChoice {
    bool deleteSource = false;
    bool deleteTarget = false;
};

class TFormDelete : public QDialog {
    Q_OBJECT

public:
    explicit TFormDelete(const DeleteChoice& initial = {}, QWidget* parent = nullptr);

    DeleteChoice Choice() const;

private:
    QCheckBox* chkDeleteSource_;
    QCheckBox* chkDeleteTarget_;
};

// None on "No"; the ticked boxes on "Yes".
std::optional<DeleteChoice> ExecuteDeleteDialog(QWidget* parent, const DeleteChoice& initial = {});

}  // namespace tw::ui
