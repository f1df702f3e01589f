#include "sim/serve/SpeakerFeed.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/audiotoolbox/Speaker.h"
#include "tests/support/TemporaryDevice.h"

namespace {

using testsupport::TemporaryDevice;

std::string record(const std::string& file, int sound) {
  return nlohmann::json{{"time", "t" + std::to_string(sound)}, {"process", "SpringBoard"}, {"file", file}, {"sound", sound}}
             .dump() +
         "\n";
}

void append(const std::string& hostPath, const std::string& text) {
  std::ofstream(hostPath, std::ios::binary | std::ios::app) << text;
}

TEST(SpeakerFeed, PushesEachNewSoundWithItsBytesAcrossSegmentsAndSkipsWhatIsNotARecord) {
  TemporaryDevice device;
  std::string log = device.host(speaker::kLogPath);
  std::string sound = "/Library/Application Support/Orvane/Tick.wav";
  testsupport::writeFile(device.host(sound), "RIFF....WAVEtick");
  testsupport::writeFile(log, record(sound, 1) + record(sound, 2));

  serve::EventHub hub;
  serve::SpeakerFeed feed(hub);
  feed.start();
  // What was played before the start is shown, never played again.
  EXPECT_EQ(feed.recent().size(), 2u);
  EXPECT_FALSE(hub.wait(1, 300));

  auto next = [&](std::uint64_t& sequence) {
    auto event = hub.wait(sequence, 5000);
    EXPECT_TRUE(event) << "nothing pushed";
    if (!event) return nlohmann::json();
    sequence = event->sequence + 1;
    EXPECT_EQ(event->type, "sound");
    return nlohmann::json::parse(event->data);
  };
  std::uint64_t sequence = hub.next();
  append(log, "not a record\n" + std::string(100 * 1024, 'x') + "\n" + record(sound, 3));
  auto pushed = next(sequence);
  EXPECT_EQ(pushed["sound"], 3);
  std::string url = pushed["url"];
  auto bytes = feed.sound(url.substr(8, url.size() - 12));
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, "RIFF....WAVEtick");

  // The log is cut into a new segment: its first line is still pushed, and a
  // line half written shows once whole.
  ASSERT_EQ(std::rename(log.c_str(), device.host(speaker::kPreviousLogPath).c_str()), 0);
  std::string half = record(sound, 4);
  append(log, half.substr(0, 20));
  append(log, half.substr(20));
  EXPECT_EQ(next(sequence)["sound"], 4);

  // Emptied in place, as a clear does: what is written afterwards is pushed.
  ASSERT_EQ(::truncate(log.c_str(), 0), 0);
  append(log, record(sound, 7));
  EXPECT_EQ(next(sequence)["sound"], 7);

  // A file outside the device, or none at all, is named but never read.
  std::string outsideName = device.root().substr(device.root().rfind('/') + 1) + "-outside.wav";
  std::string outsideHost = device.root() + "/../" + outsideName;
  testsupport::writeFile(outsideHost, "RIFF....WAVEsecret");
  append(log, record("/../" + outsideName, 5) + record("/nowhere.wav", 6));
  auto outside = next(sequence);
  EXPECT_EQ(outside["sound"], 5);
  EXPECT_FALSE(outside.contains("url"));
  EXPECT_FALSE(next(sequence).contains("url"));
  feed.stop();
  std::remove(outsideHost.c_str());
  EXPECT_EQ(feed.recent().back()["sound"], 6);
}

}  // namespace
