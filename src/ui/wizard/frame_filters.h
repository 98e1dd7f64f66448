#pragma once

// The wizard's "Filters Settings" page: the New Filter menu (standard, logo, overlay text and
// subtitle filters), Edit and Delete, and the list of filters in the order they apply. A new
// filter joins the list only when its dialog is confirmed. The page owns its filters.
// UI thread only.

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

private:
    template <class Filter>
    QAction* NewFilterAction(const char* objectName, const char* caption);
    void UpdateActions();
    void ShowFilter(int row);
    preview::SamplePtr Picture() const;

    QListWidget* lstFilters_;
    QAction* actEditFilter_;
    QAction* actDeleteFilter_;
    std::vector<std::unique_ptr<TAVFilter>> filters_;  // in list order
    std::function<preview::SamplePtr()> pictureSource_;
};

}  // namespace tw::ui
