#pragma once

// The about box: the program's name, version, licence and home page, and the libraries it is
// built on.

#include <QDialog>

namespace tw::ui {

class TFormAbout : public QDialog {
    Q_OBJECT

public:
    explicit TFormAbout(QWidget* parent = nullptr);
};

void ExecuteAbout(QWidget* parent);

}  // namespace tw::ui
