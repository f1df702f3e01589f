#pragma once

#include <string_view>

#include "platform/foundation/NSString.h"

namespace foundation {

/// The device's system log: one line per NSLog call, "TIME PROCESS[PID]: MESSAGE",
/// kept in two segments as the speaker's log is.
inline constexpr const char* kSystemLogPath = "/var/log/syslog";
inline constexpr const char* kPreviousSystemLogPath = "/var/log/syslog.1";
inline constexpr long long kSystemLogSegmentBytes = 1 << 20;
/// Changes the segment size of this process (tests).
void setSystemLogSegmentBytes(long long bytes);

/// The longest message a line keeps; the rest is cut off, marked with "…".
inline constexpr std::size_t kLongestLogMessage = 16 * 1024;

/// The line NSLog writes for a message: line breaks and other control
/// characters become escapes, so that a call is always one line.
std::string systemLogLine(std::string_view message);

/// Writes the message to the system log and to standard error.
void logMessage(std::string_view message);

}  // namespace foundation

/// Formats as stringWithFormat does and logs the result (foundation::logMessage).
template <class... Arguments>
void NSLog(std::string_view format, const Arguments&... arguments) {
  foundation::logMessage(foundation::format(format, {foundation::FormatArgument(arguments)...}));
}
