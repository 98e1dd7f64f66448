// tidewell-convert: the command-line front end of the converter.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "cli_arguments.h"
#include "engine/converter.h"
#include "platform/message_service.h"
#include "platform/ui_dispatcher.h"
#include "util/av_error.h"
#include "util/property_path.h"

namespace {

std::atomic<int> interruptSignal{0};

void OnSignal(int signal) { interruptSignal.store(signal); }

// Messages of the engine go to stderr with the program's name.
class CliMessages : public tw::platform::MessageService {
public:
    void ShowError(const std::string& text) override {
        std::fprintf(stderr, "%stidewell-convert: %s\n", ClearLine(), text.c_str());
    }
    bool AskQuestion(const std::string& text) override {
        std::fprintf(stderr, "%stidewell-convert: %s (answered no)\n", ClearLine(),
                     text.c_str());
        return false;
    }
    void ShowInformation(const std::string& text) override {
        std::fprintf(stderr, "%stidewell-convert: %s\n", ClearLine(), text.c_str());
    }
    bool progressShown = false;

private:
    const char* ClearLine() {
        const bool shown = progressShown;
        progressShown = false;
        return shown ? "\r\033[K" : "";
    }
};

std::string TimeText(int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

void ShowProgress(const tw::TAVConverter& converter, CliMessages& messages) {
    const int64_t remaining = converter.GetRemainingTime();
    std::fprintf(stderr, "\r\033[K%3d%%  left %s  %.1f kbit/s  %lld KB", converter.GetProgress(),
                 remaining == tw::TAVConverter::kUnknownRemaining
                     ? "--:--:--"
                     : TimeText(remaining).c_str(),
                 converter.Bitrate(), static_cast<long long>(converter.OutputSize() / 1024));
    std::fflush(stderr);
    messages.progressShown = true;
}

}  // namespace

int main(int argc, char** argv) {
    tw::cli::Arguments arguments;
    try {
        arguments = tw::cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "tidewell-convert: %s\nTry 'tidewell-convert --help'.\n", e.what());
        return 2;
    }
    if (arguments.help) {
        std::cout << tw::cli::UsageText();
        return 0;
    }

    tw::platform::LoopDispatcher dispatcher;
    tw::platform::ScopedDispatcher installDispatcher(dispatcher);
    CliMessages messages;
    tw::platform::ScopedMessageService installMessages(messages);

    tw::TAVConverter converter;
    try {
        tw::TAVConvertOptions& options = converter.ConvertOptions();
        for (const auto& [path, value] : arguments.settings) {
            tw::SetPropertyByPath(options, path, value);
            if (path == "VideoOptions.FrameRate") {
                // A rate given on the command line is the output's, whatever the source has.
                options.VideoOptions().SetFrameRate(options.VideoOptions().FrameRate());
            }
        }
        for (const auto& [path, line] : arguments.lines) {
            tw::AppendPropertyLine(options, path, line);
        }
    } catch (const tw::EAVError& e) {
        std::fprintf(stderr, "tidewell-convert: %s\n", e.what());
        return 2;
    }
    converter.SetInputFiles({arguments.input});
    converter.SetOutputFiles({arguments.output});

    const bool terminal = isatty(STDERR_FILENO);
    converter.SetOnLog([&arguments](tw::TAVConverter&, int level, const std::string& text) {
        if (level <= AV_LOG_ERROR || arguments.verbose) {
            std::string line = text;
            while (!line.empty() && line.back() == '\n') {
                line.pop_back();
            }
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    });
    if (terminal) {
        converter.SetOnProgress(
            [&messages](tw::TAVConverter& sender) { ShowProgress(sender, messages); });
    }
    bool completed = false;
    converter.SetOnComplete([&completed](tw::TAVConverter&) { completed = true; });

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    converter.Start();
    while (converter.IsWorking()) {
        dispatcher.RunUntil([&] { return !converter.IsWorking() || interruptSignal.load(); },
                            std::chrono::milliseconds(100));
        if (interruptSignal.load()) {
            // Until the loop runs there is nothing to stop; keep asking.
            converter.Stop();
        }
    }
    converter.WaitForEnd(std::chrono::seconds(10));
    dispatcher.ProcessPending();
    if (terminal && messages.progressShown) {
        if (completed) {
            ShowProgress(converter, messages);
        }
        std::fprintf(stderr, "\n");
    }
    if (!converter.ErrorMessage().empty()) {
        return 1;
    }
    if (interruptSignal.load()) {
        std::fprintf(stderr, "tidewell-convert: stopped; %s was finished where it stopped\n",
                     arguments.output.c_str());
        return 130;
    }
    return 0;
}
