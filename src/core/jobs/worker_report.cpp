#include "jobs/worker_report.h"

#include <array>
#include <nlohmann/json.hpp>
#include <utility>

namespace tw::jobs {

namespace {

using nlohmann::json;

constexpr std::array<std::pair<Report::Kind, const char*>, 10> kKinds{{
    {Report::Kind::Started, "started"},
    {Report::Kind::Progress, "progress"},
    {Report::Kind::Alive, "alive"},
    {Report::Kind::Log, "log"},
    {Report::Kind::Message, "message"},
    {Report::Kind::Paused, "paused"},
    {Report::Kind::Stopped, "stopped"},
    {Report::Kind::Error, "error"},
    {Report::Kind::Done, "done"},
    {Report::Kind::Unknown, "unknown"},
}};

const char* KindName(Report::Kind kind) {
    for (const auto& [k, name] : kKinds) {
        if (k == kind) {
            return name;
        }
    }
    return "unknown";
}

Report::Kind KindNamed(const std::string& name) {
    for (const auto& [kind, n] : kKinds) {
        if (name == n) {
            return kind;
        }
    }
    return Report::Kind::Unknown;
}

json FiguresValue(const RunFigures& f) {
    return {{"duration", f.duration},   {"convertedDuration", f.convertedDuration},
            {"bitrate", f.bitrate},     {"startTime", f.startTime},
            {"lastTime", f.lastTime},   {"outputSize", f.outputSize},
            {"inputSize", f.inputSize}, {"progress", f.progress},
            {"elapsed", f.elapsed}};
}

RunFigures FiguresFrom(const json& v) {
    RunFigures f;
    v.at("duration").get_to(f.duration);
    v.at("convertedDuration").get_to(f.convertedDuration);
    v.at("bitrate").get_to(f.bitrate);
    v.at("startTime").get_to(f.startTime);
    v.at("lastTime").get_to(f.lastTime);
    v.at("outputSize").get_to(f.outputSize);
    v.at("inputSize").get_to(f.inputSize);
    v.at("progress").get_to(f.progress);
    v.at("elapsed").get_to(f.elapsed);
    return f;
}

bool HasFigures(Report::Kind kind) {
    return kind == Report::Kind::Started || kind == Report::Kind::Progress ||
           kind == Report::Kind::Paused || kind == Report::Kind::Stopped ||
           kind == Report::Kind::Done;
}

}  // namespace

std::string ReportLine(const Report& report) {
    json line = {{"event", KindName(report.kind)}};
    if (HasFigures(report.kind)) {
        line["figures"] = FiguresValue(report.figures);
    }
    switch (report.kind) {
        case Report::Kind::Log:
            line["level"] = report.level;
            line["text"] = report.text;
            break;
        case Report::Kind::Message:
            line["kind"] =
                report.messageKind == Report::MessageKind::Error ? "error" : "information";
            line["text"] = report.text;
            break;
        case Report::Kind::Paused:
            line["held"] = report.held;
            break;
        case Report::Kind::Error:
            line["text"] = report.text;
            break;
        case Report::Kind::Done:
            line["completed"] = report.completed;
            line["failed"] = report.failed;
            break;
        default:
            break;
    }
    if (report.texts) {
        line["texts"] = {{"errorMessage", report.texts->errorMessage},
                         {"lastLogMessage", report.texts->lastLogMessage},
                         {"failureText", report.texts->failureText},
                         {"completionNote", report.texts->completionNote}};
    }
    // The libraries' lines may carry file names in any encoding; they are only shown.
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

Report ParseReport(std::string_view line) {
    json value;
    try {
        value = json::parse(line);
    } catch (const json::exception& e) {
        throw EBadReport(std::string("not JSON: ") + e.what());
    }
    if (!value.is_object()) {
        throw EBadReport("not a JSON object");
    }
    Report report;
    try {
        report.kind = KindNamed(value.at("event").get<std::string>());
        if (HasFigures(report.kind)) {
            report.figures = FiguresFrom(value.at("figures"));
        }
        switch (report.kind) {
            case Report::Kind::Log:
                value.at("level").get_to(report.level);
                value.at("text").get_to(report.text);
                break;
            case Report::Kind::Message: {
                const std::string kind = value.at("kind").get<std::string>();
                report.messageKind = kind == "information" ? Report::MessageKind::Information
                                                           : Report::MessageKind::Error;
                value.at("text").get_to(report.text);
                break;
            }
            case Report::Kind::Paused:
                value.at("held").get_to(report.held);
                break;
            case Report::Kind::Error:
                value.at("text").get_to(report.text);
                break;
            case Report::Kind::Done:
                value.at("completed").get_to(report.completed);
                value.at("failed").get_to(report.failed);
                break;
            default:
                break;
        }
        if (value.contains("texts")) {
            const json& texts = value.at("texts");
            report.texts = RunTexts{texts.at("errorMessage").get<std::string>(),
                                    texts.at("lastLogMessage").get<std::string>(),
                                    texts.at("failureText").get<std::string>(),
                                    texts.at("completionNote").get<std::string>()};
        }
    } catch (const json::exception& e) {
        throw EBadReport(e.what());
    }
    return report;
}

std::string ControlLine(Control control) {
    const char* name = control == Control::Pause  ? "pause"
                       : control == Control::Stop ? "stop"
                                                  : "resume";
    return json{{"control", name}}.dump();
}

std::optional<Control> ParseControl(std::string_view line) {
    const json value = json::parse(line, nullptr, false);
    if (!value.is_object() || !value.contains("control") || !value["control"].is_string()) {
        return std::nullopt;
    }
    const std::string name = value["control"].get<std::string>();
    if (name == "pause") {
        return Control::Pause;
    }
    if (name == "resume") {
        return Control::Run;
    }
    if (name == "stop") {
        return Control::Stop;
    }
    return std::nullopt;
}

}  // namespace tw::jobs
