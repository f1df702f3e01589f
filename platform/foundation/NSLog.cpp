#include "platform/foundation/NSLog.h"

#include <fmt/format.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/device/Device.h"
#include "platform/device/LogSegment.h"

namespace foundation {
namespace {

std::atomic<long long> segmentBytes{kSystemLogSegmentBytes};

/// Appends the message with its control characters escaped.
void appendEscaped(std::string& line, std::string_view message) {
  for (char character : message) {
    auto byte = static_cast<unsigned char>(character);
    if (character == '\n') line += "\\n";
    else if (character == '\r') line += "\\r";
    else if (character == '\t') line += "\\t";
    else if (character == '\\') line += "\\\\";
    else if (byte < 0x20 || byte == 0x7F) line += fmt::format("\\x{:02x}", byte);
    else line += character;
  }
}

}  // namespace

void setSystemLogSegmentBytes(long long bytes) { segmentBytes = bytes; }

std::string systemLogLine(std::string_view message) {
  std::string line = fmt::format("{} {}[{}]: ", files::logTimestamp(), device::processName(), ::getpid());
  if (message.size() > kLongestLogMessage) {
    std::size_t cut = kLongestLogMessage;
    // Never in the middle of a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80) --cut;
    appendEscaped(line, message.substr(0, cut));
    line += "\xE2\x80\xA6";
  } else {
    appendEscaped(line, message);
  }
  line += '\n';
  return line;
}

void logMessage(std::string_view message) {
  std::string line = systemLogLine(message);
  // The message still reaches standard error when the system log cannot be written.
  [[maybe_unused]] auto logged = files::appendLogRecord(kSystemLogPath, kPreviousSystemLogPath, segmentBytes, line);
  // Standard error gets the message alone, as the process's own output.
  std::string shown(message);
  shown += '\n';
  std::fputs(shown.c_str(), stderr);
}

}  // namespace foundation
