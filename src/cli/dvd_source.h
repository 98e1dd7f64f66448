#pragma once

#include <memory>
#include <string>

#include "cli_arguments.h"

namespace tw::cli {

// A DVD title's chapter range as a "stream:N" source. The stream is taken over by the
// conversion that opens it; one that never gets opened is freed with this object.
class DvdSource {
public:
    explicit DvdSource(std::string url) : url_(std::move(url)) {}
    ~DvdSource();
    DvdSource(const DvdSource&) = delete;
    DvdSource& operator=(const DvdSource&) = delete;
    const std::string& Url() const { return url_; }

private:
    std::string url_;
};

// Opens the title, chapters and angle the arguments name. Throws EAVError with the reason.
std::unique_ptr<DvdSource> OpenDvdSource(const Arguments& arguments);

// Prints one line per title of the disc at path; returns the exit status.
int ListDvdTitles(const std::string& path);

}  // namespace tw::cli
