#include "sim/serve/Server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "contract/Orvane.h"
#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/device/LogSegment.h"
#include "platform/foundation/NSTimer.h"
#include "platform/libc/Spawn.h"
#include "platform/objc/runtime.h"
#include "platform/propertylist/PropertyListFormat.h"
#include "sim/common/PressChannel.h"
#include "sim/common/RunningSpringBoard.h"
#include "sim/serve/Events.h"
#include "sim/serve/Front.h"
#include "sim/serve/PageAssets.h"
#include "sim/serve/Requests.h"
#include "sim/serve/Screen.h"
#include "sim/serve/SharedSpringBoard.h"
#include "sim/serve/SpeakerFeed.h"

namespace serve {

namespace {

/// The themes stored for the two buttons, by key: a pick in Settings shows as a change here.
std::map<std::string, std::string> storedThemes() {
  constexpr std::size_t kLargest = 1u << 20;
  std::map<std::string, std::string> themes;
  auto bytes = files::readDeviceFile(std::string(orvane::contract::preferencesPath), kLargest);
  if (!bytes) return themes;
  auto parsed = foundation::parsePropertyList(*bytes, {.maxBytes = kLargest, .maxExpandedBytes = kLargest});
  if (!parsed.value || parsed.value->type != foundation::PropertyListValue::Type::Dictionary) return themes;
  const foundation::PropertyListValue& stored = *parsed.value;
  for (std::size_t i = 0; i < stored.keys.size(); ++i) {
    bool theme = stored.keys[i] == orvane::contract::increaseSoundKey.view() ||
                 stored.keys[i] == orvane::contract::decreaseSoundKey.view();
    if (theme && stored.item(i).type == foundation::PropertyListValue::Type::String)
      themes[stored.keys[i]] = stored.item(i).text;
  }
  return themes;
}

constexpr int kMaximumVolume = 16;
constexpr int kMostStreams = 24;
constexpr auto kMainThreadAnswer = std::chrono::seconds(20);
constexpr double kSettleSeconds = 1.2, kSettleStep = 0.1;

std::atomic<bool> stopRequested{false};

void requestStop(int) { stopRequested = true; }

std::string jsonText(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

/// SpringBoard's buttons, reached from any thread; reconnects when SpringBoard came back.
class SpringBoardLink {
 public:
  orvane::Result<int> press(const std::string& button) {
    std::lock_guard lock(mutex_);
    orvane::Result<int> steps = orvane::Error("");
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!presser_) {
        auto connected = pressing::Presser::connect();
        if (!connected) return connected.error();
        presser_.emplace(std::move(*connected));
      }
      steps = button == "volume" ? presser_->volume() : presser_->press(button);
      if (steps) return steps;
      presser_.reset();
    }
    return steps;
  }

 private:
  std::mutex mutex_;
  std::optional<pressing::Presser> presser_;
};

/// Work for the app's main thread, where the Settings app lives.
class MainQueue {
 public:
  void post(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;  // dropped: a caller waiting on it hears at once
      tasks_.push_back(std::move(task));
    }
    changed_.notify_one();
  }
  /// Drops what is waiting and whatever comes later: the app is going away.
  void close() {
    std::deque<std::function<void()>> dropped;
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(tasks_);
  }
  /// Runs on the main thread and waits for the result; none if the main thread did not answer in time.
  template <typename Result>
  std::optional<Result> call(std::function<Result()> work) {
    auto promise = std::make_shared<std::promise<Result>>();
    auto future = promise->get_future();
    post([promise, work = std::move(work)] { promise->set_value(work()); });
    if (future.wait_for(kMainThreadAnswer) != std::future_status::ready) return std::nullopt;
    try {
      return future.get();
    } catch (const std::future_error&) {
      return std::nullopt;  // dropped as the server stops
    }
  }
  /// Runs the tasks posted, waiting for one at most `waitMs`.
  void runFor(int waitMs) {
    std::deque<std::function<void()>> due;
    {
      std::unique_lock lock(mutex_);
      changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return !tasks_.empty() || wake_; });
      due.swap(tasks_);
      wake_ = false;
    }
    for (auto& task : due) {
      AutoreleasePool pool;
      task();
    }
  }
  void wake() {
    {
      std::lock_guard lock(mutex_);
      wake_ = true;
    }
    changed_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> tasks_;
  bool wake_ = false;
  bool closed_ = false;
};

/// What changes a file's identity or contents, as seen from outside.
std::string fingerprint(const std::string& hostPath) {
  struct stat status {};
  if (::stat(hostPath.c_str(), &status) != 0) return "-";
  return std::to_string(status.st_ino) + ":" + std::to_string(status.st_size) + ":" +
         std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec);
}

class WebView {
 public:
  WebView(const Options& options) : options_(options), feed_(hub_) {}

  int run();

 private:
  /// The token, the device and SpringBoard; an exit status other than 0 when serving cannot start.
  int prepare();
  /// Publishes the screen as the Settings app shows it now (main thread).
  void keepScreen();
  /// Limits, headers and the admission of every request.
  void configureServer();
  /// The page, its assets, the screen, the sounds and the event stream.
  void pageRoutes();
  /// What a page asks the device to do: presses, the ringer, clearing the log, taps.
  void actionRoutes();
  /// Listens on the loopback port asked for and stops on SIGINT and SIGTERM; the port, or 0 or less.
  int listen();
  /// Serves until asked to stop, running the Settings app on this thread, then stops the helpers.
  void runMainLoop(int port);
  void publishState(std::optional<int> volume, bool running);
  /// Asks SpringBoard for the volume and publishes the state with it.
  void refreshState();
  void watchDevice();
  bool admitted(const httplib::Request& request, httplib::Response& response);
  void answer(httplib::Response& response, int status, const std::string& message, nlohmann::json extra = {});

  Options options_;
  Policy policy_;
  EventHub hub_;
  SpeakerFeed feed_;
  SpringBoardLink springboard_;
  SharedSpringBoard springboardUse_;
  MainQueue main_;
  Front server_{FrontLimits{.workers = kMostStreams + 8}};
  std::atomic<int> streams_{0};
  std::atomic<bool> outsideChange_{false};

  std::mutex stateMutex_;
  nlohmann::json state_;
  std::shared_ptr<const std::string> screenJson_, screenPicture_;
  double settleUntil_ = 0;  // the main thread's
  long long screenVersion_ = 0;
  Screen* screen_ = nullptr;  // while run() runs
};

void WebView::publishState(std::optional<int> volume, bool running) {
  nlohmann::json state = {{"springboard", running},
                          {"volume", volume ? nlohmann::json(*volume) : nlohmann::json(nullptr)},
                          {"maximumVolume", kMaximumVolume},
                          {"ringer", device::setting("Ringer").value_or("ring")}};
  {
    std::lock_guard lock(stateMutex_);
    if (state == state_) return;
    state_ = state;
  }
  hub_.publish("state", jsonText(state));
}

void WebView::refreshState() {
  auto volume = springboard_.press("volume");
  publishState(volume ? std::optional(*volume) : std::nullopt, volume.has_value());
}

void WebView::watchDevice() {
  std::vector<std::string> watched = {
      device::hostPath(orvane::contract::preferencesPath),
      device::settingsFile(device::root()),
      device::hostPath(orvane::contract::soundFolder),
  };
  std::string last;
  while (!stopRequested) {
    refreshState();
    std::string now;
    for (auto& path : watched) now += fingerprint(path) + ";";
    if (now != last) {
      last = now;
      outsideChange_ = true;
      main_.wake();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

void WebView::answer(httplib::Response& response, int status, const std::string& message, nlohmann::json extra) {
  response.status = status;
  if (!extra.is_object()) extra = nlohmann::json::object();
  extra["message"] = message;
  response.set_content(jsonText(extra) + "\n", "application/json");
}

bool WebView::admitted(const httplib::Request& request, httplib::Response& response) {
  RequestFacts facts;
  facts.method = request.method;
  facts.path = request.path;
  auto header = [&](const char* name) -> std::optional<std::string> {
    if (!request.has_header(name)) return std::nullopt;
    return request.get_header_value(name);
  };
  facts.host = header("Host");
  facts.origin = header("Origin");
  facts.fetchSite = header("Sec-Fetch-Site");
  facts.token = request.has_param("token") ? std::optional(request.get_param_value("token")) : header("X-Orvane-Token");
  facts.contentLength = header("Content-Length");
  facts.contentType = header("Content-Type");
  Verdict verdict = admit(facts, policy_);
  if (verdict) return true;
  response.status = verdict.status;
  response.set_header("Connection", "close");
  response.set_content("orvane-sim serve: " + verdict.reason + "\n", "text/plain; charset=utf-8");
  return false;
}

int WebView::run() {
  if (int status = prepare()) return status;
  // What the Settings app leaves to the autorelease pool outside a task goes when the server stops.
  AutoreleasePool outermost;
  Screen screen("Orvane");
  if (!screen.loaded())
    std::fprintf(stderr, "orvane-sim: serve: the Settings page cannot be shown: %s\n",
                 screen.loaded().error().message().c_str());
  screen_ = &screen;
  keepScreen();
  configureServer();
  pageRoutes();
  actionRoutes();
  int port = listen();
  if (port <= 0) return 1;
  runMainLoop(port);
  screen_ = nullptr;
  if (springboardUse_.leave()) std::printf("SpringBoard stopped.\n");
  return 0;
}

int WebView::prepare() {
  auto token = newToken();
  if (!token) {
    std::fprintf(stderr, "orvane-sim: serve: %s\n", token.error().message().c_str());
    return 1;
  }
  policy_.token = *token;
  if (!device::isDevice(device::root())) {
    std::fprintf(stderr, "orvane-sim: %s is not a device (create one with: %s)\n", device::root().c_str(),
                 device::simulatorCommand("init").c_str());
    return 1;
  }
  if (auto running = springboardUse_.join(); !running)
    std::fprintf(stderr, "orvane-sim: serve: %s\n", running.error().message().c_str());
  return 0;
}

void WebView::keepScreen() {
  Screen& screen = *screen_;
  auto shown = std::make_shared<const std::string>(jsonText(screen.current()));
  bool changed;
  {
    std::lock_guard lock(stateMutex_);
    changed = screenVersion_ != screen.version();
    screenVersion_ = screen.version();
    screenJson_ = shown;
    screenPicture_ = screen.picture();
  }
  if (changed) {
    // What a page needs to show a new picture of the same layout without asking for the screen.
    nlohmann::json told = {{"version", screen.version()}, {"layout", screen.layout()}};
    if (auto image = screen.current().find("image"); image != screen.current().end()) told["image"] = *image;
    hub_.publish("screen", jsonText(told));
    // The page may go on moving for a while (a fade, a push): drawn again until it rests.
    settleUntil_ = foundation::clock::now() + kSettleSeconds;
  }
}

void WebView::configureServer() {
  server_.set_payload_max_length(kLargestBody);
  server_.set_keep_alive_timeout(2);
  server_.set_read_timeout(5);
  server_.set_write_timeout(5);
  server_.set_default_headers({
      {"Cache-Control", "no-store"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"X-Frame-Options", "DENY"},
      {"Cross-Origin-Resource-Policy", "same-origin"},
      {"Content-Security-Policy",
       "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data: blob:; connect-src 'self'; "
       "media-src 'self' blob:; frame-ancestors 'none'; base-uri 'none'; form-action 'none'"},
  });
  server_.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    return admitted(request, response) ? httplib::Server::HandlerResponse::Unhandled
                                       : httplib::Server::HandlerResponse::Handled;
  });
  server_.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (!response.body.empty()) return;
    response.set_content("orvane-sim serve: the request could not be answered (" + std::to_string(response.status) + ")\n",
                         "text/plain; charset=utf-8");
  });
}

void WebView::pageRoutes() {
  server_.Get("/", [this](const httplib::Request&, httplib::Response& response) {
    std::string page = assets::page;
    for (std::size_t at; (at = page.find("__TOKEN__")) != std::string::npos;) page.replace(at, 9, policy_.token);
    response.set_content(page, "text/html; charset=utf-8");
  });
  server_.Get("/index.html", [](const httplib::Request&, httplib::Response& response) {
    response.status = 303;
    response.set_header("Location", "/");
  });
  server_.Get("/app.js", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(assets::script, "text/javascript; charset=utf-8");
  });
  server_.Get("/app.css", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(assets::style, "text/css; charset=utf-8");
  });
  server_.Get("/screen", [this](const httplib::Request&, httplib::Response& response) {
    std::shared_ptr<const std::string> shown;
    {
      std::lock_guard lock(stateMutex_);
      shown = screenJson_;
    }
    response.set_content(shown ? *shown : "{}", "application/json");
  });
  server_.Get("/screen.png", [this](const httplib::Request&, httplib::Response& response) {
    std::shared_ptr<const std::string> picture;
    {
      std::lock_guard lock(stateMutex_);
      picture = screenPicture_;
    }
    if (!picture) return answer(response, 404, "the screen could not be drawn");
    response.set_content(*picture, "image/png");
  });
  server_.Get(R"(/sounds/([0-9a-f]+)\.wav)", [this](const httplib::Request& request, httplib::Response& response) {
    auto bytes = feed_.sound(request.matches[1]);
    if (!bytes) return answer(response, 404, "no such sound was played");
    response.set_header("Cache-Control", "private, max-age=86400, immutable");
    response.set_content(*bytes, bytes->starts_with("RIFF") ? "audio/wav" : "application/octet-stream");
  });
  server_.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    if (++streams_ > kMostStreams) {
      --streams_;
      return answer(response, 429, "too many pages are open on this server");
    }
    std::uint64_t from = hub_.next();
    nlohmann::json hello;
    {
      std::lock_guard lock(stateMutex_);
      hello = {{"state", state_}, {"screen", screenVersion_}};
    }
    hello["log"] = feed_.recent();
    std::string first = Event{from - 1, "hello", jsonText(hello)}.wire();
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, from, first](std::size_t, httplib::DataSink& sink) mutable {
          if (!first.empty()) {
            bool written = sink.write(first.data(), first.size());
            first.clear();
            return written;
          }
          auto event = hub_.wait(from, 10000);
          if (!event) {
            if (hub_.closed()) {
              sink.done();
              return true;
            }
            static const std::string keepAlive = ": still here\n\n";
            return sink.write(keepAlive.data(), keepAlive.size());
          }
          from = event->sequence + 1;
          std::string wire = event->wire();
          return sink.write(wire.data(), wire.size());
        },
        [this](bool) { --streams_; });
  });
}

void WebView::actionRoutes() {
  auto action = [](Route route, const httplib::Request& request) { return parseAction(route, request.body); };
  server_.Post("/press", [this, action](const httplib::Request& request, httplib::Response& response) {
    auto parsed = action(Route::Press, request);
    if (!parsed) return answer(response, 400, parsed.error().message());
    auto steps = springboard_.press(parsed->kind);
    publishState(steps ? std::optional(*steps) : std::nullopt, steps.has_value());
    if (!steps) return answer(response, 503, steps.error().message());
    answer(response, 200, "", {{"volume", *steps}});
  });
  server_.Post("/ringer", [this, action](const httplib::Request& request, httplib::Response& response) {
    auto parsed = action(Route::Ringer, request);
    if (!parsed) return answer(response, 400, parsed.error().message());
    if (auto written = device::setSetting("Ringer", parsed->kind); !written)
      return answer(response, 500, "the device settings cannot be written: " + written.error().message());
    auto steps = springboard_.press("volume");
    publishState(steps ? std::optional(*steps) : std::nullopt, steps.has_value());
    answer(response, 200, "", {{"ringer", parsed->kind}});
  });
  server_.Post("/clear-log", [this, action](const httplib::Request& request, httplib::Response& response) {
    if (auto parsed = action(Route::ClearLog, request); !parsed) return answer(response, 400, parsed.error().message());
    // As `orvane-sim log --clear` does: the log and the recording, previous segments too.
    for (auto [path, previous] : {std::pair{speaker::kLogPath, speaker::kPreviousLogPath},
                                  std::pair{speaker::kRecordingPath, speaker::kPreviousRecordingPath}})
      if (auto cleared = files::clearLog(path, previous); !cleared)
        return answer(response, 500, cleared.error().message());
    feed_.forget();
    hub_.publish("log-cleared", "{}");
    answer(response, 200, "The speaker's log and recording are empty.");
  });
  server_.Post("/tap", [this, action](const httplib::Request& request, httplib::Response& response) {
    auto parsed = action(Route::Tap, request);
    if (!parsed) return answer(response, 400, parsed.error().message());
    Action tap = *parsed;
    auto themesBefore = storedThemes();
    auto outcome = main_.call<std::pair<Outcome, long long>>([this, tap] {
      Outcome done = screen_->act(tap);
      keepScreen();
      return std::pair(done, screen_->version());
    });
    if (!outcome) return answer(response, 503, "the Settings app did not answer in time");
    nlohmann::json extra = {{"screen", outcome->second}};
    // Settings plays nothing on a pick; the page lets its user hear the theme
    // from its own side, apart from what the device's speaker played.
    for (const auto& [key, name] : storedThemes()) {
      auto before = themesBefore.find(key);
      if (before != themesBefore.end() && before->second == name) continue;
      if (auto url = feed_.keep(orvane::contract::soundDirectory.c_str() + name + orvane::contract::soundExtension.c_str()))
        extra["preview"] = {{"theme", name}, {"url", *url}};
    }
    answer(response, outcome->first.status, outcome->first.message, extra);
  });
}

int WebView::listen() {
  int port = server_.listenOnLoopback(options_.port);
  if (port <= 0) {
    std::fprintf(stderr, "orvane-sim: serve: cannot listen on 127.0.0.1:%d (is it in use?)\n", options_.port);
    return port;
  }
  policy_.port = port;

  struct sigaction stop {};
  stop.sa_handler = requestStop;
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return port;
}

void WebView::runMainLoop(int port) {
  feed_.start();
  // A page that connects at once is greeted with the state, never with nothing.
  refreshState();
  std::thread listener([this] { server_.serve(); });
  std::thread watcher([this] { watchDevice(); });
  std::printf("Serving device %s\nOpen http://127.0.0.1:%d/?token=%s\n%s", device::root().c_str(), port,
              policy_.token.c_str(),
              springboardUse_.started() ? "SpringBoard started; it stops with the last server of this device.\n" : "");
  std::printf("Press Ctrl-C to stop.\n");
  std::fflush(stdout);

  NSRunLoop* loop = NSRunLoop::currentRunLoop();
  while (!stopRequested) {
    double now = foundation::clock::now();
    bool settling = now < settleUntil_;
    double untilTimer = std::min(loop->earliestFireDate() - now, settling ? kSettleStep : 0.2);
    main_.runFor(untilTimer <= 0 ? 0 : static_cast<int>(untilTimer * 1000) + 1);
    AutoreleasePool pool;
    bool fired = loop->fireDueTimers() > 0;
    if (fired || outsideChange_.exchange(false)) {
      screen_->refresh();
      keepScreen();
    } else if (settling) {
      screen_->redraw();
      keepScreen();
    }
  }

  main_.close();
  hub_.close();
  server_.halt();
  listener.join();
  watcher.join();
  feed_.stop();
}

}  // namespace

int run(const Options& options) {
  WebView view(options);
  return view.run();
}

}  // namespace serve
