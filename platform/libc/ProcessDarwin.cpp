#include <crt_externs.h>
#include <unistd.h>

#include "platform/libc/Process.h"

std::string libc::localPath(const std::string& devicePath) { return devicePath; }

std::vector<std::string> libc::localCommand(const std::string& devicePath) { return {devicePath}; }

libc::WritePath::WritePath(const std::string& devicePath) : path_(devicePath) {}

libc::WritePath::~WritePath() {
  if (folder_ >= 0) ::close(folder_);
}

// A library has no `environ` of its own on Darwin; the loader hands it out.
char** libc::environment() { return *_NSGetEnviron(); }
