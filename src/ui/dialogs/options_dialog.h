#pragma once

// The options dialog ("Options"): a settings tree with the pages "General" (output folder,
// completion alert, pictures kept in shape) and "Performance" (how many files convert at once,
// process priority, encoder threads, each conversion in a process of its own, segments, other
// computers that convert segments too). On "Ok" the values go into the configuration, which is
// saved; "Cancel" changes nothing.

#include <QDialog>

#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;

namespace tw {
class TAVConfiguration;
}

namespace tw::ui {

class TFormOptions : public QDialog {
    Q_OBJECT

public:
    explicit TFormOptions(QWidget* parent = nullptr);

    void Load(const TAVConfiguration& configuration);
    void Store(TAVConfiguration& configuration) const;

private:
    QWidget* GeneralPage();
    QWidget* PerformancePage();
    void BrowseOutputFolder();
    // Asks every computer of the list for its version, away from the dialog's thread; the
    // answer goes into lblHostsCheck_.
    void CheckHosts();

    QTreeWidget* tvSettings_;
    QStackedWidget* pages_;
    QLineEdit* edtOutputFolder_;
    QCheckBox* chkAlert_;
    QCheckBox* chkKeepShape_;
    QSlider* tbPriority_;
    QComboBox* cbbThreadCnt_;
    QSpinBox* spnMaxConversions_;
    int maxConversions_ = 0;  // as loaded
    QCheckBox* chkOwnProcess_;
    QSpinBox* spnSegments_;
    QSpinBox* spnSegmentSeconds_;
    QPlainTextEdit* edtHosts_;
    QPushButton* btnCheckHosts_;
    QLabel* lblHostsCheck_;
    std::jthread hostsCheck_;  // joined before the dialog's widgets go
};

// True when "Ok" was pressed and the configuration saved. A failed save is shown as an error.
bool ExecuteOptions(QWidget* parent, TAVConfiguration& configuration);

}  // namespace tw::ui
