#include "profiles/profile_snapshot.h"

#include "profiles/custom_audio_profile.h"
#include "profiles/profile_list.h"

namespace tw {

namespace {

// A copy of the same class with every published property and the component name; the file
// form would lose what it does not store (Pass, FrameAspectRatio).
std::unique_ptr<TAVCustomAudioProfile> CopyOf(const TAVCustomAudioProfile& profile) {
    std::unique_ptr<TAVCustomAudioProfile> copy;
    if (dynamic_cast<const TAVCustomVideoProfile*>(&profile)) {
        copy = std::make_unique<TAVCustomVideoProfile>();
    } else {
        copy = std::make_unique<TAVCustomAudioProfile>();
    }
    copy->SetName(profile.Name());
    for (const PropertyInfo& property : profile.Properties()) {
        switch (property.kind) {
            case PropKind::Integer:
            case PropKind::Int64:
            case PropKind::Boolean:
            case PropKind::Enum:
                property.setOrdinal(*copy, property.getOrdinal(profile));
                break;
            case PropKind::Single:
            case PropKind::Double:
                property.setFloat(*copy, property.getFloat(profile));
                break;
            case PropKind::String:
                property.setString(*copy, property.getString(profile));
                break;
            case PropKind::StringList:
                property.setList(*copy, property.getList(profile));
                break;
            case PropKind::Object:
                break;
        }
    }
    return copy;
}

bool SameProfile(const TAVCustomAudioProfile& a, const TAVCustomAudioProfile& b) {
    if (std::string_view(a.ClassName()) != b.ClassName() || a.Name() != b.Name()) {
        return false;
    }
    for (const PropertyInfo& property : a.Properties()) {
        bool same = true;
        switch (property.kind) {
            case PropKind::Integer:
            case PropKind::Int64:
            case PropKind::Boolean:
            case PropKind::Enum:
                same = property.getOrdinal(a) == property.getOrdinal(b);
                break;
            case PropKind::Single:
            case PropKind::Double:
                same = property.getFloat(a) == property.getFloat(b);
                break;
            case PropKind::String:
                same = property.getString(a) == property.getString(b);
                break;
            case PropKind::StringList:
                same = property.getList(a) == property.getList(b);
                break;
            case PropKind::Object:
                break;
        }
        if (!same) {
            return false;
        }
    }
    return true;
}

}  // namespace

UserProfilesSnapshot::UserProfilesSnapshot(const TAVProfileList& list) {
    for (int i = 0; i < list.Count(); ++i) {
        if (const auto* profile = dynamic_cast<const TAVCustomAudioProfile*>(&list.Items(i))) {
            entries_.push_back({i, CopyOf(*profile)});
        }
    }
}

UserProfilesSnapshot::~UserProfilesSnapshot() = default;

bool UserProfilesSnapshot::Matches(const TAVProfileList& list) const {
    size_t next = 0;
    for (int i = 0; i < list.Count(); ++i) {
        const auto* profile = dynamic_cast<const TAVCustomAudioProfile*>(&list.Items(i));
        if (!profile) {
            continue;
        }
        if (next == entries_.size() || entries_[next].index != i ||
            !SameProfile(*entries_[next].copy, *profile)) {
            return false;
        }
        ++next;
    }
    return next == entries_.size();
}

void UserProfilesSnapshot::Restore(TAVProfileList& list) const {
    list.RemoveCustomProfiles();
    // In the order of their places: each goes where it stood among those before it.
    for (const Entry& entry : entries_) {
        TAVCustomAudioProfile& restored = list.Add(CopyOf(*entry.copy));
        list.SetChildOrder(restored, entry.index);
    }
}

}  // namespace tw
