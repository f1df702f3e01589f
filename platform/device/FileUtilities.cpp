#include "platform/device/FileUtilities.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace files {
namespace {

std::string directoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

bool writeAll(int descriptor, std::string_view contents) {
  while (!contents.empty()) {
    ssize_t written = ::write(descriptor, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::optional<std::string> readWhole(const std::string& hostPath) {
  int descriptor = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return std::nullopt;
  struct stat info {};
  if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    return std::nullopt;
  }
  std::string contents;
  contents.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[16384];
  for (;;) {
    ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(descriptor);
      return std::nullopt;
    }
    if (got == 0) break;
    contents.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(descriptor);
  return contents;
}

bool writeAtomically(const std::string& hostPath, std::string_view contents, Durability durability) {
  std::string directory = directoryOf(hostPath);
  std::string name = hostPath.substr(directory.size() == 1 ? 1 : directory.size() + 1);
  std::string temporary = directory + "/." + name + ".XXXXXX";
  std::vector<char> pattern(temporary.begin(), temporary.end());
  pattern.push_back('\0');
  int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (descriptor < 0) return false;
  bool ok = ::fchmod(descriptor, 0644) == 0 && writeAll(descriptor, contents);
  if (ok && durability == Durability::Flushed) ok = ::fsync(descriptor) == 0;
  ok = ::close(descriptor) == 0 && ok;
  if (ok) ok = ::rename(pattern.data(), hostPath.c_str()) == 0;
  if (!ok) {
    ::unlink(pattern.data());
    return false;
  }
  if (durability == Durability::Flushed) {
    int directoryDescriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryDescriptor >= 0) {
      ::fsync(directoryDescriptor);
      ::close(directoryDescriptor);
    }
  }
  return true;
}

bool makeDirectories(const std::string& hostPath) {
  std::string partial;
  std::size_t position = 0;
  while (position != std::string::npos) {
    position = hostPath.find('/', position + 1);
    partial = hostPath.substr(0, position);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return ::stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace files
