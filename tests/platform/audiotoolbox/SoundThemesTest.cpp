#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

#include "tests/support/TemporaryDevice.h"

namespace {

const char* const kThemes[] = {
    "Mac Volume Change.wav", "Click.wav", "Bubble.wav", "Chime.wav", "Drop.wav", "Glass.wav", "Tick.wav"};

struct Decoded {
  SF_INFO info{};
  std::vector<short> samples;
};

Decoded decode(const std::string& path) {
  Decoded decoded;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &decoded.info);
  if (!file) return decoded;
  decoded.samples.resize(static_cast<std::size_t>(decoded.info.frames * decoded.info.channels));
  sf_readf_short(file, decoded.samples.data(), decoded.info.frames);
  sf_close(file);
  return decoded;
}

TEST(SoundThemes, AreShortMonoSoundsThatStayBelowFullScaleAndEndInSilence) {
  std::set<std::vector<short>> distinct;
  for (const char* theme : kThemes) {
    SCOPED_TRACE(theme);
    Decoded sound = decode(std::string(ORVANE_SOUND_DIR) + "/" + theme);
    ASSERT_EQ(sound.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(sound.info.samplerate, 44100);
    EXPECT_EQ(sound.info.channels, 1);
    EXPECT_GT(sound.info.frames, 0);
    EXPECT_LT(sound.info.frames, 0.35 * 44100);

    int peak = 0;
    for (short sample : sound.samples) peak = std::max(peak, std::abs(int{sample}));
    EXPECT_GT(peak, 32767 / 4);
    EXPECT_LT(peak, 32767 * 9 / 10);
    EXPECT_LT(std::abs(sound.samples.front()), 100);
    EXPECT_LT(std::abs(sound.samples.back()), 100);
    distinct.insert(sound.samples);
  }
  EXPECT_EQ(distinct.size(), std::size(kThemes));
}

TEST(SoundThemes, AreGeneratedTheSameEachTime) {
  testsupport::TemporaryDevice scratch;
  std::string again = scratch.root() + "/sounds";
  ASSERT_EQ(std::system(("\"" GENERATE_SOUNDS "\" \"" + again + "\"").c_str()), 0);
  for (const char* theme : kThemes) {
    EXPECT_EQ(testsupport::readFile(again + "/" + theme),
              testsupport::readFile(std::string(ORVANE_SOUND_DIR) + "/" + theme))
        << theme;
  }
}

}  // namespace
