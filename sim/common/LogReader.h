#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/result/Result.h"

// Reads a device log kept in two segments (platform/device/LogSegment.h):
// whole lines, the previous segment first, and on request the lines written
// afterwards, across rotations and clears. Only regular files inside the
// device are read.
namespace logs {

using LineHandler = std::function<void(std::string_view line)>;

class LogReader {
 public:
  LogReader(const char* devicePath, const char* previousDevicePath);
  ~LogReader();
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;

  /// Calls `use` with each whole line there now. A last line still being
  /// written is left out, and so are lines longer than kLongestLine.
  void read(const LineHandler& use);
  /// The whole lines written since this reader last read. A log emptied in
  /// place since, even if written again past where it stood, is read from its start.
  void readNew(const LineHandler& use);
  /// Here: after what this reader has read already.
  enum class From { Beginning, End, Here };
  /// The same as read() (from the end: nothing of what is there now; from
  /// here: nothing read before), then each line written later, as it comes,
  /// until `keepGoing` says no (it is asked at least twice a second). One
  /// thread at a time may use a reader.
  void follow(const LineHandler& use, const std::function<bool()>& keepGoing, From from = From::Beginning);

  /// How many lines were too long and left out so far.
  long overlong() const { return overlong_; }

  static constexpr std::size_t kLongestLine = 64 * 1024;
  /// The bytes last read that are read again before reading on, to tell a log
  /// still there from one emptied and written again.
  static constexpr std::size_t kRemembered = 64;

 private:
  struct Segment {
    int descriptor = -1;
    struct stat status {};
    off_t offset = 0;
    /// The last bytes read, up to kRemembered, ending at `offset`.
    std::string tail;
    std::string pending;
    bool discarding = false;
  };
  /// An error saying why when the segment is not there or not a regular file.
  orvane::Result<void> open(Segment& segment, const char* devicePath);
  void close(Segment& segment);
  /// Reads to the end of what is there, from its start if the bytes last read
  /// are no longer where they were; a part line stays pending.
  void readLines(Segment& segment, const LineHandler& use);

  const char* path_;
  const char* previousPath_;
  Segment current_;
  long overlong_ = 0;
};

}  // namespace logs
