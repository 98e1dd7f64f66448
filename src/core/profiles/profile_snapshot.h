#pragma once

// The user's audio and video profiles of a catalogue as they stood at one moment: whether they
// have been changed since (values, additions, deletions, order), and putting them back. The
// profile editor takes one when it opens, so that closing it can ask before changes are lost and
// can drop them. UI thread only.

#include <memory>
#include <vector>

namespace tw {

class TAVCustomAudioProfile;
class TAVProfileList;

class UserProfilesSnapshot {
public:
    explicit UserProfilesSnapshot(const TAVProfileList& list);
    ~UserProfilesSnapshot();
    UserProfilesSnapshot(const UserProfilesSnapshot&) = delete;
    UserProfilesSnapshot& operator=(const UserProfilesSnapshot&) = delete;

    // The list's audio and video profiles are those of the snapshot, with the same values at the
    // same places.
    bool Matches(const TAVProfileList& list) const;
    // Frees the list's audio and video profiles and puts copies of the snapshot's in their
    // places. Every profile object of those kinds is new afterwards.
    void Restore(TAVProfileList& list) const;

private:
    struct Entry {
        int index;
        std::unique_ptr<TAVCustomAudioProfile> copy;
    };
    std::vector<Entry> entries_;
};

}  // namespace tw
