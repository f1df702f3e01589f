#include "platform/audiotoolbox/Speaker.h"

namespace speaker {

orvane::Result<void> enableSystemOutput() {
  return orvane::Error("no sound server reachable: built without PulseAudio");
}

namespace output {
void play(const std::shared_ptr<const Clip>&) {}
void release(std::uint64_t) {}
}  // namespace output

}  // namespace speaker
