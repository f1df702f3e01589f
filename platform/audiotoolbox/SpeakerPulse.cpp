#include <fmt/format.h>
#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "platform/audiotoolbox/Speaker.h"

// Each clip is uploaded into the server's sample cache on its first play and
// stays there while the clip lives (decoded clips live as long as their file
// is unchanged), so a press only asks the server to play a cached sample.
namespace speaker {
namespace {

struct Sample {
  std::uint64_t serial = 0;
  std::string name;
  // Held until the upload has been written.
  std::shared_ptr<const Clip> clip;
  bool uploaded = false;
  bool failed = false;
  bool playWhenUploaded = false;
  bool released = false;
};

struct Server {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  // Set once the context is ready; the members above never change afterwards.
  std::atomic<bool> ready{false};
  // Guarded by the loop's lock.
  std::map<std::uint64_t, Sample> samples;
};

Server& server() {
  static Server* instance = new Server;
  return *instance;
}

std::mutex connectMutex;

void playCached(const Sample& sample) {
  if (pa_operation* operation =
          pa_context_play_sample(server().context, sample.name.c_str(), nullptr, PA_VOLUME_NORM, nullptr, nullptr))
    pa_operation_unref(operation);
}

void removeCached(const Sample& sample) {
  if (pa_operation* operation = pa_context_remove_sample(server().context, sample.name.c_str(), nullptr, nullptr))
    pa_operation_unref(operation);
}

void onUploadState(pa_stream* stream, void* userdata) {
  auto& sample = *static_cast<Sample*>(userdata);
  pa_stream_state_t state = pa_stream_get_state(stream);
  if (state == PA_STREAM_READY) {
    pa_stream_write(stream, sample.clip->samples.data(), sample.clip->samples.size() * sizeof(float), nullptr, 0,
                    PA_SEEK_RELATIVE);
    pa_stream_finish_upload(stream);
    return;
  }
  if (state != PA_STREAM_TERMINATED && state != PA_STREAM_FAILED) return;
  pa_stream_set_state_callback(stream, nullptr, nullptr);
  pa_stream_unref(stream);
  // Let go of last: if this was the clip's last holder, its release erases the sample.
  std::shared_ptr<const Clip> clip = std::move(sample.clip);
  sample.uploaded = state == PA_STREAM_TERMINATED;
  sample.failed = !sample.uploaded;
  if (sample.released) {
    if (sample.uploaded) removeCached(sample);
    server().samples.erase(sample.serial);
  } else if (sample.uploaded && sample.playWhenUploaded) {
    playCached(sample);
  }
}

void upload(Sample& sample) {
  const Clip& clip = *sample.clip;
  pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(clip.rate),
                      static_cast<std::uint8_t>(clip.channels)};
  pa_stream* stream = nullptr;
  if (pa_sample_spec_valid(&spec) && clip.channels <= static_cast<int>(PA_CHANNELS_MAX) && !clip.samples.empty())
    stream = pa_stream_new(server().context, sample.name.c_str(), &spec, nullptr);
  if (!stream) {
    sample.failed = true;
    sample.clip.reset();
    return;
  }
  pa_stream_set_state_callback(stream, onUploadState, &sample);
  if (pa_stream_connect_upload(stream, clip.samples.size() * sizeof(float)) < 0) {
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_unref(stream);
    sample.failed = true;
    sample.clip.reset();
  }
}

void onContextState(pa_context* context, void* userdata) {
  pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) server().ready = false;
  pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
}

// Connects once on this thread, so that without a server no main loop thread is ever started.
std::string probeServer() {
  pa_mainloop* loop = pa_mainloop_new();
  if (!loop) return "cannot make a main loop";
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Orvane");
  std::string error = context ? "" : "cannot make a context";
  if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    for (;;) {
      pa_context_state_t state = pa_context_get_state(context);
      if (state == PA_CONTEXT_READY) break;
      if (!PA_CONTEXT_IS_GOOD(state) || pa_mainloop_iterate(loop, 1, nullptr) < 0) {
        error = pa_strerror(pa_context_errno(context));
        break;
      }
    }
    pa_context_disconnect(context);
  } else if (context) {
    error = pa_strerror(pa_context_errno(context));
  }
  if (context) pa_context_unref(context);
  pa_mainloop_free(loop);
  return error;
}

void signalLoop(pa_context*, int, void*) { pa_threaded_mainloop_signal(server().loop, 0); }

// The server's sample cache outlives this process: take this process's samples out of it.
void removeSamplesAtExit() {
  Server& output = server();
  pa_threaded_mainloop_lock(output.loop);
  std::vector<pa_operation*> removals;
  for (auto& [serial, sample] : output.samples) {
    if (!sample.uploaded || !output.ready) continue;
    if (pa_operation* operation =
            pa_context_remove_sample(output.context, sample.name.c_str(), signalLoop, nullptr))
      removals.push_back(operation);
  }
  for (pa_operation* operation : removals) {
    while (output.ready && pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
      pa_threaded_mainloop_wait(output.loop);
    pa_operation_unref(operation);
  }
  pa_threaded_mainloop_unlock(output.loop);
}

}  // namespace

orvane::Result<void> enableSystemOutput() {
  std::lock_guard guard(connectMutex);
  Server& output = server();
  auto unreachable = [](const std::string& why) { return orvane::Error("no sound server reachable: " + why); };
  if (output.ready) return orvane::success();
  if (output.loop) return unreachable("the connection was lost");
  if (std::string error = probeServer(); !error.empty()) return unreachable(error);

  pa_threaded_mainloop* loop = pa_threaded_mainloop_new();
  if (!loop) return unreachable("cannot make a main loop");
  pa_context* context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Orvane");
  if (!context || pa_threaded_mainloop_start(loop) < 0) {
    if (context) pa_context_unref(context);
    pa_threaded_mainloop_free(loop);
    return unreachable("cannot start a main loop");
  }
  pa_threaded_mainloop_lock(loop);
  pa_context_set_state_callback(context, onContextState, loop);
  pa_context_state_t state = PA_CONTEXT_FAILED;
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    for (;;) {
      state = pa_context_get_state(context);
      if (state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state)) break;
      pa_threaded_mainloop_wait(loop);
    }
  }
  if (state == PA_CONTEXT_READY) {
    output.loop = loop;
    output.context = context;
    output.ready = true;
    pa_threaded_mainloop_unlock(loop);
    std::atexit(removeSamplesAtExit);
    return orvane::success();
  }
  std::string error = pa_strerror(pa_context_errno(context));
  pa_context_set_state_callback(context, nullptr, nullptr);
  pa_context_disconnect(context);
  pa_threaded_mainloop_unlock(loop);
  pa_threaded_mainloop_stop(loop);
  pa_context_unref(context);
  pa_threaded_mainloop_free(loop);
  return unreachable(error);
}

namespace output {

void play(const std::shared_ptr<const Clip>& clip) {
  Server& output = server();
  if (!output.ready) return;
  pa_threaded_mainloop_lock(output.loop);
  auto [found, fresh] = output.samples.try_emplace(clip->serial);
  Sample& sample = found->second;
  if (fresh) {
    sample.serial = clip->serial;
    sample.name = fmt::format("orvane-{}-{}", getpid(), clip->serial);
    sample.clip = clip;
    sample.playWhenUploaded = true;
    upload(sample);
  } else if (sample.uploaded) {
    playCached(sample);
  } else if (!sample.failed) {
    sample.playWhenUploaded = true;
  }
  pa_threaded_mainloop_unlock(output.loop);
}

void release(std::uint64_t serial) {
  Server& output = server();
  if (!output.ready) return;
  // A clip may go on the loop's own thread, which holds the lock already.
  bool inLoop = pa_threaded_mainloop_in_thread(output.loop);
  if (!inLoop) pa_threaded_mainloop_lock(output.loop);
  auto found = output.samples.find(serial);
  if (found != output.samples.end()) {
    Sample& sample = found->second;
    if (!sample.uploaded && !sample.failed) {
      sample.released = true;
    } else {
      if (sample.uploaded) removeCached(sample);
      output.samples.erase(found);
    }
  }
  if (!inLoop) pa_threaded_mainloop_unlock(output.loop);
}

}  // namespace output
}  // namespace speaker
