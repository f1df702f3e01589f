#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "sim/common/Package.h"
#include "sim/common/PressChannel.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {

namespace {

using Arguments = std::vector<std::string>;

/// Replaces this process with one of the device's hosts, built beside orvane-sim.
int runHost(const char* name, const Arguments& arguments) {
  if (int status = requireDevice()) return status;
  std::string executable = package::executableDirectory() + "/" + name;
  std::vector<char*> argv = {executable.data()};
  Arguments copy = arguments;
  for (auto& argument : copy) argv.push_back(argument.data());
  argv.push_back(nullptr);
  ::execv(executable.c_str(), argv.data());
  return fail("cannot start " + executable);
}

/// A segment of the speaker log, read only if it is a regular file inside the device.
struct LogSegment {
  int descriptor = -1;
  struct stat status {};
  long overlong = 0;

  LogSegment() = default;
  explicit LogSegment(const char* devicePath) {
    descriptor = files::openDeviceFile(devicePath);
    if (descriptor >= 0 && (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))) close();
  }
  LogSegment(const LogSegment&) = delete;
  LogSegment& operator=(LogSegment&& other) noexcept {
    std::swap(descriptor, other.descriptor);
    std::swap(status, other.status);
    return *this;
  }
  ~LogSegment() { close(); }
  void close() {
    if (descriptor >= 0) ::close(descriptor);
    descriptor = -1;
  }
  bool sameFileAs(const LogSegment& other) const {
    return descriptor >= 0 && other.descriptor >= 0 && status.st_dev == other.status.st_dev &&
           status.st_ino == other.status.st_ino;
  }

  /// Calls `use` with each whole line; a last line still being written is left
  /// out, and so are lines too long to be sound records.
  template <typename Use>
  void forEachLine(Use use) {
    constexpr std::size_t kLongestLine = 64 * 1024;
    std::string pending;
    bool discarding = false;
    char buffer[65536];
    for (;;) {
      ssize_t got = ::read(descriptor, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return;
      std::string_view chunk(buffer, static_cast<std::size_t>(got));
      while (!chunk.empty()) {
        std::size_t end = chunk.find('\n');
        std::string_view part = chunk.substr(0, end);
        if (!discarding) pending.append(part);
        if (pending.size() > kLongestLine) {
          discarding = true;
          pending.clear();
        }
        if (end == std::string_view::npos) break;
        if (discarding) {
          ++overlong;
        } else {
          use(std::string_view(pending));
        }
        pending.clear();
        discarding = false;
        chunk.remove_prefix(end + 1);
      }
    }
  }
};

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

}  // namespace

int springboard(const Invocation& invocation) {
  Arguments words;
  if (invocation.has("--audio")) words = {"--audio", invocation.option("--audio")};
  return runHost("SpringBoard", words);
}

int settings(const Invocation& invocation) {
  // The Settings host takes the checked words in one form: VERB [--json] [--mail=ANSWER] [--share=ANSWER]
  // [--output=FILE] [--scale=N] [--at=SECONDS] [--share] [--full-page] -- WORDS.
  Arguments words = {invocation.command().name};
  if (invocation.has("--json")) words.push_back("--json");
  for (const char* option : {"--mail", "--share", "--output", "--scale", "--at", "--full-page"})
    if (invocation.has(option)) {
      std::string value = invocation.option(option);
      // A flag (screenshot's --share) goes over as its bare name.
      words.push_back(value.empty() && invocation.command().name == "screenshot" ? option : std::string(option) + "=" + value);
    }
  words.push_back("--");
  words.insert(words.end(), invocation.arguments.begin(), invocation.arguments.end());
  return runHost("Preferences", words);
}

int serve(const Invocation& invocation) {
  std::string port = invocation.option("--port", "0");
  char* end = nullptr;
  long number = std::strtol(port.c_str(), &end, 10);
  if (port.empty() || *end || number < 0 || number > 65535 || !std::isdigit(static_cast<unsigned char>(port[0])))
    return cli::wrongUse(invocation, "bad port \"" + port + "\": a whole number from 0 (any free port) to 65535");
  return runHost("orvane-serve", {"--port", std::to_string(number)});
}

int press(const Invocation& invocation) {
  const std::string& button = invocation.arguments[0];
  long count = invocation.arguments.size() == 2 ? std::strtol(invocation.arguments[1].c_str(), nullptr, 10) : 1;
  if (int status = requireDevice()) return status;
  pressing::Presser presser;
  if (!presser.connected()) return fail(presser.error());
  for (long i = 0; i < count; ++i) {
    auto steps = presser.press(button);
    if (!steps) return fail(presser.error());
    std::printf("volume %s: %d/16\n", button.c_str(), *steps);
  }
  return 0;
}

int status(const Invocation& invocation) {
  if (int status = requireDevice()) return status;
  pressing::Presser presser;
  if (invocation.has("--json")) {
    nlohmann::json state = {{"device", device::root()},
                            {"orvaneInstalled", package::isInstalled(device::root(), "com.quillmark.orvane")},
                            {"springboardRunning", presser.connected()}};
    std::printf("%s\n", state.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return presser.connected() ? 0 : 1;
  }
  if (!presser.connected()) return fail(presser.error());
  std::printf("SpringBoard is running on %s\n", device::root().c_str());
  return 0;
}

int log(const Invocation& invocation) {
  bool json = invocation.has("--json");
  if (int status = requireDevice()) return status;
  // The current segment first: if it is rotated meanwhile, both names show one file.
  LogSegment current(speaker::kLogPath), previous(speaker::kPreviousLogPath);
  if (previous.sameFileAs(current)) previous = LogSegment();
  long skipped = 0;
  for (LogSegment* segment : {&previous, &current}) {
    segment->forEachLine([&](std::string_view line) {
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
    skipped += segment->overlong;
  }
  std::fflush(stdout);
  if (skipped > 0) std::fprintf(stderr, "orvane-sim: %ld log lines are not sound records, left out\n", skipped);
  return 0;
}

}  // namespace commands
