#include <fmt/format.h>
#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>

#include "platform/audiotoolbox/Speaker.h"

// Sounds are uploaded into the server's sample cache once, then each press
// only asks the server to play the cached sample by name.
namespace speaker {
namespace {

struct Sample {
  std::uint32_t sound = 0;
  std::string name;
  // Held until the upload has been written.
  std::shared_ptr<const Clip> clip;
  bool uploaded = false;
  bool failed = false;
  bool playWhenUploaded = false;
  bool forgotten = false;
};

struct Server {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  // Set once the context is ready; the members above never change afterwards.
  std::atomic<bool> ready{false};
  // Guarded by the loop's lock.
  std::map<std::uint32_t, Sample> samples;
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
  sample.clip.reset();
  sample.uploaded = state == PA_STREAM_TERMINATED;
  sample.failed = !sample.uploaded;
  if (sample.forgotten) {
    if (sample.uploaded) removeCached(sample);
    server().samples.erase(sample.sound);
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

}  // namespace

std::string enableSystemOutput() {
  std::lock_guard guard(connectMutex);
  Server& output = server();
  if (output.ready) return "";
  if (output.loop) return "no sound server reachable: the connection was lost";
  if (std::string error = probeServer(); !error.empty()) return "no sound server reachable: " + error;

  pa_threaded_mainloop* loop = pa_threaded_mainloop_new();
  if (!loop) return "no sound server reachable: cannot make a main loop";
  pa_context* context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Orvane");
  if (!context || pa_threaded_mainloop_start(loop) < 0) {
    if (context) pa_context_unref(context);
    pa_threaded_mainloop_free(loop);
    return "no sound server reachable: cannot start a main loop";
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
    return "";
  }
  std::string error = pa_strerror(pa_context_errno(context));
  pa_context_set_state_callback(context, nullptr, nullptr);
  pa_context_disconnect(context);
  pa_threaded_mainloop_unlock(loop);
  pa_threaded_mainloop_stop(loop);
  pa_context_unref(context);
  pa_threaded_mainloop_free(loop);
  return "no sound server reachable: " + error;
}

namespace output {

void play(std::uint32_t sound, const std::shared_ptr<const Clip>& clip) {
  Server& output = server();
  if (!output.ready) return;
  pa_threaded_mainloop_lock(output.loop);
  auto [found, fresh] = output.samples.try_emplace(sound);
  Sample& sample = found->second;
  if (fresh) {
    sample.sound = sound;
    sample.name = fmt::format("orvane-{}-{}", getpid(), sound);
    sample.clip = clip;
    sample.playWhenUploaded = true;
    upload(sample);
  } else if (sample.uploaded) {
    playCached(sample);
  } else {
    sample.playWhenUploaded = true;
  }
  pa_threaded_mainloop_unlock(output.loop);
}

void forget(std::uint32_t sound) {
  Server& output = server();
  if (!output.ready) return;
  pa_threaded_mainloop_lock(output.loop);
  auto found = output.samples.find(sound);
  if (found != output.samples.end()) {
    Sample& sample = found->second;
    bool uploading = !sample.uploaded && !sample.failed;
    if (uploading) {
      sample.forgotten = true;
    } else {
      if (sample.uploaded) removeCached(sample);
      output.samples.erase(found);
    }
  }
  pa_threaded_mainloop_unlock(output.loop);
}

}  // namespace output
}  // namespace speaker
