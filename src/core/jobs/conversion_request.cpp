#include "jobs/conversion_request.h"

#include <nlohmann/json.hpp>

#include "jobs/json_text.h"
#include "util/settings_xml.h"

namespace tw::jobs {

namespace {

using nlohmann::json;

// What the stored XML form leaves out of an options tree. Everything here changes what a run
// writes (a profile's pixel format, a rate chosen to be the initial 25/1, the engine switches
// code sets), so a worker without it would convert differently.
json Unpublished(const TAVConvertOptions& options) {
    const TEngineValues& engine = options.Engine;
    json scales = json::array();
    for (const TEngineValues::TimestampScale& scale : engine.TimestampScales) {
        scales.push_back({{"file", scale.file}, {"stream", scale.stream}, {"scale", scale.scale}});
    }
    return {
        {"DtsDeltaThreshold", options.DtsDeltaThreshold},
        {"ScalerFlags", options.ScalerFlags},
        {"DataMaxFrames", options.DataMaxFrames},
        {"PixelFormat", options.VideoOptions().PixelFormat},
        {"FrameRateChosen", options.VideoOptions().FrameRateChosen()},
        {"Engine",
         {{"ProgramNumber", engine.ProgramNumber},
          {"InputTimestampOffset", engine.InputTimestampOffset},
          {"CopyTimestamps", engine.CopyTimestamps},
          {"RateEmulation", engine.RateEmulation},
          {"FileSizeLimit", engine.FileSizeLimit},
          {"Shortest", engine.Shortest},
          {"CopyInitialNonKeyFrames", engine.CopyInitialNonKeyFrames},
          {"RecordingTimestamp", engine.RecordingTimestamp},
          {"LoopCount", engine.LoopCount},
          {"QualityReport", engine.QualityReport},
          {"VideoDiscard", engine.VideoDiscard},
          {"PictureClockShift", engine.PictureClockShift},
          {"ContinuesPictures", engine.ContinuesPictures},
          {"TimestampScales", scales}}},
    };
}

void ReadUnpublished(const json& from, TAVConvertOptions& options) {
    from.at("DtsDeltaThreshold").get_to(options.DtsDeltaThreshold);
    from.at("ScalerFlags").get_to(options.ScalerFlags);
    from.at("DataMaxFrames").get_to(options.DataMaxFrames);
    TVideoOptions& video = options.VideoOptions();
    from.at("PixelFormat").get_to(video.PixelFormat);
    if (from.at("FrameRateChosen").get<bool>()) {
        const TRational rate(video.FrameRate().num(), video.FrameRate().den());
        video.SetFrameRate(rate);
    }
    const json& values = from.at("Engine");
    TEngineValues& engine = options.Engine;
    values.at("ProgramNumber").get_to(engine.ProgramNumber);
    values.at("InputTimestampOffset").get_to(engine.InputTimestampOffset);
    values.at("CopyTimestamps").get_to(engine.CopyTimestamps);
    values.at("RateEmulation").get_to(engine.RateEmulation);
    values.at("FileSizeLimit").get_to(engine.FileSizeLimit);
    values.at("Shortest").get_to(engine.Shortest);
    values.at("CopyInitialNonKeyFrames").get_to(engine.CopyInitialNonKeyFrames);
    values.at("RecordingTimestamp").get_to(engine.RecordingTimestamp);
    values.at("LoopCount").get_to(engine.LoopCount);
    values.at("QualityReport").get_to(engine.QualityReport);
    values.at("VideoDiscard").get_to(engine.VideoDiscard);
    // Only the runs of segments send these.
    engine.PictureClockShift = values.value("PictureClockShift", 0.0);
    engine.ContinuesPictures = values.value("ContinuesPictures", false);
    engine.TimestampScales.clear();
    for (const json& scale : values.at("TimestampScales")) {
        engine.TimestampScales.push_back({scale.at("file").get<int>(),
                                          scale.at("stream").get<int>(),
                                          scale.at("scale").get<double>()});
    }
}

json ListValue(const TStringList& list) {
    json values = json::array();
    for (const std::string& line : list) {
        values.push_back(TextValue(line));
    }
    return values;
}

TStringList ListFrom(const json& values) {
    TStringList list;
    for (const json& value : values) {
        list.push_back(TextFrom(value));
    }
    return list;
}

}  // namespace

std::string RequestLine(const ConversionRequest& request, const TAVConvertOptions& options) {
    const json line = {
        {"protocol", kProtocolVersion},          {"inputs", ListValue(request.inputs)},
        {"outputs", ListValue(request.outputs)}, {"options", TextValue(WriteSettingsXml(options))},
        {"unpublished", Unpublished(options)},   {"logLevel", request.logLevel},
        {"priority", request.priority},
    };
    return line.dump();
}

void ParseRequest(std::string_view line, ConversionRequest* request, TAVConvertOptions& options) {
    json value;
    try {
        value = json::parse(line);
    } catch (const json::exception& e) {
        throw ERequestError(std::string("The conversion request is not JSON: ") + e.what());
    }
    try {
        if (!value.is_object()) {
            throw ERequestError("The conversion request is not a JSON object");
        }
        const int version = value.at("protocol").get<int>();
        if (version != kProtocolVersion) {
            throw ERequestError("The conversion request is of protocol version " +
                                std::to_string(version) + "; this worker speaks version " +
                                std::to_string(kProtocolVersion));
        }
        request->inputs = ListFrom(value.at("inputs"));
        request->outputs = ListFrom(value.at("outputs"));
        if (request->inputs.empty() || request->outputs.empty()) {
            throw ERequestError("The conversion request names no source or no target");
        }
        request->logLevel = value.at("logLevel").get<int>();
        request->priority = value.at("priority").get<int>();
        try {
            ReadSettingsXml(TextFrom(value.at("options")), options);
        } catch (const EAVError& e) {
            throw ERequestError(std::string("The conversion request's settings do not read: ") +
                                e.what());
        }
        ReadUnpublished(value.at("unpublished"), options);
    } catch (const json::exception& e) {
        throw ERequestError(std::string("The conversion request is incomplete: ") + e.what());
    }
}

}  // namespace tw::jobs
