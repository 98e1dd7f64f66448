#include "profiles/profile_list.h"

#include <algorithm>

#include "profiles/custom_audio_profile.h"
#include "util/format.h"
#include "util/ini_file.h"

namespace tw {

TAVProfileList::~TAVProfileList() {
    while (!items_.empty()) {
        items_.back()->list_ = nullptr;
        items_.pop_back();
    }
}

const PropertyTable& TAVProfileList::Properties() const {
    using T = TAVProfileList;
    static const PropertyTable table =
        PropertyTableBuilder<T>().List("Categories", &T::Categories, &T::SetCategories).Build();
    return table;
}

TAVProfile& TAVProfileList::Items(int index) const {
    TW_ASSERT(index >= 0 && index < Count());
    return *items_[static_cast<size_t>(index)];
}

int TAVProfileList::IndexOf(const TAVProfile* profile) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == profile) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TAVProfile* TAVProfileList::FindByDescription(std::string_view description) const {
    for (const auto& profile : items_) {
        if (SameText(profile->Description(), description)) {
            return profile.get();
        }
    }
    return nullptr;
}

std::vector<TAVProfile*> TAVProfileList::ProfilesInCategory(std::string_view category) const {
    std::vector<TAVProfile*> result;
    for (const auto& profile : items_) {
        if (profile->InCategory(category)) {
            result.push_back(profile.get());
        }
    }
    return result;
}

std::vector<TAVProfile*> TAVProfileList::ProfilesInNoCategory() const {
    std::vector<TAVProfile*> result;
    for (const auto& profile : items_) {
        if (std::none_of(Categories_.begin(), Categories_.end(), [&](const std::string& category) {
                return profile->InCategory(category);
            })) {
            result.push_back(profile.get());
        }
    }
    return result;
}

TAVProfile& TAVProfileList::Add(std::unique_ptr<TAVProfile> profile) {
    TW_ASSERT(profile && profile->list_ == nullptr);
    profile->list_ = this;
    items_.push_back(std::move(profile));
    return *items_.back();
}

std::unique_ptr<TAVProfile> TAVProfileList::Extract(TAVProfile& profile) {
    const int index = IndexOf(&profile);
    TW_ASSERT(index >= 0 && "the profile is not in this list");
    std::unique_ptr<TAVProfile> taken = std::move(items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
    taken->list_ = nullptr;
    return taken;
}

void TAVProfileList::Delete(TAVProfile& profile) {
    Extract(profile).reset();
}

void TAVProfileList::SetChildOrder(TAVProfile& profile, int position) {
    const int from = IndexOf(&profile);
    TW_ASSERT(from >= 0 && "the profile is not in this list");
    const int to = std::clamp(position, 0, Count() - 1);
    if (from == to) {
        return;
    }
    std::unique_ptr<TAVProfile> moved = std::move(items_[static_cast<size_t>(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(moved));
}

void TAVProfileList::RemoveCustomProfiles() {
    for (int i = Count() - 1; i >= 0; --i) {
        if (dynamic_cast<const TAVCustomAudioProfile*>(items_[static_cast<size_t>(i)].get())) {
            items_[static_cast<size_t>(i)]->list_ = nullptr;
            items_.erase(items_.begin() + i);
        }
    }
}

}  // namespace tw
