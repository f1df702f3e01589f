// orvane-sim themes: the list with each theme's facts and verdict, adding any
// sound libsndfile reads as a theme, and removing themes added by hand.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "tests/support/SimDeviceTest.h"

namespace {

namespace fs = std::filesystem;
using Result = testsupport::SimResult;

struct Sound {
  int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  int rate = 22050;
  int channels = 2;
  double seconds = 0.5;
};

/// A sine tone written by libsndfile in the given format.
void writeSound(const std::string& path, const Sound& sound) {
  SF_INFO info{.frames = 0, .samplerate = sound.rate, .channels = sound.channels, .format = sound.format,
               .sections = 0, .seekable = 0};
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
  auto frames = static_cast<sf_count_t>(sound.seconds * sound.rate);
  std::vector<float> samples(static_cast<std::size_t>(frames * sound.channels));
  for (std::size_t at = 0; at < samples.size(); ++at)
    samples[at] = 0.5f * static_cast<float>(std::sin(static_cast<double>(at / sound.channels) * 0.05));
  ASSERT_EQ(sf_writef_float(file, samples.data(), frames), frames);
  sf_close(file);
}

SF_INFO infoOf(const std::string& path) {
  SF_INFO info{};
  if (SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info)) sf_close(file);
  return info;
}

class Themes : public testsupport::SimDeviceTest {
 protected:
  std::string directory() const { return host("/Library/Application Support/Orvane"); }
  std::string scratch(const std::string& name) const { return device.root() + "/" + name; }
  nlohmann::json listed() {
    Result list = sim({"themes", "--json"});
    EXPECT_EQ(list.status, 0) << list.err;
    return nlohmann::json::parse(list.out);
  }
  static const nlohmann::json& entry(const nlohmann::json& list, const std::string& name) {
    for (const auto& theme : list["themes"])
      if (theme["name"] == name) return theme;
    static const nlohmann::json none;
    ADD_FAILURE() << "no theme " << name;
    return none;
  }
};

}  // namespace

TEST_F(Themes, TheListSaysWhyAThemeDoesNotPlayAndWhichIsChosen) {
  writeSound(directory() + "/Long.wav", {.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16, .rate = 8000, .channels = 1, .seconds = 31});
  writeSound(directory() + "/Silence.wav", {.seconds = 0});
  std::ofstream(directory() + "/Broken.wav") << "RIFF but not really a sound";
  fs::create_directory(directory() + "/Folder.wav");
  writeSound(directory() + "/ding.mp3", {.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, .rate = 44100});
  ASSERT_EQ(sim({"defaults", "write", "selectedDecreaseSound", "Chime"}).status, 0);

  nlohmann::json list = listed();
  EXPECT_EQ(list["directory"], "/Library/Application Support/Orvane");
  const auto& chime = entry(list, "Chime");
  EXPECT_EQ(chime["plays"], true);
  EXPECT_GT(chime["seconds"].get<double>(), 0);
  EXPECT_GT(chime["rate"].get<int>(), 0);
  EXPECT_EQ(chime["format"], "WAV 16-bit");
  EXPECT_EQ(chime["chosenFor"], nlohmann::json::array({"down"}));
  EXPECT_EQ(entry(list, "Mac Volume Change")["chosenFor"], nlohmann::json::array({"up"}));
  EXPECT_EQ(entry(list, "Long")["plays"], false);
  EXPECT_EQ(entry(list, "Long")["problem"], "longer than 30 s (31.0 s)");
  EXPECT_EQ(entry(list, "Silence")["problem"], "empty: there is no sound in it");
  EXPECT_EQ(entry(list, "Broken")["problem"], "not a sound file the system reads (empty, damaged or of another kind)");
  EXPECT_EQ(entry(list, "Folder")["problem"], "not a regular file");
  // Settings offers it under its whole name, and plays "ding.mp3.wav".
  EXPECT_EQ(entry(list, "ding.mp3")["problem"], "its file's name does not end in .wav");
  EXPECT_EQ(list["chosen"]["down"], (nlohmann::json{{"name", "Chime"}, {"plays", true}}));

  ASSERT_EQ(sim({"defaults", "write", "selectedIncreaseSound", "Long"}).status, 0);
  Result text = sim({"themes"});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("Volume up plays Long - nothing plays: longer than 30 s (31.0 s)\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Volume down plays Chime\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  Folder             does not play: not a regular file"), std::string::npos) << text.out;
}

TEST_F(Themes, AddConvertsWhatLibsndfileReadsIntoAWaveThemeThatPlays) {
  struct Case {
    const char* file;
    Sound sound;
  };
  const Case cases[] = {
      {"flac24.flac", {.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24}},
      {"float.aiff", {.format = SF_FORMAT_AIFF | SF_FORMAT_FLOAT, .rate = 48000, .channels = 1}},
      {"double.caf", {.format = SF_FORMAT_CAF | SF_FORMAT_DOUBLE}},
      {"vorbis.ogg", {.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS, .rate = 44100}},
      {"layer3.mp3", {.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, .rate = 44100}},
      {"unsigned.wav", {.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8, .rate = 8000, .channels = 6}},
  };
  for (const auto& [file, sound] : cases) {
    SCOPED_TRACE(file);
    writeSound(scratch(file), sound);
    std::string name = fs::path(file).stem().string();
    Result added = sim({"themes", "add", scratch(file)});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out.rfind("Added the theme \"" + name + "\"", 0), 0u) << added.out;
    EXPECT_NE(added.out.find("Pick it with: orvane-sim --device " + root + " settings set \"Sound Themes/Volume Up Sound\" " + name),
              std::string::npos) << added.out;
    SF_INFO made = infoOf(directory() + "/" + name + ".wav");
    EXPECT_EQ(made.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(made.samplerate, sound.rate);
    EXPECT_EQ(made.channels, sound.channels);
    // MP3 adds its encoder's delay and padding.
    EXPECT_NEAR(static_cast<double>(made.frames) / made.samplerate, sound.seconds, 0.1);
  }
  nlohmann::json list = listed();
  for (const auto& [file, sound] : cases) EXPECT_EQ(entry(list, fs::path(file).stem().string())["plays"], true) << file;

  Result picked = sim({"defaults", "write", "selectedIncreaseSound", "vorbis"});
  EXPECT_EQ(picked.status, 0);
  EXPECT_EQ(picked.err, "") << "a theme that plays is no reason to warn";
  Result named = sim({"themes", "add", scratch("flac24.flac"), "--name", "Grüße aus Köln"});
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_TRUE(fs::exists(directory() + "/Grüße aus Köln.wav"));
  EXPECT_NE(named.out.find("'Grüße aus Köln'"), std::string::npos) << "quoted for the shell: " << named.out;
}

TEST_F(Themes, AddRefusesWithTheReasonWhatCannotPlayAndLeavesNothingBehind) {
  auto before = listed()["themes"].size();
  writeSound(scratch("long.wav"), {.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16, .rate = 8000, .channels = 1, .seconds = 42});
  Result tooLong = sim({"themes", "add", scratch("long.wav")});
  EXPECT_EQ(tooLong.status, 1);
  EXPECT_EQ(tooLong.err, "orvane-sim: " + scratch("long.wav") +
                             " lasts 42.0 s; a theme plays at most 30 s (--trim keeps its first 30 s)\n");
  Result trimmed = sim({"themes", "add", scratch("long.wav"), "--trim"});
  EXPECT_EQ(trimmed.status, 0) << trimmed.err;
  EXPECT_NE(trimmed.out.find("Trimmed to 30 s: the last 12.0 s were left out."), std::string::npos) << trimmed.out;
  EXPECT_EQ(infoOf(directory() + "/long.wav").frames, 30 * 8000);
  EXPECT_EQ(entry(listed(), "long")["plays"], true);

  writeSound(scratch("silence.wav"), {.seconds = 0});
  writeSound(scratch("low.wav"), {.rate = 500, .seconds = 1});
  std::ofstream(scratch("notes.txt")) << "not a sound";
  fs::create_directory(scratch("folder"));
  ASSERT_EQ(::mkfifo(scratch("pipe.wav").c_str(), 0600), 0);
  const std::pair<std::string, std::string> refused[] = {
      {"silence.wav", scratch("silence.wav") + " holds no sound"},
      {"low.wav", scratch("low.wav") + ": its rate of 500 Hz is outside the 1 kHz to 192 kHz the system plays"},
      {"notes.txt", scratch("notes.txt") + " is not a sound file libsndfile reads"},
      {"folder", scratch("folder") + " is not a regular file"},
      {"pipe.wav", scratch("pipe.wav") + " is not a regular file"},
      {"missing.wav", scratch("missing.wav") + ": No such file or directory"},
  };
  for (const auto& [file, reason] : refused) {
    Result result = sim({"themes", "add", scratch(file)});
    EXPECT_EQ(result.status, 1) << file;
    EXPECT_EQ(result.err.rfind("orvane-sim: " + reason, 0), 0u) << result.err;
  }
  for (const std::string& name : std::vector<std::string>{"a/b", ".hidden", std::string(252, 'x'), "tab\there", "\xff\xfe"}) {
    Result result = sim({"themes", "add", scratch("long.wav"), "--name", name});
    EXPECT_EQ(result.status, 2) << name;
    EXPECT_NE(result.err.find("bad name"), std::string::npos) << result.err;
  }
  Result taken = sim({"themes", "add", scratch("long.wav"), "--trim"});
  EXPECT_EQ(taken.status, 1);
  EXPECT_EQ(taken.err, "orvane-sim: a theme named \"long\" exists already (remove it first, or give another --name)\n");
  EXPECT_EQ(sim({"themes", "add", scratch("long.wav"), "--trim", "--name", std::string(251, 'x')}).status, 0);
  for (const auto& entry : fs::directory_iterator(directory()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary file stayed: " << entry.path();
  EXPECT_EQ(listed()["themes"].size(), before + 2);
}

TEST_F(Themes, RemoveTakesOnlyThemesAddedByHandAndSaysWhatStillNamesOne) {
  writeSound(scratch("Ding.wav"), {});
  ASSERT_EQ(sim({"themes", "add", scratch("Ding.wav")}).status, 0);
  ASSERT_EQ(sim({"defaults", "write", "selectedDecreaseSound", "Ding"}).status, 0);
  Result removed = sim({"themes", "remove", "Ding"});
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_EQ(removed.out, "Removed the theme \"Ding\"\n");
  EXPECT_EQ(removed.err, "orvane-sim: warning: volume down still names \"Ding\": it plays nothing until another theme is picked\n");
  EXPECT_FALSE(fs::exists(directory() + "/Ding.wav"));

  Result missing = sim({"themes", "remove", "Chim"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "orvane-sim: no theme \"Chim\", did you mean Chime?\n");
  EXPECT_EQ(sim({"themes", "remove", "../../../etc/passwd"}).status, 1);
  Result owned = sim({"themes", "remove", "Chime"});
  EXPECT_EQ(owned.status, 1);
  EXPECT_EQ(owned.err, "orvane-sim: /Library/Application Support/Orvane/Chime.wav belongs to the package "
                       "com.quillmark.orvane: it goes when that package is removed\n");
  EXPECT_TRUE(fs::exists(directory() + "/Chime.wav"));
}
