#include "cli_arguments.h"

#include <stdexcept>

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
        } else if (arg == "-v" || arg == "--verbose") {
            result.verbose = true;
        } else if (arg == "--set") {
            result.settings.push_back(SplitAssignment(arg, value(arg)));
        } else if (arg == "--add") {
            result.lines.push_back(SplitAssignment(arg, value(arg)));
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
    if (result.help) {
        return result;
    }
    if (positional.size() != 2) {
        throw std::invalid_argument("expected INPUT and OUTPUT");
    }
    result.input = positional[0];
    result.output = positional[1];
    return result;
}

std::string UsageText() {
    return "Usage: tidewell-convert [OPTIONS] INPUT OUTPUT\n"
           "\n"
           "Converts INPUT into OUTPUT. Without options the container and codecs follow the\n"
           "output name and the source's picture size and rates carry over.\n"
           "\n"
           "Options:\n"
           "  --set NAME=VALUE   set a conversion setting, e.g.\n"
           "                     --set VideoOptions.FrameWidth=320\n"
           "                     --set VideoOptions.FrameRate=30000/1001\n"
           "                     --set AudioOptions.AudioSampleRate=44100\n"
           "                     --set VideoOptions.EncoderVideoCodecName=libx264\n"
           "                     --set InputFormat=lavfi\n"
           "  --add NAME=LINE    add a line to a list setting, e.g.\n"
           "                     --add CodecOptions=g=25   --add MetaData=title=Holiday\n"
           "  -v, --verbose      also print the libraries' warnings\n"
           "  -h, --help         show this text\n"
           "\n"
           "Exit status: 0 converted, 1 the conversion failed, 2 bad arguments,\n"
           "130 interrupted (the output is still finished and playable).\n";
}

}  // namespace tw::cli
