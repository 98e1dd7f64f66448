#include "wizard/frame_filters.h"

#include <QListWidget>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "filters/filter_list.h"
#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/subtitle_filter.h"
#include "filters/video_std_filter.h"
#include "shell/make_action.h"
#include "wizard/filter_dialogs/filter_editing.h"

namespace tw::ui {

TFrameFilters::TFrameFilters(QWidget* parent) : QWidget(parent), lstFilters_(new QListWidget) {
    setObjectName(QStringLiteral("tsFilters"));
    lstFilters_->setObjectName(QStringLiteral("lstFilters"));

    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuNewFilter"));
    menu->addAction(NewFilterAction<TVideoStdFilter>("actNewStdFilter", "New Standard Filters"));
    menu->addAction(NewFilterAction<TLogoFilter>("actNewLogoFilter", "New Logo Filter"));
    menu->addAction(
        NewFilterAction<TOverlayTextFilter>("actNewTextFilter", "New Overlay Text Filter"));
    menu->addAction(
        NewFilterAction<TSubtitleFilter>("actNewSubtitleFilter", "New Subtitle Filter"));
    auto* newFilter = new QToolButton;
    newFilter->setObjectName(QStringLiteral("btnNewFilter"));
    newFilter->setText(QStringLiteral("New Filter"));
    newFilter->setIcon(ThemeIcon(QStringLiteral("list-add")));
    newFilter->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    newFilter->setPopupMode(QToolButton::InstantPopup);
    newFilter->setMenu(menu);

    actEditFilter_ =
        MakeAction(this, "actEditFilter", QStringLiteral("Edit Filter"), "document-edit");
    actDeleteFilter_ =
        MakeAction(this, "actDeleteFilter", QStringLiteral("Delete Filter"), "edit-delete");
    connect(actEditFilter_, &QAction::triggered, this, &TFrameFilters::EditSelectedFilter);
    connect(actDeleteFilter_, &QAction::triggered, this, &TFrameFilters::DeleteSelectedFilter);

    auto* bar = new QToolBar;
    bar->setObjectName(QStringLiteral("tbFilters"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addWidget(newFilter);
    bar->addAction(actEditFilter_);
    bar->addAction(actDeleteFilter_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
    layout->addWidget(lstFilters_, 1);

    connect(lstFilters_, &QListWidget::itemSelectionChanged, this, &TFrameFilters::UpdateActions);
    connect(lstFilters_, &QListWidget::itemDoubleClicked, this, &TFrameFilters::EditSelectedFilter);
    UpdateActions();
}

TFrameFilters::~TFrameFilters() = default;

template <class Filter>
QAction* TFrameFilters::NewFilterAction(const char* objectName, const char* caption) {
    QAction* action = MakeAction(this, objectName, QString::fromLatin1(caption));
    connect(action, &QAction::triggered, this, [this] { AddFilter(std::make_unique<Filter>()); });
    return action;
}

std::string TFrameFilters::ChainText() const {
    std::vector<const TAVFilter*> filters;
    for (const auto& filter : filters_) {
        filters.push_back(filter.get());
    }
    return filters::FilterChainText(filters);
}

void TFrameFilters::AddFilter(std::unique_ptr<TAVFilter> filter) {
    if (!SetupFilter(this, *filter, Picture())) {
        return;
    }
    filters_.push_back(std::move(filter));
    lstFilters_->addItem(QString());
    ShowFilter(Count() - 1);
    lstFilters_->setCurrentRow(Count() - 1);
}

void TFrameFilters::EditSelectedFilter() {
    const int row = lstFilters_->currentRow();
    if (row < 0 || !lstFilters_->currentItem()->isSelected()) {
        return;
    }
    if (EditFilter(this, *filters_[static_cast<size_t>(row)], Picture())) {
        ShowFilter(row);
    }
}

void TFrameFilters::DeleteSelectedFilter() {
    const int row = lstFilters_->currentRow();
    if (row < 0 || !lstFilters_->currentItem()->isSelected()) {
        return;
    }
    std::unique_ptr<QListWidgetItem> gone(lstFilters_->takeItem(row));
    filters_.erase(filters_.begin() + row);
    UpdateActions();
}

preview::SamplePtr TFrameFilters::Picture() const {
    return pictureSource_ ? pictureSource_() : nullptr;
}

void TFrameFilters::ShowFilter(int row) {
    const TAVFilter& filter = *filters_[static_cast<size_t>(row)];
    QListWidgetItem* item = lstFilters_->item(row);
    item->setText(QString::fromStdString(filter.GetCaption()));
    item->setToolTip(QString::fromStdString(filter.GetFilterText()));
}

void TFrameFilters::UpdateActions() {
    const bool selected = !lstFilters_->selectedItems().isEmpty();
    actEditFilter_->setEnabled(selected);
    actDeleteFilter_->setEnabled(selected);
}

}  // namespace tw::ui
