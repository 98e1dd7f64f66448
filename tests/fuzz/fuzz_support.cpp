#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/message_service.h"

namespace tw::fuzz {

namespace {

class SilentMessages : public platform::MessageService {
public:
    void ShowError(const std::string&) override {}
    bool AskQuestion(const std::string&) override { return false; }
    void ShowInformation(const std::string&) override {}
};

}  // namespace

void QuietProcess() {
    static SilentMessages messages;
    static platform::ScopedMessageService installed(messages);
    av_log_set_level(AV_LOG_QUIET);
}

void Broken(const char* what, std::string_view detail) {
    std::fprintf(stderr, "broken: %s\n%.*s\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

}  // namespace tw::fuzz
