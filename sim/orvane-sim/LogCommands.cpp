// log [--json] [-f] [--clear] and syslog [-f]: the speaker's log and the device's system log.
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/LogSegment.h"
#include "platform/foundation/NSLog.h"
#include "sim/common/LogReader.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {
namespace {

/// The text with each byte that is not part of valid UTF-8 replaced by U+FFFD.
std::string validUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  for (std::size_t at = 0; at < text.size();) {
    unsigned char lead = byte(at);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4                 ? 4
                                                                        : 0;
    bool whole = length > 0 && at + length <= text.size();
    for (std::size_t next = 1; whole && next < length; ++next) whole = (byte(at + next) & 0xC0) == 0x80;
    if (whole && length >= 3) {
      unsigned char second = byte(at + 1);
      // No overlong forms, no surrogates, nothing above U+10FFFF.
      whole = !(lead == 0xE0 && second < 0xA0) && !(lead == 0xED && second >= 0xA0) &&
              !(lead == 0xF0 && second < 0x90) && !(lead == 0xF4 && second >= 0x90);
    }
    if (whole) {
      valid.append(text.substr(at, length));
      at += length;
    } else {
      valid.append("\xEF\xBF\xBD");
      ++at;
    }
  }
  return valid;
}

/// A field of a log record as text: strings as they are, other values as JSON.
std::string fieldText(const nlohmann::json& entry, const char* name) {
  auto found = entry.find(name);
  if (found == entry.end()) return "?";
  if (found->is_string()) return found->get<std::string>();
  return found->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

/// Reads the log, or follows it until this process is ended.
void readLog(logs::LogReader& reader, bool follow, const logs::LineHandler& use) {
  if (!follow) {
    reader.read(use);
    return;
  }
  // Each line is seen at once by whoever reads the pipe.
  reader.follow(
      [&](std::string_view line) {
        use(line);
        std::fflush(stdout);
      },
      [] { return std::ferror(stdout) == 0; });
}

/// Empties the log and the recording, safely against speakers playing meanwhile (files::clearLog).
int clearSpeakerLog() {
  for (auto [path, previous] : {std::pair{speaker::kLogPath, speaker::kPreviousLogPath},
                                std::pair{speaker::kRecordingPath, speaker::kPreviousRecordingPath}})
    if (auto cleared = files::clearLog(path, previous); !cleared) return fail(cleared.error().message());
  return 0;
}

}  // namespace

int log(const Invocation& invocation) {
  if (int status = requireDevice()) return status;
  bool json = invocation.has("--json");
  bool follow = invocation.has("--follow");
  if (invocation.has("--clear")) {
    if (json || follow) return cli::wrongUse(invocation, "--clear takes no other option");
    return clearSpeakerLog();
  }
  logs::LogReader reader(speaker::kLogPath, speaker::kPreviousLogPath);
  long skipped = 0;
  readLog(reader, follow, [&](std::string_view line) {
    auto entry = nlohmann::json::parse(validUtf8(line), nullptr, false);
    if (entry.is_discarded() || !entry.is_object()) {
      ++skipped;
      return;
    }
    if (json) {
      std::printf("%s\n", entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else {
      std::printf("%s  %-12s %s\n", fieldText(entry, "time").c_str(), fieldText(entry, "process").c_str(),
                  fieldText(entry, "file").c_str());
    }
  });
  std::fflush(stdout);
  skipped += reader.overlong();
  if (skipped > 0) std::fprintf(stderr, "orvane-sim: %ld log lines are not sound records, left out\n", skipped);
  return 0;
}

int syslog(const Invocation& invocation) {
  if (int status = requireDevice()) return status;
  bool follow = invocation.has("--follow");
  logs::LogReader reader(foundation::kSystemLogPath, foundation::kPreviousSystemLogPath);
  readLog(reader, follow, [](std::string_view line) { std::printf("%s\n", validUtf8(line).c_str()); });
  std::fflush(stdout);
  if (reader.overlong() > 0)
    std::fprintf(stderr, "orvane-sim: %ld overlong system log lines left out\n", reader.overlong());
  return 0;
}

}  // namespace commands
