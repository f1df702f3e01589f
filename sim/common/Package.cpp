#include "sim/common/Package.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

extern char** environ;

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
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int pipeEnds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output) {
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  }
  if (errors == Errors::Discarded) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (output) {
    ::close(pipeEnds[1]);
    if (!failed) {
      char buffer[4096];
      ssize_t got;
      while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) output->append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
  }
  if (failed) return -1;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
