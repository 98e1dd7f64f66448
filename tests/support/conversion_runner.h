#pragma once

// Runs one conversion the way a front end does (a UI loop on the calling thread, a converter
// with its worker) and collects what the owner hears.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/converter.h"
#include "platform/message_service.h"
#include "platform/ui_dispatcher.h"

namespace tw::test {

struct ConversionOutcome {
    bool finished = false;  // the worker ended within the time allowed
    int completeEvents = 0;
    int stoppedEvents = 0;
    int errorEvents = 0;
    int progressEvents = 0;
    std::string errorMessage;
    std::vector<std::string> messages;  // everything shown through the message service
    std::vector<std::string> log;       // OnLog lines
    int lastProgress = 0;
};

// A lavfi description of a test picture and a tone, for InputFormat "lavfi".
std::string LavfiSource(int width, int height, const std::string& rate, double seconds,
                        int sampleRate = 48000, int channels = 2, bool audio = true,
                        bool video = true);

class ConversionRunner {
public:
    ConversionRunner();

    TAVConverter& Converter() { return *converter_; }
    TAVConvertOptions& Options() { return converter_->ConvertOptions(); }
    platform::LoopDispatcher& Dispatcher() { return dispatcher_; }

    // Called on the UI thread at every progress event (after the outcome was updated).
    void OnProgress(std::function<void(TAVConverter&)> hook) { progressHook_ = std::move(hook); }

    ConversionOutcome Run(const std::vector<std::string>& inputs,
                          const std::vector<std::string>& outputs,
                          std::chrono::seconds timeout = std::chrono::seconds(120));

    // Start without waiting; Wait finishes the outcome.
    void Start(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);
    ConversionOutcome Wait(std::chrono::seconds timeout = std::chrono::seconds(120));

private:
    platform::LoopDispatcher dispatcher_;
    platform::RecordingMessageService recorder_;
    std::unique_ptr<platform::ScopedMessageService> installMessages_;
    std::unique_ptr<TAVConverter> converter_;
    ConversionOutcome outcome_;
    std::function<void(TAVConverter&)> progressHook_;
    std::mutex logMutex_;
};

}  // namespace tw::test
