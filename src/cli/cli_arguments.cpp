#include "cli_arguments.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "engine/crop_area.h"
#include "engine/track_choice.h"

namespace tw::cli {

namespace {

std::pair<std::string, std::string> SplitAssignment(const std::string& option,
                                                    const std::string& text) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        throw std::invalid_argument(option + " expects NAME=VALUE, got \"" + text + "\"");
    }
    return {text.substr(0, eq), text.substr(eq + 1)};
}

int ParseInt(const std::string& option, const std::string& text, int minimum) {
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() || value < minimum) {
        throw std::invalid_argument(option + " expects a whole number of at least " +
                                    std::to_string(minimum) + ", got \"" + text + "\"");
    }
    return value;
}

double ParseSeconds(const std::string& option, const std::string& text, bool allowZero) {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    // "nan" and "inf" read as numbers, but no time is either.
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() ||
        !std::isfinite(value) || value < 0 || (!allowZero && value == 0) || value > 1e9) {
        throw std::invalid_argument(option + " expects seconds (for example 12.5), got \"" + text +
                                    "\"");
    }
    return value;
}

// "A-B", "A" (one chapter) or "A-" (to the end).
void ParseChapters(const std::string& text, int* first, int* last) {
    const size_t dash = text.find('-');
    *first = ParseInt("--chapters", text.substr(0, dash), 1);
    if (dash == std::string::npos) {
        *last = *first;
    } else if (dash + 1 == text.size()) {
        *last = 0;
    } else {
        *last = ParseInt("--chapters", text.substr(dash + 1), *first);
    }
}

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& args) {
    Arguments result;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&](const std::string& option) -> const std::string& {
            if (i + 1 >= args.size()) {
                throw std::invalid_argument(option + " needs a value");
            }
            return args[++i];
        };
        if (arg == "-h" || arg == "--help") {
            result.help = true;
        } else if (arg == "--version") {
            result.version = true;
        } else if (arg == "-v" || arg == "--verbose") {
            result.verbose = true;
        } else if (arg == "--set") {
            result.settings.push_back(SplitAssignment(arg, value(arg)));
        } else if (arg == "--add") {
            result.lines.push_back(SplitAssignment(arg, value(arg)));
        } else if (arg == "--option") {
            result.options.push_back(SplitAssignment(arg, value(arg)));
        } else if (arg == "--profile") {
            result.profile = value(arg);
        } else if (arg == "--list-profiles") {
            result.listProfiles = true;
        } else if (arg == "--stretch") {
            result.stretch = true;
        } else if (arg == "--trial") {
            result.trial = true;
        } else if (arg == "--in-process") {
            result.inProcess = true;
        } else if (arg == "--filters") {
            result.filters = value(arg);
        } else if (arg == "--crop") {
            result.crop = value(arg);
            if (*result.crop != engine::kAutoCrop &&
                (result.crop->empty() || !engine::ParseCropArea(*result.crop))) {
                throw std::invalid_argument(
                    "--crop expects auto or TOP:BOTTOM:LEFT:RIGHT in whole pixels, got \"" +
                    *result.crop + "\"");
            }
        } else if (arg == "--audio-tracks" || arg == "--subtitle-tracks") {
            const std::string& text = value(arg);
            const std::optional<engine::TrackChoice> choice = engine::ParseTrackChoice(text);
            const bool audio = arg == "--audio-tracks";
            if (text.empty() || !choice ||
                (audio && choice->kind == engine::TrackChoice::Kind::None)) {
                throw std::invalid_argument(
                    arg + " expects " + (audio ? "" : "none, ") +
                    "all or track numbers counted from 1 (for example 1,3), got \"" + text + "\"");
            }
            (audio ? result.audioTracks : result.subtitleTracks) = text;
        } else if (arg == "--burn-subtitle-track") {
            result.burnSubtitleTrack = ParseInt(arg, value(arg), 1);
        } else if (arg == "--threads") {
            result.threads = ParseInt(arg, value(arg), 0);
        } else if (arg == "--jobs") {
            result.jobs = ParseInt(arg, value(arg), 1);
        } else if (arg == "--segments") {
            result.segments = ParseInt(arg, value(arg), 0);
        } else if (arg == "--segment-length") {
            result.segmentSeconds = ParseInt(arg, value(arg), 1);
        } else if (arg == "--hosts") {
            result.hosts = value(arg);
        } else if (arg == "--shared-folder") {
            result.sharedFolder = true;
        } else if (arg == "--output-dir") {
            result.outputDir = value(arg);
        } else if (arg == "--start") {
            result.startSeconds = ParseSeconds(arg, value(arg), true);
        } else if (arg == "--duration") {
            result.durationSeconds = ParseSeconds(arg, value(arg), false);
        } else if (arg == "--dvd") {
            result.dvd = value(arg);
        } else if (arg == "--title") {
            result.dvdTitle = ParseInt(arg, value(arg), 1);
        } else if (arg == "--chapters") {
            ParseChapters(value(arg), &result.dvdFirstChapter, &result.dvdLastChapter);
        } else if (arg == "--angle") {
            result.dvdAngle = ParseInt(arg, value(arg), 1);
        } else if (arg == "--dvd-titles") {
            result.dvdTitles = value(arg);
        } else if (arg == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1,
                              args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw std::invalid_argument("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (result.help || result.version || result.listProfiles || result.dvdTitles) {
        return result;
    }
    if (result.sharedFolder && !result.hosts) {
        throw std::invalid_argument("--shared-folder goes with --hosts");
    }
    if (result.trial && (result.outputDir || result.dvd)) {
        throw std::invalid_argument("--trial takes one INPUT file and its OUTPUT");
    }
    if (result.outputDir) {
        if (!result.profile) {
            throw std::invalid_argument(
                "--output-dir names targets after a profile: add --profile");
        }
        if (result.dvd) {
            throw std::invalid_argument("--output-dir takes files as sources, not --dvd");
        }
        if (positional.empty()) {
            throw std::invalid_argument("expected one or more INPUT files with --output-dir");
        }
        result.inputs = positional;
        return result;
    }
    if (result.dvd) {
        if (positional.size() != 1) {
            throw std::invalid_argument("expected OUTPUT after the DVD source");
        }
        result.output = positional[0];
        return result;
    }
    if (positional.size() != 2) {
        throw std::invalid_argument("expected INPUT and OUTPUT");
    }
    result.inputs = {positional[0]};
    result.output = positional[1];
    return result;
}

std::string UsageText() {
    return "Usage: tidewell-convert [OPTIONS] INPUT OUTPUT\n"
           "       tidewell-convert --profile NAME --output-dir DIR [OPTIONS] INPUT...\n"
           "       tidewell-convert [OPTIONS] --dvd PATH [--title N] [--chapters A-B] "
           "[--angle N] OUTPUT\n"
           "       tidewell-convert --list-profiles | --dvd-titles PATH | --version\n"
           "\n"
           "Converts INPUT into OUTPUT. Without options the container and codecs follow the\n"
           "output name and the source's picture size and rates carry over; a name like a\n"
           "sound file's (.mp3, .m4a, .ogg ...) gets the sound only.\n"
           "\n"
           "Options:\n"
           "  --profile NAME       convert with a profile (see --list-profiles; any case)\n"
           "  --list-profiles      list the profiles by category\n"
           "  --output-dir DIR     convert each INPUT into DIR, named after the source with the\n"
           "                       profile's extension\n"
           "  --jobs N             how many of those inputs convert at once (default 1)\n"
           "  --in-process         convert in this process rather than each conversion in a\n"
           "                       worker process of its own\n"
           "  --segments K         convert a long re-encode in segments, K at once, each in a\n"
           "                       worker process (default: the number of processors shared\n"
           "                       among the --jobs; 0 or 1: in one piece)\n"
           "  --segment-length SECONDS\n"
           "                       about how long each segment is (default 30)\n"
           "  --hosts FILE         convert the segments on the computers FILE lists too, one\n"
           "                       SSH login a line as GNU parallel's --sshloginfile takes\n"
           "                       them (':' is this computer); each needs the same\n"
           "                       tidewell-convert\n"
           "  --shared-folder      with --hosts: every computer sees the source and the\n"
           "                       segment cache at the same path (default: each segment's\n"
           "                       share of the source is sent to its computer)\n"
           "  --threads N          decoder and encoder threads (default 0: each library's\n"
           "                       own choice)\n"
           "  --start SECONDS      start converting this far into the source\n"
           "  --duration SECONDS   convert at most this much\n"
           "  --filters TEXT       video filter chain text\n"
           "  --crop auto|T:B:L:R  cut the picture's black bars off (auto: found in the\n"
           "                       source), or T, B, L and R pixels off its top, bottom,\n"
           "                       left and right\n"
           "  --audio-tracks LIST  the source's audio tracks to convert, counted from 1, in\n"
           "                       the target's order (for example 1,3), or all\n"
           "  --subtitle-tracks LIST\n"
           "                       the source's subtitle tracks to keep as subtitles the\n"
           "                       target can carry: all, none or track numbers\n"
           "  --burn-subtitle-track N\n"
           "                       draw the source's text subtitle track N (counted from 1)\n"
           "                       on the pictures\n"
           "  --stretch            fill a profile's frame with the picture whatever its shape\n"
           "                       (default: keep the shape, with black bars)\n"
           "  --trial              convert only 10 seconds from the middle (into\n"
           "                       OUTPUT named NAME.sample.EXT) and tell how big OUTPUT\n"
           "                       would get and how long converting it would take\n"
           "  --option NAME=VALUE  library option for the codecs and the container, e.g.\n"
           "                       --option g=25 --option maxrate=2000000\n"
           "  --set NAME=VALUE     set a conversion setting by name, e.g.\n"
           "                       --set VideoOptions.FrameWidth=320\n"
           "                       --set VideoOptions.FrameRate=30000/1001\n"
           "                       --set AudioOptions.AudioSampleRate=44100\n"
           "                       --set VideoOptions.EncoderVideoCodecName=libx264\n"
           "                       --set InputFormat=lavfi\n"
           "  --add NAME=LINE      add a line to a list setting, e.g. --add "
           "MetaData=title=Holiday\n"
           "  --dvd PATH           a DVD as the source: a device, a mounted disc, a VIDEO_TS\n"
           "                       folder or its parent, or an .iso image\n"
           "  --title N            the DVD title (default 1)\n"
           "  --chapters A-B       the chapters to convert (default: all; \"A-\" to the end)\n"
           "  --angle N            the camera angle (default 1)\n"
           "  --dvd-titles PATH    list the titles of a DVD\n"
           "  -v, --verbose        also print the libraries' warnings\n"
           "  -h, --help           show this text\n"
           "  --version            show the program's version and the media libraries' it\n"
           "                       runs on\n"
           "\n"
           "Exit status: 0 converted, 1 a conversion failed, 2 bad arguments,\n"
           "130 interrupted (the outputs are still finished and playable).\n";
}

}  // namespace tw::cli
