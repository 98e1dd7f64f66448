#include "util/settings_xml.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/rational.h"
#include "support/scoped_env.h"
#include "util/float_text.h"

namespace tw {
namespace {

enum TShade { shLight, shDark };

// A small class with one property of most kinds.
class TSample : public TPersistent {
    TW_VALUE_PROPERTY(int, Plain, 0)
    TW_VALUE_PROPERTY(bool, Enabled, true)
    TW_VALUE_PROPERTY(bool, Visible, false)
    TW_VALUE_PROPERTY(TShade, Shade, shLight)
    TW_VALUE_PROPERTY(int64_t, Size, 0)
    TW_VALUE_PROPERTY(float, Ratio, 0.0f)
    TW_REF_PROPERTY(std::string, Name)
    TW_REF_PROPERTY(TStringList, Lines)

public:
    const char* ClassName() const override { return "TSample"; }
    const PropertyTable& Properties() const override {
        using T = TSample;
        static const PropertyTable table =
            PropertyTableBuilder<T>()
                .Integer("Plain", &T::Plain, &T::SetPlain)
                .Boolean("Enabled", &T::Enabled, &T::SetEnabled, true)
                .Boolean("Visible", &T::Visible, &T::SetVisible)
                .Enum("Shade", &T::Shade, &T::SetShade, {"shLight", "shDark"})
                .Int64("Size", &T::Size, &T::SetSize)
                .Single("Ratio", &T::Ratio, &T::SetRatio)
                .String("Name", &T::Name, &T::SetName)
                .List("Lines", &T::Lines, &T::SetLines)
                .Object("Rate", [](T& o) -> TPersistent& { return o.rate; })
                .Build();
        return table;
    }

    TRational rate;
};

TEST(SettingsXml, ListReadMakesCountLinesFromThePresentElements) {
    TSample sample;
    sample.SetLines({"old", "old", "old", "old", "old", "old"});
    ReadSettingsXml(
        "<data PropFormat=\"node\"><TSample><Lines Count=\"4\"><l1>b</l1><l3>d</l3><l7>x</l7>"
        "</Lines></TSample></data>",
        sample);
    EXPECT_EQ(sample.Lines(), (TStringList{"", "b", "", "d"}));

    ReadSettingsXml("<data PropFormat=\"node\"><TSample><Lines Count=\"0\" /></TSample></data>",
                    sample);
    EXPECT_TRUE(sample.Lines().empty());
}

TEST(SettingsXml, ReadAcceptsAByteOrderMarkAndBooleanWords) {
    TSample sample;
    ReadSettingsXml(
        "\xEF\xBB\xBF<data PropFormat=\"node\"><TSample><Name>caf\xC3\xA9</Name>"
        "<Enabled>0</Enabled><Visible>True</Visible><Rate><num>9</num></Rate>"
        "</TSample></data>",
        sample);
    EXPECT_EQ(sample.Name(), "caf\xC3\xA9");
    EXPECT_FALSE(sample.Enabled());
    EXPECT_TRUE(sample.Visible());
    EXPECT_EQ(sample.rate.num(), 9);
    EXPECT_EQ(sample.rate.den(), 1);
}

TEST(SettingsXml, BadTextsRaiseWithoutChangingTheObject) {
    TSample sample;
    sample.SetName("kept");
    EXPECT_THROW(ReadSettingsXml("<data><TSample><Name>x</Name></data>", sample), EMalformedXml);
    EXPECT_THROW(ReadSettingsXml("", sample), EMalformedXml);
    EXPECT_EQ(sample.Name(), "kept");

    EXPECT_THROW(ReadSettingsXml("<data><TSample><Plain>1.5</Plain></TSample></data>", sample),
                 EAVError);
    EXPECT_THROW(ReadSettingsXml("<data><TSample><Shade>shGrey</Shade></TSample></data>", sample),
                 EAVError);
    EXPECT_THROW(ReadSettingsXml("<data><TSample><Ratio>1,5</Ratio></TSample></data>", sample),
                 EAVError);
    try {
        ReadSettingsXml("<data><TSample><Size></Size></TSample></data>", sample);
        FAIL() << "no error raised";
    } catch (const EAVError& e) {
        EXPECT_STREQ(e.what(), "Invalid int64 value ().");
    }
}

TEST(SettingsXml, ADamagedListCountIsRefusedRatherThanAllocated) {
    TSample sample;
    EXPECT_THROW(
        ReadSettingsXml("<data><TSample><Lines Count=\"2000000000\"/></TSample></data>", sample),
        EAVError);
}

TEST(SettingsXml, TextsWithMarkupAndLineBreaksRoundTrip) {
    TSample sample;
    sample.SetName("a & <b> \"c\" 'd'");
    sample.SetLines({"one\ntwo", "dos\r\nline", "old mac\rline", "  padded\t", " ", "bell\x01"});
    const std::string text = WriteSettingsXml(sample);

    TSample read;
    ReadSettingsXml(text, read);
    EXPECT_EQ(read.Name(), sample.Name());
    EXPECT_EQ(read.Lines(), sample.Lines());
    EXPECT_EQ(WriteSettingsXml(read), text);
}

TEST(SettingsXml, FilesAreWrittenAndReadWhole) {
    test::TempFolder folder;
    TSample sample;
    sample.SetSize(INT64_C(-9223372036854775807) - 1);
    SaveSettingsXmlFile(sample, folder / "sample.xml");
    EXPECT_EQ(test::ReadFileBytes(folder / "sample.xml"), WriteSettingsXml(sample));

    TSample read;
    LoadSettingsXmlFile(folder / "sample.xml", read);
    EXPECT_EQ(read.Size(), sample.Size());

    EXPECT_THROW(LoadSettingsXmlFile(folder / "missing.xml", read), EAVError);
    EXPECT_THROW(SaveSettingsXmlFile(sample, folder / "no-such-folder/sample.xml"), EAVError);
}

TEST(FloatText, WritesTheFewestDigitsThatGiveTheValueBack) {
    EXPECT_EQ(FloatToText(0.1f, true), "0.1");
    EXPECT_EQ(FloatToText(0.7f, true), "0.7");
    EXPECT_EQ(FloatToText(0.5f, true), "0.5");
    EXPECT_EQ(FloatToText(-99999.0f, true), "-99999");
    EXPECT_EQ(FloatToText(1.7777778f, true), "1.7777778");
    EXPECT_EQ(FloatToText(5025.5), "5025.5");
    EXPECT_EQ(FloatToText(0.1), "0.1");
    EXPECT_EQ(FloatToText(1234567890123.0), "1234567890123");
    // At most 15 significant digits for a double.
    EXPECT_EQ(FloatToText(1.0 / 3.0), "0.333333333333333");
}

TEST(FloatText, ParsesOnlyAWholeDotSeparatedNumber) {
    EXPECT_EQ(TextToFloat("0.5"), 0.5);
    EXPECT_EQ(TextToFloat("+2"), 2.0);
    EXPECT_EQ(TextToFloat("-99999"), -99999.0);
    EXPECT_EQ(TextToFloat("1E3"), 1000.0);
    EXPECT_FALSE(TextToFloat("0,5"));
    EXPECT_FALSE(TextToFloat("1.5x"));
    EXPECT_FALSE(TextToFloat(""));
    EXPECT_FALSE(TextToFloat(" 1"));
}

}  // namespace
}  // namespace tw
