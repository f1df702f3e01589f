#include "sim/common/LogReader.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"

namespace logs {
namespace {

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

LogReader::LogReader(const char* devicePath, const char* previousDevicePath)
    : path_(devicePath), previousPath_(previousDevicePath) {}

LogReader::~LogReader() { close(current_); }

orvane::Result<void> LogReader::open(Segment& segment, const char* devicePath) {
  close(segment);
  segment.descriptor = files::openDeviceFile(devicePath);
  if (segment.descriptor < 0) {
    int error = errno;
    return orvane::Error(std::string("cannot open ") + devicePath + ": " + std::strerror(error), error);
  }
  if (::fstat(segment.descriptor, &segment.status) != 0) {
    int error = errno;
    close(segment);
    return orvane::Error(std::string("cannot read ") + devicePath + ": " + std::strerror(error), error);
  }
  if (!S_ISREG(segment.status.st_mode)) {
    close(segment);
    return orvane::Error(std::string(devicePath) + " is not a regular file");
  }
  return orvane::success();
}

void LogReader::close(Segment& segment) {
  if (segment.descriptor >= 0) ::close(segment.descriptor);
  segment = Segment();
}

void LogReader::readLines(Segment& segment, const LineHandler& use) {
  if (segment.descriptor < 0) return;
  char buffer[65536];
  for (;;) {
    // The bytes last read come again first, in the same read as what follows them.
    std::size_t kept = segment.tail.size();
    ssize_t got = ::pread(segment.descriptor, buffer, sizeof buffer, segment.offset - static_cast<off_t>(kept));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return;
    std::string_view bytes(buffer, static_cast<std::size_t>(got));
    if (bytes.size() < kept || bytes.substr(0, kept) != segment.tail) {
      // Emptied in place (log --clear), perhaps written again since: all there is now is new.
      segment.offset = 0;
      segment.tail.clear();
      segment.pending.clear();
      segment.discarding = false;
      continue;
    }
    std::string_view chunk = bytes.substr(kept);
    if (chunk.empty()) return;
    segment.offset += static_cast<off_t>(chunk.size());
    segment.tail = bytes.substr(bytes.size() > kRemembered ? bytes.size() - kRemembered : 0);
    while (!chunk.empty()) {
      std::size_t end = chunk.find('\n');
      if (!segment.discarding) segment.pending.append(chunk.substr(0, end));
      if (segment.pending.size() > kLongestLine) {
        segment.discarding = true;
        segment.pending.clear();
      }
      if (end == std::string_view::npos) break;
      if (segment.discarding) ++overlong_;
      else use(segment.pending);
      segment.pending.clear();
      segment.discarding = false;
      chunk.remove_prefix(end + 1);
    }
  }
}

void LogReader::read(const LineHandler& use) {
  // The current segment first: if it is rotated meanwhile, both names show one file.
  // A segment not there (yet) has no lines.
  [[maybe_unused]] auto opened = open(current_, path_);
  Segment previous;
  if (open(previous, previousPath_) && current_.descriptor >= 0 && sameFile(previous.status, current_.status))
    close(previous);
  readLines(previous, use);
  close(previous);
  readLines(current_, use);
}

void LogReader::readNew(const LineHandler& use) {
  readLines(current_, use);
  Segment named;
  if (!open(named, path_)) return;
  if (current_.descriptor >= 0 && sameFile(named.status, current_.status)) {
    close(named);
    return;
  }
  // Rotated: the rest of the old segment, a whole segment in between if the
  // log was rotated twice meanwhile, then the new one from its start.
  readLines(current_, use);
  Segment between;
  if (open(between, previousPath_) && current_.descriptor >= 0 && !sameFile(between.status, current_.status) &&
      !sameFile(between.status, named.status))
    readLines(between, use);
  close(between);
  close(current_);
  current_ = named;
  readLines(current_, use);
}

void LogReader::follow(const LineHandler& use, const std::function<bool()>& keepGoing, From from) {
  if (from == From::End) read([](std::string_view) {});
  else if (from == From::Beginning) read(use);
  std::string directory = device::hostPath(path_);
  directory.resize(directory.rfind('/'));
  int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  bool watching = false;
  while (keepGoing()) {
    // The directory may only come with the first line; until then, and without inotify, look twice a second.
    if (watcher >= 0 && !watching)
      watching = ::inotify_add_watch(watcher, directory.c_str(),
                                     IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ATTRIB) >= 0;
    // Read after the watch is set, so that nothing written before it waits for the time-out.
    readNew(use);
    pollfd watched{watcher, POLLIN, 0};
    if (::poll(&watched, watcher >= 0 ? 1 : 0, 500) > 0) {
      char events[4096];
      while (::read(watcher, events, sizeof events) > 0) {
      }
    }
  }
  if (watcher >= 0) ::close(watcher);
}

}  // namespace logs
