#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

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
  enum class From { Beginning, End };
  /// The same (or, from the end, nothing of what is there now), then each line
  /// written later, as it comes, until `keepGoing` says no (it is asked at
  /// least twice a second). Any thread may follow a log of its own reader.
  void follow(const LineHandler& use, const std::function<bool()>& keepGoing, From from = From::Beginning);

  /// How many lines were too long and left out so far.
  long overlong() const { return overlong_; }

  static constexpr std::size_t kLongestLine = 64 * 1024;

 private:
  struct Segment {
    int descriptor = -1;
    struct stat status {};
    std::string pending;
    bool discarding = false;
  };
  bool open(Segment& segment, const char* devicePath);
  void close(Segment& segment);
  /// Reads to the end of what is there; a part line stays pending.
  void readLines(Segment& segment, const LineHandler& use);
  /// Starts over if the file was emptied, and moves on to a new current segment.
  void catchUp(const LineHandler& use);

  const char* path_;
  const char* previousPath_;
  Segment current_;
  long overlong_ = 0;
};

}  // namespace logs
