// The request a worker gets: the options tree arrives whole, file names arrive byte for byte,
// and what is no request of this version is refused with a reason.
#include "jobs/conversion_request.h"

#include <gtest/gtest.h>

#include "profiles/profile_catalogue.h"
#include "util/settings_xml.h"

namespace tw::jobs {
namespace {

void ExpectSameTree(const TAVConvertOptions& read, const TAVConvertOptions& sent) {
    EXPECT_EQ(WriteSettingsXml(read), WriteSettingsXml(sent));
    EXPECT_EQ(read.VideoOptions().PixelFormat, sent.VideoOptions().PixelFormat);
    EXPECT_EQ(read.VideoOptions().FrameRateChosen(), sent.VideoOptions().FrameRateChosen());
    EXPECT_EQ(read.DtsDeltaThreshold, sent.DtsDeltaThreshold);
    EXPECT_EQ(read.ScalerFlags, sent.ScalerFlags);
    EXPECT_EQ(read.DataMaxFrames, sent.DataMaxFrames);
    EXPECT_EQ(read.Engine.RateEmulation, sent.Engine.RateEmulation);
    EXPECT_EQ(read.Engine.LoopCount, sent.Engine.LoopCount);
    EXPECT_EQ(read.Engine.InputTimestampOffset, sent.Engine.InputTimestampOffset);
    ASSERT_EQ(read.Engine.TimestampScales.size(), sent.Engine.TimestampScales.size());
    for (size_t i = 0; i < read.Engine.TimestampScales.size(); ++i) {
        EXPECT_EQ(read.Engine.TimestampScales[i].stream, sent.Engine.TimestampScales[i].stream);
        EXPECT_EQ(read.Engine.TimestampScales[i].scale, sent.Engine.TimestampScales[i].scale);
    }
}

TEST(ConversionRequest, CarriesEveryProfilesTreeAndTheValuesTheStoredFormLeavesOut) {
    const ConversionRequest request{
        {"/videos/caf\xe9 (latin-1).mkv"}, {"/out/\xff\xfe.mp4"}, 16, 0};
    const auto catalogue = CreateBuiltInCatalogue();
    for (int i = 0; i < catalogue->Count(); ++i) {
        SCOPED_TRACE(catalogue->Items(i).Description());
        TAVConvertOptions sent;
        catalogue->Items(i).ApplyTo(sent);
        TAVConvertOptions read;
        ConversionRequest got;
        ParseRequest(RequestLine(request, sent), &got, read);
        ExpectSameTree(read, sent);
    }

    TAVConvertOptions sent;
    sent.VideoOptions().SetFrameRate(TRational(25, 1));  // chosen, though it is the initial rate
    sent.VideoOptions().PixelFormat = 4;
    sent.DtsDeltaThreshold = 2.5f;
    sent.ScalerFlags = 2;
    sent.Engine.RateEmulation = true;
    sent.Engine.LoopCount = 3;
    sent.Engine.InputTimestampOffset = -40000;
    sent.Engine.TimestampScales.push_back({0, 1, 2.5});
    TAVConvertOptions read;
    ConversionRequest got;
    ParseRequest(RequestLine(request, sent), &got, read);
    ExpectSameTree(read, sent);
    EXPECT_EQ(got.inputs, request.inputs);
    EXPECT_EQ(got.outputs, request.outputs);
    EXPECT_EQ(got.logLevel, 16);
    EXPECT_EQ(got.priority, 0);
}

TEST(ConversionRequest, RefusesWhatIsNoRequestOfThisVersionSayingWhy) {
    TAVConvertOptions options;
    const std::string good = RequestLine({{"in.mkv"}, {"out.mp4"}, 24, -1}, options);
    const auto refusal = [&options](const std::string& line) {
        ConversionRequest request;
        try {
            ParseRequest(line, &request, options);
        } catch (const ERequestError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal(good), "accepted");
    EXPECT_NE(refusal("convert in.mkv").find("is not JSON"), std::string::npos);
    EXPECT_NE(refusal("[1, 2]").find("not a JSON object"), std::string::npos);

    std::string later = good;
    later.replace(later.find("\"protocol\":1"), 12, "\"protocol\":7");
    EXPECT_EQ(refusal(later),
              "The conversion request is of protocol version 7; this worker speaks version 1");

    std::string noTargets = good;
    noTargets.replace(noTargets.find("[\"out.mp4\"]"), 11, "[]");
    EXPECT_EQ(refusal(noTargets), "The conversion request names no source or no target");

    std::string noInputs = good;
    noInputs.replace(noInputs.find("\"inputs\""), 8, "\"sources\"");
    EXPECT_NE(refusal(noInputs).find("incomplete"), std::string::npos);
    EXPECT_NE(refusal(noInputs).find("inputs"), std::string::npos);

    std::string badSettings = good;
    badSettings.replace(badSettings.find("\"options\":\"") + 11, 5, "<<<<<");
    EXPECT_NE(refusal(badSettings).find("settings do not read"), std::string::npos);
}

}  // namespace
}  // namespace tw::jobs
