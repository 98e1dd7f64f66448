#pragma once

// The DVD navigation calls the title input relies on, over libdvdnav. A navigator opens one disc
// (an optical device, a mounted disc folder, a VIDEO_TS folder or its parent, or an .iso image),
// describes its titles, and reads one started title block by block. Block positions count
// 2048-byte blocks from the start of the title's program chain, the unit the title length is
// given in.
//
// One thread at a time uses a navigator.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct dvdnav_s;

namespace tw::dvd {

inline constexpr int kDvdBlockSize = 2048;

struct DvdChapter {
    int number = 0;              // the chapter (part) number the navigator uses
    uint64_t durationTicks = 0;  // 90 kHz
};

// What a title scan returns; a value the caller keeps (the wizard's title list).
struct DvdTitle {
    std::string path;  // the path the disc was opened with
    int number = 0;    // from 1
    int angleCount = 1;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    uint64_t durationTicks = 0;  // 90 kHz
    std::vector<DvdChapter> chapters;

    double DurationSeconds() const { return static_cast<double>(durationTicks) / 90000.0; }
};

struct DvdNavDeleter {
    void operator()(dvdnav_s* nav) const;
};

class DvdNavigator {
public:
    // Outcomes of ReadBlock.
    static constexpr int kNothing = -1;  // nothing can be read now (the title ended or left)
    static constexpr int kRepeat = 0;    // call again

    // nullptr when the disc cannot be opened.
    static std::unique_ptr<DvdNavigator> Open(const std::string& path);

    const std::string& Path() const { return path_; }
    int TitleCount();
    // nullopt when the title does not exist or describes no chapter.
    std::optional<DvdTitle> ScanTitle(int titleNumber);

    // Plays title from chapter (a chapter number); false when the navigator refuses.
    bool Start(const DvdTitle& title, int chapter);
    // Angles of the started title.
    int AngleCount();
    void SetAngle(int angle);
    void Stop();

    // Chapter at the read position; -1 once the title ended, was left or was stopped.
    int Chapter();

    // Reads the next block of the started title into buffer (kDvdBlockSize bytes): the byte count
    // (> 0) with the block, kRepeat, or kNothing.
    int ReadBlock(uint8_t* buffer, int& count);

    // Puts the read position on block, so that the next ReadBlock delivers exactly that block.
    // False when the block lies outside the title or the disc cannot get there.
    bool Seek(uint32_t block);

    // Position of the block read last and the title's length, both in blocks.
    void GetPosition(uint32_t& position, uint32_t& length) const;

    // Presentation time (90 kHz, the clock of the title's program stream) at which the pictures
    // of the video object unit read last begin; nullopt before any was read.
    std::optional<int64_t> UnitStartPts();

    // Use Open; this takes over a navigator handle already opened on path.
    DvdNavigator(std::unique_ptr<dvdnav_s, DvdNavDeleter> nav, std::string path);

private:
    bool Play(int titleNumber, int chapter);
    // Plays the started title again up to its first block.
    bool Replay();
    int ReadFromDisc(uint8_t* buffer, int& count);
    bool InStartedTitle();
    // Reads forward from wherever the navigator is to block; false when it lies behind.
    bool ReadUpTo(uint32_t block);

    std::unique_ptr<dvdnav_s, DvdNavDeleter> nav_;
    std::string path_;
    int title_ = 0;  // started title, 0 when none
    int startedChapter_ = 1;
    bool playing_ = false;   // a title is started and has not ended
    bool stopped_ = false;   // the navigator delivered its stop
    bool unitRead_ = false;  // a navigation pack of the started title was read
    uint32_t position_ = 0;
    uint32_t length_ = 0;
    // A block read ahead by Seek, delivered by the next ReadBlock.
    std::vector<uint8_t> pending_;
    bool hasPending_ = false;
    uint32_t pendingPosition_ = 0;
};

}  // namespace tw::dvd
