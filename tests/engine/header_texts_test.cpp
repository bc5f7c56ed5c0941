#include <gtest/gtest.h>

#include <string>

#include "convert.h"
#include "texts.h"
#include "wavefmt.h"

namespace sonivel {
namespace {

TEST(OutputHeader, ConstantPartsAndFinishedSizes) {
    OutputHeader h;
    h.FillConstantParts();
    EXPECT_EQ(std::string(h.bytes.begin(), h.bytes.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(h.bytes.begin() + 8, h.bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(LoadLE32(&h.bytes[16]), 16u);
    EXPECT_EQ(LoadLE16(&h.bytes[20]), 1);
    EXPECT_EQ(std::string(h.bytes.begin() + 36, h.bytes.begin() + 40), "data");

    // 22050 Hz mono 8-bit saved as 44100 Hz stereo 16-bit: one full block,
    // one second and the two frames leading up to the next block.
    const WAVEFORMATEX out = SelectOutputFormat(OutputChoice{true, true, true, true});
    h.Finish(44 + 176408, out);
    EXPECT_EQ(LoadLE16(&h.bytes[22]), 2);
    EXPECT_EQ(LoadLE32(&h.bytes[24]), 44100u);
    EXPECT_EQ(LoadLE32(&h.bytes[28]), 176400u);
    EXPECT_EQ(LoadLE16(&h.bytes[32]), 4);
    EXPECT_EQ(LoadLE16(&h.bytes[34]), 16);
    EXPECT_EQ(h.DataSize(), 176408u);
    EXPECT_EQ(h.RiffSize(), h.DataSize() + 36);
}

TEST(OutputHeader, ShortFileIsAnEmptyDataChunk) {
    OutputHeader h;
    h.FillConstantParts();
    h.Finish(0, SelectOutputFormat(OutputChoice{}));
    EXPECT_EQ(h.DataSize(), 0u);
    EXPECT_EQ(h.RiffSize(), 36u);
}

TEST(Texts, TableIsCompleteInBothLanguages) {
    for (int id = 0; id < 59; ++id) {
        EXPECT_FALSE(Text(id, kEnglish).empty()) << id;
        EXPECT_FALSE(Text(id, kFrench).empty()) << id;
    }
    EXPECT_TRUE(Text(59, kEnglish).empty());
    EXPECT_NE(Text(59, kFrench).find("example.org"), std::string_view::npos);
    for (const int language : {kEnglish, kFrench}) {
        // The refused save: text 46 as its first line, then the reason.
        const std::string_view tooLarge = Text(kTextOutputTooLarge, language);
        EXPECT_EQ(tooLarge.substr(0, tooLarge.find('\n')), Text(kTextCannotWriteWave, language));
        EXPECT_NE(tooLarge.find("4 Gi"), std::string_view::npos);
    }
    EXPECT_TRUE(Text(kNumTexts, kEnglish).empty());
    EXPECT_TRUE(Text(-1, kFrench).empty());
}

TEST(Texts, SamplesAreVerbatim) {
    EXPECT_EQ(Text(kTextStop, kFrench), "Arrêter");
    EXPECT_EQ(Text(17, kFrench), "Associer les fichiers \"*.wav\" avec Sonivel");
    EXPECT_EQ(Text(kTextUnsupportedFormat, kEnglish),
              "Only noncompressed wave files with\n11025, 22050 or 44100 Hz sampling rates\n"
              "are supported in this version.");
    EXPECT_EQ(Text(kTextQualityTooLow, kEnglish).substr(0, 48),
              "The output quality is too low and Sonivel cannot");
    EXPECT_EQ(ErrorCaption(kEnglish), "Error");
    EXPECT_EQ(ErrorCaption(kFrench), "Erreur");
    EXPECT_EQ(Text(31, kFrench), ErrorCaption(kFrench));
}

}  // namespace
}  // namespace sonivel
