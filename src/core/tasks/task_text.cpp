#include "tasks/task_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <locale>

#include "tasks/conversion_settings.h"
#include "util/format.h"

namespace tw {

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SourceText(const TConversionSettings& settings) {
    if (settings.SourceType() == stDvd) {
        return FormatPrintf("dvd[%s:title%d]", settings.DvdVolume().c_str(), settings.DvdTitle());
    }
    return FileNamePart(settings.SourceFile());
}

std::string SizeText(int64_t bytes) {
    return FormatPrintf("%lldKB", static_cast<long long>(bytes / 1024));
}

std::string TimeText(int64_t seconds) {
    return FormatPrintf("%lld:%lld:%lld", static_cast<long long>(seconds / 3600),
                        static_cast<long long>((seconds / 60) % 60),
                        static_cast<long long>(seconds % 60));
}

double CutSpanSeconds(double sourceSeconds, int64_t startUs, int64_t recordingUs) {
    if (sourceSeconds <= 0) {
        return 0;
    }
    double span = std::max(
        0.0, sourceSeconds - static_cast<double>(std::max<int64_t>(startUs, 0)) / 1000000.0);
    if (recordingUs < INT64_MAX) {
        span = std::min(span, static_cast<double>(std::max<int64_t>(recordingUs, 0)) / 1000000.0);
    }
    return span;
}

std::string BitrateText(double kbits) {
    if (!std::isfinite(kbits)) {
        return {};
    }
    const auto& punct = std::use_facet<std::numpunct<char>>(std::locale());
    const bool negative = kbits < 0;
    const long long hundredths = std::llround(std::fabs(kbits) * 100.0);
    const std::string digits = std::to_string(hundredths / 100);
    std::string grouped;
    if (hundredths / 100 != 0) {
        for (size_t i = 0; i < digits.size(); ++i) {
            if (i > 0 && (digits.size() - i) % 3 == 0) {
                grouped += punct.thousands_sep();
            }
            grouped += digits[i];
        }
    }
    const int fraction = static_cast<int>(hundredths % 100);
    std::string text = negative ? "-" : "";
    text += grouped;
    text += punct.decimal_point();
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) {
        text += static_cast<char>('0' + fraction % 10);
    }
    return text;
}

std::string DateTimeText(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[128];
    const size_t length = std::strftime(buffer, sizeof buffer, "%x %X", &local);
    return std::string(buffer, length);
}

int64_t FileSizeOnDisk(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<int64_t>(size);
}

}  // namespace tw
