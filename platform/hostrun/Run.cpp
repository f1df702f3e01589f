#include "platform/hostrun/Run.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/libc/Spawn.h"

using orvane::Error;
using orvane::Result;

namespace hostrun {
namespace {

/// A descriptor of ours, closed on every way out.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  Descriptor(Descriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(descriptor_, other.descriptor_);
    return *this;
  }
  ~Descriptor() { reset(); }

  int get() const { return descriptor_; }
  void reset() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
  }

 private:
  int descriptor_ = -1;
};

/// Everything left to read from the descriptor, from where it stands.
bool readAll(int descriptor, std::string& text) {
  char buffer[16384];
  for (;;) {
    ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace

Result<RunOutput> run(const std::vector<std::string>& arguments, ErrorStream errors) {
  if (arguments.empty()) return Error("no program to run");
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return Error("cannot make a pipe for " + arguments[0], errno);
  Descriptor reading(ends[0]), writing(ends[1]);
  // Errors go to an anonymous file read once the program has ended: two pipes
  // read one after the other could each wait for the other.
  Descriptor errorFile;
  if (errors == ErrorStream::Captured) {
    errorFile = Descriptor(::memfd_create("errors", MFD_CLOEXEC));
    if (errorFile.get() < 0) return Error("cannot make a file for the errors of " + arguments[0], errno);
  }
  libc::SpawnOptions options;
  options.lookup = libc::Lookup::SearchPath;
  options.output = libc::Redirection::to(writing.get());
  if (errors == ErrorStream::Discarded) options.errors = libc::Redirection::null();
  if (errors == ErrorStream::Captured) options.errors = libc::Redirection::to(errorFile.get());
  auto child = libc::spawn(arguments, options);
  if (!child) return child.error();
  writing.reset();
  RunOutput result;
  bool read = readAll(reading.get(), result.output);
  auto ending = libc::waitFor(*child);
  if (!ending) return ending.error();
  if (ending->signal) return Error(arguments[0] + " was ended by signal " + std::to_string(ending->signal));
  if (!read) return Error("cannot read the output of " + arguments[0], errno);
  if (errors == ErrorStream::Captured && (::lseek(errorFile.get(), 0, SEEK_SET) != 0 || !readAll(errorFile.get(), result.errors)))
    return Error("cannot read the errors of " + arguments[0], errno);
  result.status = ending->exitStatus;
  return result;
}

}  // namespace hostrun
