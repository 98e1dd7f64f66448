#include "wizard/wizard_rules.h"

#include <algorithm>

#include "engine/convert_options.h"
#include "filters/logo_filter.h"
#include "filters/overlay_text_filter.h"
#include "filters/subtitle_filter.h"
#include "probe/file_checks.h"
#include "profiles/av_profile.h"
#include "profiles/target_name.h"
#include "util/format.h"
#include "util/string_list.h"

namespace tw::ui::wizard {

namespace {

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string_view::npos;
         start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

}  // namespace

std::vector<std::string> NameFilters(std::string_view filter) {
    const std::vector<std::string_view> parts = SplitAt(filter, '|');
    std::vector<std::string> result;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        // The description's own pattern list gives way to the dialog's.
        std::string_view description = parts[i];
        if (const size_t open = description.rfind('('); open != std::string_view::npos) {
            description = description.substr(0, open);
        }
        std::string patterns;
        for (std::string_view pattern : SplitAt(parts[i + 1], ';')) {
            if (!patterns.empty()) {
                patterns += ' ';
            }
            patterns += pattern == "*.*" ? std::string_view("*") : pattern;
        }
        result.push_back(std::string(Trim(description)) + " (" + patterns + ")");
    }
    return result;
}

std::string FileSourceTarget(std::string_view sourceFile, std::string_view extension) {
    return ChangeFileExt(sourceFile, extension);
}

std::string DvdSourceTarget(std::string_view label, int titleNumber, std::string_view extension) {
    return FormatPrintf("%s_%d", std::string(label).c_str(), titleNumber) + std::string(extension);
}

std::string MoveIntoFolder(std::string_view target, std::string_view folder) {
    const size_t slash = target.find_last_of('/');
    const std::string_view name =
        slash == std::string_view::npos ? target : target.substr(slash + 1);
    if (folder.empty() || name.empty()) {
        return std::string(target);
    }
    std::string result(folder);
    if (result.back() != '/') {
        result += '/';
    }
    return result + std::string(name);
}

bool ReadyToConvert(bool sourceValid, std::string_view target, bool profileSelected) {
    return sourceValid && !Trim(target).empty() && profileSelected;
}

Cut CutOfSelection(int startSeconds, int endSeconds) {
    constexpr int64_t kMicroseconds = 1000000;
    if (endSeconds <= 0) {
        return {int64_t{startSeconds} * kMicroseconds, std::nullopt};
    }
    const int first = std::min(startSeconds, endSeconds);
    const int last = std::max(startSeconds, endSeconds);
    if (first == last) {
        return {int64_t{first} * kMicroseconds, std::nullopt};
    }
    return {int64_t{first} * kMicroseconds, int64_t{last - first} * kMicroseconds};
}

std::vector<FileCheck> FilterFileChecks(const TAVFilter& filter) {
    std::vector<FileCheck> checks;
    const auto add = [&checks](std::string (*check)(const std::string&), std::string file) {
        checks.push_back([check, file = std::move(file)] { return check(file); });
    };
    if (const auto* logo = dynamic_cast<const TLogoFilter*>(&filter)) {
        add(probe::PictureFileProblem, logo->LogoFile());
    } else if (const auto* text = dynamic_cast<const TOverlayTextFilter*>(&filter)) {
        if (!text->FontFile().empty()) {
            add(probe::FontFileProblem, text->FontFile());
        }
    } else if (const auto* subtitles = dynamic_cast<const TSubtitleFilter*>(&filter)) {
        add(probe::SubtitleFileProblem, subtitles->SubtitleFile());
        if (!subtitles->FontFile().empty()) {
            add(probe::FontFileProblem, subtitles->FontFile());
        }
    }
    return checks;
}

int ConversionThreadCount(int configured) {
    // Automatic is the libraries' own choice: libx264 keeps its frame pipeline full with more
    // threads than processors, which one per processor starves (13 % slower in the benchmark).
    return std::max(0, configured);
}

void PrepareFinishOptions(TAVConvertOptions& options, const std::optional<std::string>& filterChain,
                          int configuredThreads, const TAVProfile& profile, bool keepPictureShape) {
    if (filterChain) {
        options.FilterOptions().SetVideoFilters(*filterChain);
    }
    options.SetInputFormat("");
    options.SetThreadCount(ConversionThreadCount(configuredThreads));
    profile.ApplyTo(options);
    options.VideoOptions().SetKeepPictureShape(keepPictureShape);
}

}  // namespace tw::ui::wizard
