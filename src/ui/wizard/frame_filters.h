#pragma once

// The wizard's "Filters Settings" page: the New Filter menu (standard, logo, overlay text and
// subtitle filters), Edit, Delete, Move Up and Move Down, and the list of filters in the order
// they apply, each entry saying what its filter does. A new filter joins the end of the list
// only when its dialog is confirmed. A filter's dialog shows the preview's picture through the
// filters before it. The page owns its filters. UI thread only.

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filters/av_filter.h"
#include "preview/ff_sample.h"

class QAction;
class QListWidget;

namespace tw::ui {

class TFrameFilters : public QWidget {
    Q_OBJECT

public:
    explicit TFrameFilters(QWidget* parent = nullptr);
    ~TFrameFilters() override;

    // Each filter's text, in list order, joined by the list rule; empty without filters.
    std::string ChainText() const;
    int Count() const { return static_cast<int>(filters_.size()); }
    const TAVFilter& FilterAt(int index) const { return *filters_.at(static_cast<size_t>(index)); }

    // Where the dialogs take the picture they show the filter on (the preview's current one).
    void SetPictureSource(std::function<preview::SamplePtr()> source) {
        pictureSource_ = std::move(source);
    }

    // Runs the new filter's dialog and appends the filter when it is confirmed.
    void AddFilter(std::unique_ptr<TAVFilter> filter);
    void EditSelectedFilter();
    void DeleteSelectedFilter();
    // Swaps the selected filter with the one before (-1) or after (+1) it.
    void MoveSelectedFilter(int step);

private:
    template <class Filter>
    QAction* NewFilterAction(const char* objectName, const char* caption);
    void UpdateActions();
    void ShowFilter(int row);
    // The selected row, or -1.
    int SelectedRow() const;
    preview::SamplePtr Picture() const;
    // The texts of the filters before row, in list order.
    std::vector<std::string> TextsBefore(int row) const;

    QListWidget* lstFilters_;
    QAction* actEditFilter_;
    QAction* actDeleteFilter_;
    QAction* actMoveUp_;
    QAction* actMoveDown_;
    std::vector<std::unique_ptr<TAVFilter>> filters_;  // in list order
    std::function<preview::SamplePtr()> pictureSource_;
};

}  // namespace tw::ui
