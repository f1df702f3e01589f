#include "sim/common/Package.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

#include "platform/libc/Run.h"
#include "platform/libc/Spawn.h"

namespace package {

std::string executableDirectory() {
  char path[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string executable(path, static_cast<std::size_t>(length));
  return executable.substr(0, executable.rfind('/'));
}

std::string builtPackage() {
  if (const char* path = std::getenv("ORVANE_PACKAGE"); path && *path) return path;
  return executableDirectory() + "/../orvane.deb";
}

int run(const std::vector<std::string>& arguments, std::string* output, Errors errors) {
  if (!output) {
    libc::SpawnOptions options;
    options.lookup = libc::Lookup::SearchPath;
    if (errors == Errors::Discarded) options.errors = libc::Redirection::null();
    auto child = libc::spawn(arguments, options);
    auto ending = child ? libc::waitFor(*child) : child.error();
    return ending ? ending->exitStatus : -1;
  }
  auto ran = libc::run(arguments, errors == Errors::Discarded ? libc::ErrorStream::Discarded : libc::ErrorStream::Shown);
  if (!ran) return -1;
  *output += ran->output;
  return ran->status;
}

bool isInstalled(const std::string& root, const std::string& name) {
  std::string output;
  int status = run({"dpkg-query", "--admindir=" + root + "/var/lib/dpkg", "-W", "-f=${Status}", name}, &output, Errors::Discarded);
  return status == 0 && output == "install ok installed";
}

std::string install(const std::string& root, const std::string& debianPackage) {
  struct stat info {};
  if (::stat(debianPackage.c_str(), &info) != 0) return "no package at " + debianPackage + " (build it first)";
  std::string admin = root + "/var/lib/dpkg";
  for (const char* directory : {"/info", "/updates", "/triggers"}) ::mkdir((admin + directory).c_str(), 0755);
  for (const char* file : {"/status", "/available"})
    if (::stat((admin + file).c_str(), &info) != 0) std::ofstream(admin + file);
  std::vector<std::string> dpkg = {"dpkg", "--root=" + root, "--admindir=" + admin,
                                   "--log=" + root + "/var/log/dpkg.log", "--force-not-root"};
  auto with = [&](std::vector<std::string> more) {
    auto arguments = dpkg;
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  };
  if (run(with({"--add-architecture", "iphoneos-arm"})) != 0) return "dpkg could not add the device's architecture";
  std::string discarded;
  if (run(with({"--install", debianPackage}), &discarded) != 0) return "dpkg could not install " + debianPackage;
  return "";
}

}  // namespace package
