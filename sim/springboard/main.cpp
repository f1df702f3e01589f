// SpringBoard: the home-screen process of the simulated device. It owns the
// volume buttons, runs the substrate loader at start-up, and handles presses
// that other processes make through its button socket.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/foundation/NSLog.h"
#include "platform/objc/message.h"
#include "platform/substrate/Loader.h"
#include "sim/common/PressChannel.h"
#include "sim/common/RunningSpringBoard.h"
#include "sim/springboard/VolumeControl.h"

namespace {

int stopPipe[2] = {-1, -1};

void requestStop(int) {
  char byte = 0;
  [[maybe_unused]] ssize_t ignored = ::write(stopPipe[1], &byte, 1);
}

int usage() {
  std::fprintf(stderr, "usage: SpringBoard [--audio system] [--detached]\n");
  return 2;
}

/// Says on standard output that SpringBoard takes presses, then lets go of
/// the output of whoever started it: a detached SpringBoard logs only to the
/// device's system log.
void reportReady() {
  std::fputs("ready\n", stdout);
  std::fflush(stdout);
  std::fflush(stderr);
  int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nothing >= 0) {
    ::dup2(nothing, STDOUT_FILENO);
    ::dup2(nothing, STDERR_FILENO);
    ::close(nothing);
  }
}

void writePidFile() {
  std::string path = device::hostPath(springboard::kPidFilePath);
  orvane::Result<void> written = files::makeDirectories(path.substr(0, path.rfind('/')));
  if (written) written = files::writeAtomically(path, std::to_string(::getpid()) + "\n", files::Durability::Unflushed);
  if (!written) NSLog("SpringBoard: cannot write %s: %s", springboard::kPidFilePath, std::strerror(written.error().code()));
}

void removePidFile() {
  auto contents = files::readDeviceFile(springboard::kPidFilePath, 64);
  if (contents && *contents == std::to_string(::getpid()) + "\n")
    ::unlink(files::Place(device::hostPath(springboard::kPidFilePath)).path().c_str());
}

std::string handle(VolumeControl* volumeControl, const std::string& request) {
  static const SEL up = sel_registerName("increaseVolume");
  static const SEL down = sel_registerName("decreaseVolume");
  if (request == "volume") return "volume " + std::to_string(volumeControl->volumeSteps());
  if (request != "up" && request != "down") return "unknown button \"" + request + "\"";
  try {
    speaker::ButtonPress pressed(request);
    // A press is an event of SpringBoard's run loop, which drains a pool after each.
    AutoreleasePool pool;
    objc_msgSend(volumeControl, request == "up" ? up : down);
  } catch (const std::exception& error) {
    NSLog("SpringBoard: %s", error.what());
  }
  int steps = volumeControl->volumeSteps();
  std::printf("[SpringBoard] volume %-4s %2d/%d\n", request.c_str(), steps, VolumeControl::maximumSteps);
  std::fflush(stdout);
  return "volume " + std::to_string(steps);
}

}  // namespace

int main(int argc, char** argv) {
  bool audible = false;
  bool detached = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--audio" && i + 1 < argc && std::string(argv[i + 1]) == "system") {
      audible = true;
      ++i;
    } else if (argument == "--detached") {
      detached = true;
    } else {
      return usage();
    }
  }
  device::setProcessName("SpringBoard");
  // Its own session: Ctrl-C in the terminal that started it, or that terminal closing, does not reach it.
  if (detached) ::setsid();
  std::string root = device::root();
  if (!device::isDevice(root)) {
    std::fprintf(stderr, "SpringBoard: %s is not a device (create one with: %s)\n", root.c_str(),
                 device::simulatorCommand("init").c_str());
    return 1;
  }
  auto listening = pressing::listen();
  // The socket of a SpringBoard killed a moment ago is free once it has ended.
  if (!listening && listening.error().code() == EADDRINUSE) {
    auto holder = springboard::runningPid();
    if (holder && !*holder) listening = pressing::listen();
  }
  if (!listening) {
    std::fprintf(stderr, "SpringBoard: %s\n", listening.error().message().c_str());
    return 1;
  }
  int listener = *listening;
  if (audible) {
    if (auto enabled = speaker::enableSystemOutput(); !enabled)
      NSLog("SpringBoard: sounds stay silent: %s", enabled.error().message().c_str());
  }

  Class volumeControlClass = VolumeControl::class_();
  substrate::loadExtensions({"SpringBoard", {"com.apple.springboard", "com.apple.UIKit", "com.apple.Foundation",
                                             "com.apple.CoreFoundation"}});
  Retained<NSObject> volumeControlObject = objc_createObject(volumeControlClass);
  auto* volumeControl = static_cast<VolumeControl*>(volumeControlObject.get());

  if (::pipe2(stopPipe, O_CLOEXEC) != 0) {
    std::fprintf(stderr, "SpringBoard: cannot make a pipe: %s\n", std::strerror(errno));
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  writePidFile();
  std::printf("SpringBoard is running on %s (volume %d/%d); press Ctrl-C to stop.\n", root.c_str(),
              volumeControl->volumeSteps(), VolumeControl::maximumSteps);
  std::fflush(stdout);
  if (detached) reportReady();

  std::vector<pollfd> watched = {{stopPipe[0], POLLIN, 0}, {listener, POLLIN, 0}};
  for (;;) {
    if (::poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (watched[0].revents) break;
    if (watched[1].revents & POLLIN) {
      int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection >= 0) watched.push_back({connection, POLLIN, 0});
    }
    for (std::size_t i = 2; i < watched.size();) {
      if (!watched[i].revents) {
        ++i;
        continue;
      }
      std::string request = pressing::receiveRequest(watched[i].fd);
      if (request.empty() || !pressing::sendReply(watched[i].fd, handle(volumeControl, request))) {
        ::close(watched[i].fd);
        watched.erase(watched.begin() + static_cast<long>(i));
        continue;
      }
      ++i;
    }
  }
  ::close(listener);
  removePidFile();
  std::printf("SpringBoard stopped.\n");
  return 0;
}
