#pragma once

// The three message boxes of the program: error (caption "Error"), question (caption
// "Warning", Yes/No, true only for Yes) and information (caption "Information").
// The front end installs its own service; a headless process prints to stderr; tests record.
// Every service may be called from any thread.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tw::platform {

class MessageService {
public:
    virtual ~MessageService() = default;
    virtual void ShowError(const std::string& text) = 0;
    virtual bool AskQuestion(const std::string& text) = 0;
    virtual void ShowInformation(const std::string& text) = 0;
};

// Writes "Error: text" and the like to stderr; questions are answered No.
class StderrMessageService : public MessageService {
public:
    void ShowError(const std::string& text) override;
    bool AskQuestion(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
};

// Keeps every message for inspection; questions get the configured answer.
class RecordingMessageService : public MessageService {
public:
    enum class Kind { Error, Question, Information };
    struct Message {
        Kind kind;
        std::string caption;
        std::string text;
    };

    explicit RecordingMessageService(bool answer = false) : answer_(answer) {}

    void ShowError(const std::string& text) override;
    bool AskQuestion(const std::string& text) override;
    void ShowInformation(const std::string& text) override;

    std::vector<Message> Messages() const;
    std::vector<std::string> Errors() const;
    void Clear();

private:
    void Record(Kind kind, const char* caption, const std::string& text);

    mutable std::mutex mutex_;  // guards messages_
    std::vector<Message> messages_;
    bool answer_;
};

// The process's message service: the installed one, else a stderr service.
MessageService& Messages();

// Installs a service for as long as this object lives, then restores the previous one.
class ScopedMessageService {
public:
    explicit ScopedMessageService(MessageService& service);
    ~ScopedMessageService();
    ScopedMessageService(const ScopedMessageService&) = delete;
    ScopedMessageService& operator=(const ScopedMessageService&) = delete;

private:
    MessageService* previous_;
};

}  // namespace tw::platform
