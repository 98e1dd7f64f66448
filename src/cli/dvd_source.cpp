#include "dvd_source.h"

#include <cstdio>

#include "dvd/dvd_title_scan.h"
#include "media/stream_registry.h"
#include "util/av_error.h"

namespace tw::cli {

DvdSource::~DvdSource() {
    if (const auto number = media::ParseStreamUrl(url_)) {
        media::DiscardStream(*number);
    }
}

std::unique_ptr<DvdSource> OpenDvdSource(const Arguments& arguments) {
    const int first = arguments.dvdFirstChapter == 0 ? 1 : arguments.dvdFirstChapter;
    return std::make_unique<DvdSource>(dvd::OpenDvdTitleStream(
        *arguments.dvd, arguments.dvdTitle, first, arguments.dvdLastChapter, arguments.dvdAngle));
}

int ListDvdTitles(const std::string& path) {
    try {
        for (const dvd::DvdTitle& title : dvd::ScanDiscTitles(path)) {
            std::printf("%s\n", dvd::TitleChoiceText(title).c_str());
        }
    } catch (const EAVError& e) {
        std::fprintf(stderr, "tidewell-convert: %s\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace tw::cli
