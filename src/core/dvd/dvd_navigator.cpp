#include "dvd/dvd_navigator.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <dvdnav/dvdnav.h>

namespace tw::dvd {

namespace {

// libdvdnav and libdvdread narrate every file they open; the navigator's results say all the
// program needs, so their lines are dropped.
void DropLog(void* /*opaque*/, dvdnav_logger_level_t /*level*/, const char* /*format*/,
             va_list /*arguments*/) {}

const dvdnav_logger_cb kQuietLogger = {&DropLog};

// A title that keeps the navigator busy without blocks (endless stills, broken cells) must not
// hold a reader for ever.
constexpr int kMaxEventsWithoutBlock = 100000;

// How far before a seek target the navigator is asked to land: its sector search goes to a VOBU
// boundary, sometimes the one after the target.
constexpr uint32_t kSeekBackOff[] = {0, 1, 256, 1024, 4096, 16384};

struct ChapterTimesDeleter {
    void operator()(uint64_t* times) const { std::free(times); }
};

}  // namespace

void DvdNavDeleter::operator()(dvdnav_s* nav) const {
    dvdnav_close(nav);
}

DvdNavigator::DvdNavigator(std::unique_ptr<dvdnav_s, DvdNavDeleter> nav, std::string path)
    : nav_(std::move(nav)), path_(std::move(path)), pending_(kDvdBlockSize) {}

std::unique_ptr<DvdNavigator> DvdNavigator::Open(const std::string& path) {
    // Also spares the library's open, which leaks a little on a path that does not exist.
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) {
        return nullptr;
    }
    dvdnav_t* raw = nullptr;
    if (dvdnav_open2(&raw, nullptr, &kQuietLogger, path.c_str()) != DVDNAV_STATUS_OK) {
        if (raw) {
            dvdnav_close(raw);
        }
        return nullptr;
    }
    std::unique_ptr<dvdnav_s, DvdNavDeleter> nav(raw);
    // Positions and lengths relative to the program chain, which is what a title plays.
    dvdnav_set_PGC_positioning_flag(raw, 1);
    return std::make_unique<DvdNavigator>(std::move(nav), path);
}

int DvdNavigator::TitleCount() {
    int32_t titles = 0;
    if (dvdnav_get_number_of_titles(nav_.get(), &titles) != DVDNAV_STATUS_OK) {
        return 0;
    }
    return titles;
}

std::optional<DvdTitle> DvdNavigator::ScanTitle(int titleNumber) {
    if (titleNumber < 1 || titleNumber > TitleCount()) {
        return std::nullopt;
    }
    uint64_t* rawTimes = nullptr;
    uint64_t duration = 0;
    const uint32_t count =
        dvdnav_describe_title_chapters(nav_.get(), titleNumber, &rawTimes, &duration);
    std::unique_ptr<uint64_t, ChapterTimesDeleter> times(rawTimes);
    if (count == 0 || !times) {
        return std::nullopt;
    }
    DvdTitle title;
    title.path = path_;
    title.number = titleNumber;
    title.durationTicks = duration;
    const uint64_t totalSeconds = duration / 90000;
    title.hours = static_cast<int>(totalSeconds / 3600);
    title.minutes = static_cast<int>(totalSeconds / 60 % 60);
    title.seconds = static_cast<int>(totalSeconds % 60);
    uint64_t previous = 0;
    for (uint32_t i = 0; i < count; ++i) {
        // The times are where each chapter ends.
        const uint64_t end = times.get()[i];
        title.chapters.push_back({static_cast<int>(i + 1), end > previous ? end - previous : 0});
        previous = end;
    }
    int32_t angles = 0;
    if (dvdnav_get_number_of_angles(nav_.get(), titleNumber, &angles) == DVDNAV_STATUS_OK &&
        angles > 0) {
        title.angleCount = angles;
    }
    return title;
}

bool DvdNavigator::Start(const DvdTitle& title, int chapter) {
    return Play(title.number, chapter);
}

bool DvdNavigator::Play(int titleNumber, int chapter) {
    hasPending_ = false;
    // Once the navigator has stopped (a title ran to its end), playing a title only brings the
    // stop again: it needs a fresh start.
    if (stopped_) {
        if (dvdnav_reset(nav_.get()) != DVDNAV_STATUS_OK) {
            playing_ = false;
            return false;
        }
        dvdnav_set_PGC_positioning_flag(nav_.get(), 1);
        stopped_ = false;
    }
    if (dvdnav_part_play(nav_.get(), titleNumber, chapter) != DVDNAV_STATUS_OK) {
        playing_ = false;
        return false;
    }
    title_ = titleNumber;
    startedChapter_ = chapter;
    playing_ = true;
    unitRead_ = false;
    return true;
}

int DvdNavigator::AngleCount() {
    int32_t angles = 0;
    if (title_ == 0 ||
        dvdnav_get_number_of_angles(nav_.get(), title_, &angles) != DVDNAV_STATUS_OK) {
        return 1;
    }
    return angles > 0 ? angles : 1;
}

void DvdNavigator::SetAngle(int angle) {
    dvdnav_angle_change(nav_.get(), angle);
}

void DvdNavigator::Stop() {
    dvdnav_stop(nav_.get());
    playing_ = false;
    hasPending_ = false;
    // The stop is only queued as an event; left there it would end the next title started.
    uint8_t scratch[kDvdBlockSize];
    for (int i = 0; i < kMaxEventsWithoutBlock; ++i) {
        int32_t event = 0;
        int32_t length = 0;
        if (dvdnav_get_next_block(nav_.get(), scratch, &event, &length) != DVDNAV_STATUS_OK) {
            break;
        }
        if (event == DVDNAV_STOP) {
            stopped_ = true;
            break;
        }
    }
}

bool DvdNavigator::InStartedTitle() {
    int32_t title = 0;
    int32_t part = 0;
    return dvdnav_current_title_info(nav_.get(), &title, &part) == DVDNAV_STATUS_OK &&
           title == title_ && dvdnav_is_domain_vts(nav_.get());
}

int DvdNavigator::Chapter() {
    if (!playing_) {
        return -1;
    }
    int32_t title = 0;
    int32_t part = 0;
    if (dvdnav_current_title_info(nav_.get(), &title, &part) != DVDNAV_STATUS_OK ||
        title != title_) {
        return -1;
    }
    return part;
}

int DvdNavigator::ReadBlock(uint8_t* buffer, int& count) {
    count = 0;
    if (hasPending_) {
        std::memcpy(buffer, pending_.data(), kDvdBlockSize);
        hasPending_ = false;
        position_ = pendingPosition_;
        count = kDvdBlockSize;
        return count;
    }
    return ReadFromDisc(buffer, count);
}

int DvdNavigator::ReadFromDisc(uint8_t* buffer, int& count) {
    count = 0;
    if (!playing_) {
        return kNothing;
    }
    int32_t event = 0;
    int32_t length = 0;
    if (dvdnav_get_next_block(nav_.get(), buffer, &event, &length) != DVDNAV_STATUS_OK) {
        playing_ = false;
        stopped_ = true;
        return kNothing;
    }
    switch (event) {
        case DVDNAV_NAV_PACKET:
            unitRead_ = true;
            [[fallthrough]];
        case DVDNAV_BLOCK_OK: {
            // The navigation packs are part of the program stream and of the block count.
            if (!InStartedTitle()) {
                playing_ = false;
                return kNothing;
            }
            uint32_t position = 0;
            uint32_t titleLength = 0;
            if (dvdnav_get_position(nav_.get(), &position, &titleLength) == DVDNAV_STATUS_OK) {
                position_ = position;
                length_ = titleLength;
            }
            count = kDvdBlockSize;
            return count;
        }
        case DVDNAV_STILL_FRAME:
            dvdnav_still_skip(nav_.get());
            return kRepeat;
        case DVDNAV_WAIT:
            dvdnav_wait_skip(nav_.get());
            return kRepeat;
        case DVDNAV_STOP:
            playing_ = false;
            stopped_ = true;
            return kNothing;
        case DVDNAV_VTS_CHANGE:
        case DVDNAV_CELL_CHANGE:
            // The post commands of a title may jump to a menu or another title: that ends it.
            if (!InStartedTitle()) {
                playing_ = false;
                return kNothing;
            }
            return kRepeat;
        default:
            return kRepeat;
    }
}

bool DvdNavigator::ReadUpTo(uint32_t block) {
    int events = 0;
    while (events < kMaxEventsWithoutBlock) {
        int count = 0;
        const int result = ReadFromDisc(pending_.data(), count);
        if (result == kNothing) {
            return false;
        }
        if (result == kRepeat) {
            ++events;
            continue;
        }
        events = 0;
        if (position_ > block) {
            return false;
        }
        if (position_ == block) {
            hasPending_ = true;
            pendingPosition_ = position_;
            return true;
        }
    }
    return false;
}

bool DvdNavigator::Seek(uint32_t block) {
    if (title_ == 0) {
        return false;
    }
    hasPending_ = false;
    // The length is known once a block of the title was read.
    if (length_ != 0 && block >= length_) {
        return false;
    }
    for (const uint32_t backOff : kSeekBackOff) {
        const uint32_t from = block > backOff ? block - backOff : 0;
        if (!playing_ && !Replay()) {
            break;
        }
        if (dvdnav_sector_search(nav_.get(), from, SEEK_SET) == DVDNAV_STATUS_OK &&
            ReadUpTo(block)) {
            return true;
        }
        if (from == 0) {
            break;
        }
    }
    // The navigator's search keeps missing; read forward from the start of the chain.
    if (block > *std::rbegin(kSeekBackOff) && (playing_ || Replay()) &&
        dvdnav_sector_search(nav_.get(), 0, SEEK_SET) == DVDNAV_STATUS_OK && ReadUpTo(block)) {
        return true;
    }
    playing_ = false;
    return false;
}

bool DvdNavigator::Replay() {
    // A title that played to its end has stopped the navigator; and the navigator searches only
    // once it is inside a cell, which takes a block read.
    if (!Play(title_, startedChapter_)) {
        return false;
    }
    uint8_t scratch[kDvdBlockSize];
    int count = 0;
    int result = kRepeat;
    for (int i = 0; result == kRepeat && i < kMaxEventsWithoutBlock; ++i) {
        result = ReadFromDisc(scratch, count);
    }
    return result > 0;
}

std::optional<int64_t> DvdNavigator::UnitStartPts() {
    const pci_t* pci = unitRead_ ? dvdnav_get_current_nav_pci(nav_.get()) : nullptr;
    if (!pci) {
        return std::nullopt;
    }
    return static_cast<int64_t>(pci->pci_gi.vobu_s_ptm);
}

void DvdNavigator::GetPosition(uint32_t& position, uint32_t& length) const {
    position = position_;
    length = length_;
}

}  // namespace tw::dvd
