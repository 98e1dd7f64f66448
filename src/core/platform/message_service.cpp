#include "platform/message_service.h"

#include <atomic>
#include <cstdio>

namespace tw::platform {

namespace {

std::atomic<MessageService*> installed{nullptr};

void Print(const char* caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption, text.c_str());
}

}  // namespace

void StderrMessageService::ShowError(const std::string& text) {
    Print("Error", text);
}

bool StderrMessageService::AskQuestion(const std::string& text) {
    Print("Warning", text + " [answered No]");
    return false;
}

void StderrMessageService::ShowInformation(const std::string& text) {
    Print("Information", text);
}

void RecordingMessageService::Record(Kind kind, const char* caption, const std::string& text) {
    std::lock_guard lock(mutex_);
    messages_.push_back({kind, caption, text});
}

void RecordingMessageService::ShowError(const std::string& text) {
    Record(Kind::Error, "Error", text);
}

bool RecordingMessageService::AskQuestion(const std::string& text) {
    Record(Kind::Question, "Warning", text);
    return answer_;
}

void RecordingMessageService::ShowInformation(const std::string& text) {
    Record(Kind::Information, "Information", text);
}

std::vector<RecordingMessageService::Message> RecordingMessageService::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::string> RecordingMessageService::Errors() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> errors;
    for (const Message& m : messages_) {
        if (m.kind == Kind::Error) {
            errors.push_back(m.text);
        }
    }
    return errors;
}

void RecordingMessageService::Clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

MessageService& Messages() {
    static StderrMessageService fallback;
    MessageService* service = installed.load();
    return service ? *service : fallback;
}

ScopedMessageService::ScopedMessageService(MessageService& service)
    : previous_(installed.exchange(&service)) {}

ScopedMessageService::~ScopedMessageService() {
    installed.store(previous_);
}

}  // namespace tw::platform
