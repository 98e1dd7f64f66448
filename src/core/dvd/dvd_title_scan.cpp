#include "dvd/dvd_title_scan.h"

#include <memory>

#include "dvd/dvd_drives.h"
#include "dvd/dvd_stream.h"
#include "media/stream_registry.h"
#include "platform/message_service.h"
#include "util/av_error.h"
#include "util/format.h"

namespace tw::dvd {

std::string TitleChoiceText(const DvdTitle& title) {
    return FormatPrintf("%d(%.2d:%.2d:%.2d)", title.number, title.hours, title.minutes,
                        title.seconds);
}

std::vector<DvdTitle> ScanDiscTitles(const std::string& path) {
    std::unique_ptr<DvdNavigator> navigator = DvdNavigator::Open(path);
    if (!navigator) {
        throw EAVError("Can not open DVD");
    }
    std::vector<DvdTitle> titles;
    const std::vector<int> playable = TitlesWithVideoFiles(path);
    for (const int number : playable) {
        if (std::optional<DvdTitle> title = navigator->ScanTitle(number)) {
            titles.push_back(std::move(*title));
        }
    }
    // The angle count is the started title's.
    for (DvdTitle& title : titles) {
        if (navigator->Start(title, 1)) {
            title.angleCount = navigator->AngleCount();
            navigator->Stop();
        }
    }
    return titles;
}

bool ScanDvdTitles(const std::string& path, std::vector<DvdTitle>& titles, TStringList& choices) {
    std::vector<DvdTitle> scanned;
    try {
        scanned = ScanDiscTitles(path);
    } catch (const EAVError& error) {
        platform::Messages().ShowError(error.what());
        return false;
    }
    if (scanned.empty()) {
        platform::Messages().ShowError(kNoVideoFilesMessage);
    }
    titles = std::move(scanned);
    choices.clear();
    for (const DvdTitle& title : titles) {
        choices.push_back(TitleChoiceText(title));
    }
    return true;
}

std::string OpenDvdTitleStream(const DvdTitle& title, int firstChapter, int lastChapter,
                               int angle) {
    if (angle < 1 || angle > title.angleCount) {
        throw EAVError(FormatPrintf("Angle %d is not in title %d, which has %d", angle,
                                    title.number, title.angleCount));
    }
    // Converting and previewing both want the range's whole sound.
    auto stream = std::make_unique<TDvdStream>(title, lastChapter, firstChapter, angle, true);
    return media::StreamUrl(media::RegisterStream(std::move(stream)));
}

std::string OpenDvdTitleStream(const std::string& path, int titleNumber, int firstChapter,
                               int lastChapter, int angle) {
    const std::vector<DvdTitle> titles = ScanDiscTitles(path);
    for (const DvdTitle& title : titles) {
        if (title.number == titleNumber) {
            const int last =
                lastChapter == 0 ? static_cast<int>(title.chapters.size()) : lastChapter;
            return OpenDvdTitleStream(title, firstChapter, last, angle);
        }
    }
    throw EAVError(FormatPrintf("Title %d is not on the disc %s", titleNumber, path.c_str()));
}

}  // namespace tw::dvd
