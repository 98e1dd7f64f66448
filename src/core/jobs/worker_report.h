#pragma once

// The lines a worker writes on its standard output, one JSON object each (docs/worker-protocol.md),
// and the control lines it reads after its request.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tw::jobs {

// The figures TAVConverter exposes, as the worker's converter has them.
struct RunFigures {
    double duration = 0;           // s
    double convertedDuration = 0;  // s
    double bitrate = 0;            // kbit/s
    int64_t startTime = 0;         // µs, wall clock
    int64_t lastTime = 0;          // µs, wall clock
    int64_t outputSize = 0;        // bytes
    int64_t inputSize = 0;         // bytes
    int progress = 0;              // %, for readers; the owner computes its own from the above
    int64_t elapsed = 0;           // s, likewise
};

// The converter's texts about how its run went.
struct RunTexts {
    std::string errorMessage;
    std::string lastLogMessage;
    std::string failureText;
    std::string completionNote;
};

struct Report {
    enum class Kind {
        Started,   // the loop began: figures
        Progress,  // figures
        Alive,     // nothing else went out for a while; the worker is there
        Log,       // level, text
        Message,   // an error or information box shown while the run goes on: messageKind, text
        Paused,    // the run came to a pause and holds it (held), or left it: figures
        Stopped,   // the loop saw the stop: figures
        Error,     // with texts: the run failed (its box came as a message); without: the
                   // request was refused, text says why
        Done,      // the run is over: figures, texts, completed, failed
        Unknown,   // a report of a later protocol revision; ignored
    };
    enum class MessageKind { Error, Information };

    Kind kind = Kind::Unknown;
    RunFigures figures;
    std::optional<RunTexts> texts;
    int level = 0;
    std::string text;
    MessageKind messageKind = MessageKind::Error;
    bool held = false;       // Paused: the pause holds now
    bool completed = false;  // the run completed (OnComplete): finished, or failed in its loop
    bool failed = false;     // the run failed
};

// A line that is no report: not JSON, not an object, no kind, or a member of the wrong type.
class EBadReport : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Without the line break. Texts that are not UTF-8 have their bad bytes replaced.
std::string ReportLine(const Report& report);
// Throws EBadReport.
Report ParseReport(std::string_view line);

enum class Control { Run, Pause, Stop };

std::string ControlLine(Control control);
// Empty when the line is no control line.
std::optional<Control> ParseControl(std::string_view line);

}  // namespace tw::jobs
