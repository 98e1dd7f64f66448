#include "wizard/frame_filters.h"

#include <QListWidget>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "filters/denoise_filter.h"
#include "filters/filter_list.h"
#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/sharpen_filter.h"
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
    menu->addAction(NewFilterAction<TDenoiseFilter>("actNewDenoiseFilter", "New Denoise Filter"));
    menu->addAction(NewFilterAction<TSharpenFilter>("actNewSharpenFilter", "New Sharpen Filter"));
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
    actMoveUp_ = MakeAction(this, "actMoveFilterUp", QStringLiteral("Move Up"), "go-up");
    actMoveDown_ = MakeAction(this, "actMoveFilterDown", QStringLiteral("Move Down"), "go-down");
    connect(actEditFilter_, &QAction::triggered, this, &TFrameFilters::EditSelectedFilter);
    connect(actDeleteFilter_, &QAction::triggered, this, &TFrameFilters::DeleteSelectedFilter);
    connect(actMoveUp_, &QAction::triggered, this, [this] { MoveSelectedFilter(-1); });
    connect(actMoveDown_, &QAction::triggered, this, [this] { MoveSelectedFilter(+1); });

    auto* bar = new QToolBar;
    bar->setObjectName(QStringLiteral("tbFilters"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addWidget(newFilter);
    bar->addAction(actEditFilter_);
    bar->addAction(actDeleteFilter_);
    bar->addSeparator();
    bar->addAction(actMoveUp_);
    bar->addAction(actMoveDown_);

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
    if (!SetupFilter(this, *filter, Picture(), TextsBefore(Count()))) {
        return;
    }
    filters_.push_back(std::move(filter));
    lstFilters_->addItem(QString());
    ShowFilter(Count() - 1);
    lstFilters_->setCurrentRow(Count() - 1);
    UpdateActions();
}

int TFrameFilters::SelectedRow() const {
    const int row = lstFilters_->currentRow();
    return row >= 0 && lstFilters_->currentItem()->isSelected() ? row : -1;
}

void TFrameFilters::EditSelectedFilter() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    if (EditFilter(this, *filters_[static_cast<size_t>(row)], Picture(), TextsBefore(row))) {
        ShowFilter(row);
    }
}

void TFrameFilters::MoveSelectedFilter(int step) {
    const int row = SelectedRow();
    const int other = row + step;
    if (row < 0 || other < 0 || other >= Count()) {
        return;
    }
    std::swap(filters_[static_cast<size_t>(row)], filters_[static_cast<size_t>(other)]);
    ShowFilter(row);
    ShowFilter(other);
    lstFilters_->setCurrentRow(other);
    UpdateActions();
}

void TFrameFilters::DeleteSelectedFilter() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    std::unique_ptr<QListWidgetItem> gone(lstFilters_->takeItem(row));
    filters_.erase(filters_.begin() + row);
    UpdateActions();
}

preview::SamplePtr TFrameFilters::Picture() const {
    return pictureSource_ ? pictureSource_() : nullptr;
}

std::vector<std::string> TFrameFilters::TextsBefore(int row) const {
    std::vector<std::string> texts;
    for (int i = 0; i < row; ++i) {
        texts.push_back(FilterAt(i).GetFilterText());
    }
    return texts;
}

void TFrameFilters::ShowFilter(int row) {
    const TAVFilter& filter = *filters_[static_cast<size_t>(row)];
    QListWidgetItem* item = lstFilters_->item(row);
    item->setText(QString::fromStdString(filter.GetSummary()));
    item->setToolTip(QString::fromStdString(filter.GetCaption() + ": " + filter.GetFilterText()));
}

void TFrameFilters::UpdateActions() {
    const int row = SelectedRow();
    actEditFilter_->setEnabled(row >= 0);
    actDeleteFilter_->setEnabled(row >= 0);
    actMoveUp_->setEnabled(row > 0);
    actMoveDown_->setEnabled(row >= 0 && row + 1 < Count());
}

}  // namespace tw::ui
