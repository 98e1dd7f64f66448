#include "support/conversion_runner.h"

#include <cstdio>

namespace tw::test {

std::string LavfiSource(int width, int height, const std::string& rate, double seconds,
                        int sampleRate, int channels, bool audio, bool video) {
    char text[512];
    std::string result;
    if (video) {
        std::snprintf(text, sizeof text, "testsrc2=size=%dx%d:rate=%s:duration=%g[out0]", width,
                      height, rate.c_str(), seconds);
        result += text;
    }
    if (audio) {
        std::snprintf(text, sizeof text,
                      "%ssine=frequency=440:sample_rate=%d:duration=%g,aformat=channel_layouts=%s"
                      "[out%d]",
                      video ? ";" : "", sampleRate, seconds,
                      channels == 1 ? "mono" : (channels == 6 ? "5.1" : "stereo"), video ? 1 : 0);
        result += text;
    }
    return result;
}

ConversionRunner::ConversionRunner()
    : installMessages_(std::make_unique<platform::ScopedMessageService>(recorder_)),
      converter_(std::make_unique<TAVConverter>(&dispatcher_)) {
    converter_->SetOnLog([this](TAVConverter&, int, const std::string& text) {
        std::lock_guard lock(logMutex_);
        outcome_.log.push_back(text);
    });
    converter_->SetOnProgress([this](TAVConverter& sender) {
        ++outcome_.progressEvents;
        outcome_.lastProgress = sender.GetProgress();
        if (progressHook_) {
            progressHook_(sender);
        }
    });
    converter_->SetOnComplete([this](TAVConverter&) { ++outcome_.completeEvents; });
    converter_->SetOnStopped([this](TAVConverter&) { ++outcome_.stoppedEvents; });
    converter_->SetOnError([this](TAVConverter&) { ++outcome_.errorEvents; });
}

void ConversionRunner::Start(const std::vector<std::string>& inputs,
                             const std::vector<std::string>& outputs) {
    converter_->SetInputFiles(inputs);
    converter_->SetOutputFiles(outputs);
    converter_->Start();
}

ConversionOutcome ConversionRunner::Wait(std::chrono::seconds timeout) {
    outcome_.finished =
        dispatcher_.RunUntil([this] { return !converter_->IsWorking(); },
                             std::chrono::duration_cast<std::chrono::milliseconds>(timeout));
    if (outcome_.finished) {
        converter_->WaitForEnd(std::chrono::seconds(5));
    }
    dispatcher_.ProcessPending();
    outcome_.errorMessage = converter_->ErrorMessage();
    for (const auto& m : recorder_.Messages()) {
        outcome_.messages.push_back(m.text);
    }
    std::lock_guard lock(logMutex_);
    return outcome_;
}

ConversionOutcome ConversionRunner::Run(const std::vector<std::string>& inputs,
                                        const std::vector<std::string>& outputs,
                                        std::chrono::seconds timeout) {
    Start(inputs, outputs);
    return Wait(timeout);
}

}  // namespace tw::test
