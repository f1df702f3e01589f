#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "tests/sim/serve/ServeProcess.h"
#include "tests/support/SimDeviceTest.h"

namespace {

using testsupport::exchange;
using testsupport::HttpAnswer;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The address sanitizer's quarantine keeps what is freed, so resident memory tells nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryTells = false;
#else
constexpr bool kMemoryTells = true;
#endif

/// A process's resident memory now and at its highest, in KiB.
struct Memory {
  long now = -1, peak = -1;
};
Memory memoryOf(pid_t pid) {
  Memory memory;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) memory.now = std::atol(line.c_str() + 6);
    if (line.rfind("VmHWM:", 0) == 0) memory.peak = std::atol(line.c_str() + 6);
  }
  return memory;
}

/// Sends a head that never ends, without a token, until `most` bytes have gone
/// or the server stops taking them: in lines of 8 KiB, or as one endless line.
/// How many bytes the server took.
std::size_t floodHead(int port, const std::string& authority, std::size_t most, bool oneLine) {
  int descriptor = testsupport::sendRequest(port, "GET / HTTP/1.1\r\nHost: " + authority + "\r\n");
  if (descriptor < 0) return 0;
  timeval patience{2, 0};
  ::setsockopt(descriptor, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  std::string chunk = oneLine ? std::string(64 * 1024, 'a') : "";
  while (chunk.empty() || chunk.size() < 64 * 1024) chunk += "X-Flood: " + std::string(8 * 1024, 'b') + "\r\n";
  std::size_t sent = 0;
  while (sent < most) {
    ssize_t taken = ::send(descriptor, chunk.data(), chunk.size(), MSG_NOSIGNAL);
    if (taken <= 0) break;
    sent += static_cast<std::size_t>(taken);
  }
  ::close(descriptor);
  return sent;
}

/// Whether the server ends the connection by `deadline` (what it says first is read and dropped).
bool endedBy(int descriptor, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    pollfd watched{descriptor, POLLIN, 0};
    if (left <= 0 || ::poll(&watched, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    if (::recv(descriptor, buffer, sizeof buffer, MSG_DONTWAIT) <= 0) return true;
  }
}

class Serve : public testsupport::SimDeviceTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(init());
    // Before SpringBoard starts, so that its first snapshot has the sounds on.
    ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "true"}).status, 0);
    ASSERT_TRUE(server.start(ORVANE_SIM, root)) << "no URL printed: " << server.greeting();
  }

  std::string authority() const { return "127.0.0.1:" + std::to_string(server.port()); }

  /// A request as a browser of the page sends it, with `extra` header lines.
  std::string request(const std::string& method, const std::string& target, const std::string& extra = "",
                      const std::string& body = "") const {
    std::string text = method + " " + target + " HTTP/1.1\r\nHost: " + authority() + "\r\nConnection: close\r\n" + extra;
    if (!body.empty() || method == "POST")
      text += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    return text + "\r\n" + body;
  }
  std::string withToken(const std::string& path) const {
    return path + (path.find('?') == std::string::npos ? "?" : "&") + "token=" + server.token();
  }
  HttpAnswer get(const std::string& path, const std::string& extra = "") {
    return exchange(server.port(), request("GET", withToken(path), extra));
  }
  HttpAnswer post(const std::string& path, const std::string& body, const std::string& extra = "") {
    return exchange(server.port(), request("POST", withToken(path), extra, body));
  }
  /// Fetches the page as a tab does and checks that it came, within the time a person waits at most.
  void expectPageSoon(const char* when) {
    auto asked = Clock::now();
    HttpAnswer page = get("/");
    auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - asked);
    EXPECT_EQ(page.status, 200) << when;
    EXPECT_LT(took.count(), 1000) << when;
  }

  testsupport::ServeProcess server;
};

/// The server's event stream, read as it comes.
class EventStream {
 public:
  EventStream(int port, const std::string& request) : descriptor_(testsupport::sendRequest(port, request)) {}
  ~EventStream() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }

  /// The data of the next event of this type, within 5 s; none otherwise.
  std::optional<nlohmann::json> next(const std::string& type) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    static const std::regex event(R"(event: ([\w-]+)\r?\ndata: ([^\r\n]*)\r?\n)");
    for (;;) {
      std::smatch found;
      while (std::regex_search(seen_, found, event)) {
        std::string kind = found[1], data = found[2];
        seen_ = found.suffix();
        if (kind == type) return nlohmann::json::parse(data);
      }
      if (!testsupport::readSome(descriptor_, seen_, deadline)) return std::nullopt;
    }
  }

 private:
  int descriptor_ = -1;
  std::string seen_;
};

TEST_F(Serve, RefusesWhatIsNotItsOwnPageWithClearAnswers) {
  HttpAnswer page = get("/");
  ASSERT_EQ(page.status, 200) << page.body;
  EXPECT_NE(page.body.find("/app.js?token=" + server.token()), std::string::npos);
  EXPECT_NE(page.head.find("Content-Security-Policy"), std::string::npos);

  // The token: missing, wrong, wrong at the end only, or given in the header instead.
  EXPECT_EQ(exchange(server.port(), request("GET", "/")).status, 401);
  EXPECT_EQ(exchange(server.port(), request("GET", "/screen?token=0123")).status, 401);
  std::string almost = server.token();
  almost.back() = almost.back() == '0' ? '1' : '0';
  HttpAnswer wrong = exchange(server.port(), request("GET", "/screen?token=" + almost));
  EXPECT_EQ(wrong.status, 401);
  EXPECT_NE(wrong.body.find("token is wrong"), std::string::npos) << wrong.body;
  EXPECT_EQ(exchange(server.port(), request("GET", "/screen", "X-Orvane-Token: " + server.token() + "\r\n")).status, 200);

  // Host: another name (DNS rebinding), another port, or none at all.
  std::string port = std::to_string(server.port());
  auto withHost = [&](const std::string& host) {
    std::string text = "GET " + withToken("/screen") + " HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n";
    return exchange(server.port(), text);
  };
  HttpAnswer rebound = withHost("Host: attacker.example:" + port + "\r\n");
  EXPECT_EQ(rebound.status, 421);
  EXPECT_NE(rebound.body.find("attacker.example"), std::string::npos) << rebound.body;
  EXPECT_EQ(rebound.body.find("\"groups\""), std::string::npos);
  EXPECT_EQ(withHost("Host: 127.0.0.1:1\r\n").status, 421);
  EXPECT_EQ(withHost("Host: 127.0.0.1.attacker.example:" + port + "\r\n").status, 421);
  EXPECT_EQ(withHost("").status, 400);
  EXPECT_EQ(withHost("Host: LocalHost:" + port + "\r\n").status, 200);

  // Origin and Sec-Fetch-Site: only this server's own pages may send.
  HttpAnswer foreign = post("/press", R"({"button":"up"})", "Origin: http://attacker.example\r\n");
  EXPECT_EQ(foreign.status, 403);
  EXPECT_NE(foreign.body.find("other sites"), std::string::npos);
  EXPECT_EQ(post("/press", R"({"button":"up"})", "Origin: null\r\n").status, 403);
  EXPECT_EQ(post("/press", R"({"button":"up"})", "Origin: http://127.0.0.1:1\r\n").status, 403);
  EXPECT_EQ(get("/screen", "Sec-Fetch-Site: cross-site\r\n").status, 403);
  // Another server on this machine is "same-site", still not this one.
  EXPECT_EQ(get("/screen", "Sec-Fetch-Site: same-site\r\n").status, 403);
  EXPECT_EQ(get("/screen", "Sec-Fetch-Site: same-origin\r\nOrigin: http://" + authority() + "\r\n").status, 200);

  // Nothing outside the routes: no path escapes, no device or host files by path.
  for (const char* path : {"/sounds/..%2f..%2f..%2f..%2fetc%2fpasswd.wav", "/../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd",
                           "/sounds/../../../../etc/hostname", "/sounds/%00.wav", "/app.js/..%5c..%5cetc%5cpasswd"}) {
    HttpAnswer escape = get(path);
    EXPECT_GE(escape.status, 400) << path;
    EXPECT_LT(escape.status, 500) << path;
    EXPECT_EQ(escape.body.find("root:"), std::string::npos) << path;
  }
  EXPECT_EQ(get("/Library/Application%20Support/Orvane/Chime.wav").status, 404);
  EXPECT_EQ(get("/var/mobile/Library/Preferences/com.quillmark.orvane.plist").status, 404);
  EXPECT_EQ(get("/sounds/0123456789abcdef00001000.wav").status, 404);

  // Bodies are bounded: refused from the length alone, before any of it is read.
  std::string huge = "POST " + withToken("/press") + " HTTP/1.1\r\nHost: " + authority() +
                     "\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: 100000000\r\n\r\n{";
  HttpAnswer tooLarge = exchange(server.port(), huge);
  EXPECT_EQ(tooLarge.status, 413);
  EXPECT_NE(tooLarge.body.find("larger than"), std::string::npos) << tooLarge.body;
  EXPECT_EQ(post("/tap", std::string(17 * 1024, ' ')).status, 413);
  std::string chunked = "POST " + withToken("/press") + " HTTP/1.1\r\nHost: " + authority() +
                        "\r\nConnection: close\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"
                        "4000\r\n" + std::string(0x4000, ' ') + "\r\n4000\r\n" + std::string(0x4000, ' ') + "\r\n0\r\n\r\n";
  EXPECT_EQ(exchange(server.port(), chunked).status, 411);

  // Methods, types and bodies.
  EXPECT_EQ(exchange(server.port(), request("DELETE", withToken("/"))).status, 405);
  EXPECT_EQ(exchange(server.port(), request("OPTIONS", withToken("/press"))).status, 405);
  EXPECT_EQ(get("/press").status, 405);
  std::string plain = "POST " + withToken("/press") + " HTTP/1.1\r\nHost: " + authority() +
                      "\r\nConnection: close\r\nContent-Type: text/plain\r\nContent-Length: 15\r\n\r\n{\"button\":\"up\"}";
  EXPECT_EQ(exchange(server.port(), plain).status, 415);
  EXPECT_EQ(post("/press", "{\"button\":").status, 400);
  EXPECT_EQ(post("/press", R"({"button":"sideways"})").status, 400);
  EXPECT_EQ(post("/tap", R"({"target":"row","section":-1,"row":0,"screen":1})").status, 400);
  EXPECT_EQ(exchange(server.port(), "NONSENSE\r\n\r\n").status / 100, 4);

  // Heads are bounded, with the token or without: in lines and in bytes.
  std::string lines;
  for (int line = 0; line < 40; ++line) lines += "X-Line-" + std::to_string(line) + ": " + std::string(200, 'c') + "\r\n";
  EXPECT_EQ(get("/screen", lines).status, 200) << "a browser's head, with its cookies, is well within";
  for (int line = 40; line < 200; ++line) lines += "X-Line-" + std::to_string(line) + ": 1\r\n";
  HttpAnswer tooMany = get("/screen", lines);
  EXPECT_EQ(tooMany.status, 431);
  EXPECT_NE(tooMany.body.find("header"), std::string::npos) << tooMany.body;
  EXPECT_EQ(get("/screen", "X-Long: " + std::string(40 * 1024, 'd') + "\r\n").status, 431);
  EXPECT_EQ(exchange(server.port(), "GET /" + std::string(40 * 1024, 'e') + " HTTP/1.1\r\n\r\n").status, 431);

  // Only loopback's own address: another one of the loopback range is not listened on.
  EXPECT_EQ(exchange(server.port(), request("GET", withToken("/")), "127.0.0.2").status, 0);
  // After all that it still serves.
  EXPECT_EQ(get("/").status, 200);
}

TEST_F(Serve, PushesSoundsAndFollowsTheDeviceWhoeverChangesIt) {
  ASSERT_EQ(sim({"status"}).status, 0) << "serve did not start SpringBoard";
  EXPECT_NE(server.greeting().find("SpringBoard started"), std::string::npos) << server.greeting();
  EventStream events(server.port(), request("GET", withToken("/events")));
  auto hello = events.next("hello");
  ASSERT_TRUE(hello);
  EXPECT_EQ((*hello)["state"]["ringer"], "ring");

  // A press in the page: the sound is pushed with what to fetch, the very bytes of the theme.
  HttpAnswer pressed = post("/press", R"({"button":"up"})");
  ASSERT_EQ(pressed.status, 200) << pressed.body;
  auto sound = events.next("sound");
  ASSERT_TRUE(sound) << "no sound pushed";
  EXPECT_EQ((*sound)["button"], "up") << "both buttons play one theme here: only the record tells them apart";
  std::string file = (*sound)["file"];
  EXPECT_EQ(file.rfind("/Library/Application Support/Orvane/", 0), 0u) << file;
  HttpAnswer bytes = get((*sound)["url"].get<std::string>());
  ASSERT_EQ(bytes.status, 200);
  EXPECT_EQ(bytes.body, testsupport::readFile(root + file));
  EXPECT_NE(bytes.head.find("audio/wav"), std::string::npos);

  // A press from the command line shows too, with its volume.
  ASSERT_EQ(sim({"press", "down"}).status, 0);
  auto down = events.next("sound");
  ASSERT_TRUE(down);
  EXPECT_EQ((*down)["button"], "down");
  auto state = events.next("state");
  ASSERT_TRUE(state);

  // Silent: the switch in the page silences SpringBoard, so nothing is pushed;
  // the next sound pushed is the one after the switch is back on ring.
  ASSERT_EQ(post("/ringer", R"({"mode":"silent"})").status, 200);
  ASSERT_EQ(post("/press", R"({"button":"up"})").status, 200);
  ASSERT_EQ(sim({"ringer", "ring"}).status, 0);
  ASSERT_EQ(sim({"press", "down"}).status, 0);
  auto afterSilence = events.next("sound");
  ASSERT_TRUE(afterSilence);
  std::vector<std::string> logged;
  std::istringstream lines(sim({"log", "--json"}).out);
  for (std::string line; std::getline(lines, line);) logged.push_back(nlohmann::json::parse(line)["time"]);
  ASSERT_EQ(logged.size(), 3u) << "the speaker played in silent mode";
  EXPECT_EQ((*afterSilence)["time"], logged.back());

  // A change made beside the server shows on its screen.
  auto screen = nlohmann::json::parse(get("/screen").body);
  ASSERT_EQ(screen["groups"][0]["rows"][0]["kind"], "switch");
  EXPECT_EQ(screen["groups"][0]["rows"][0]["value"], true);
  ASSERT_EQ(sim({"defaults", "write", "isEnabled", "-bool", "false"}).status, 0);
  // The page may also be redrawn as it animates: the screen events go on until the change shows.
  nlohmann::json changed = screen;
  while (changed["groups"][0]["rows"][0]["value"] != false) {
    ASSERT_TRUE(events.next("screen")) << "the change was not shown";
    changed = nlohmann::json::parse(get("/screen").body);
  }
  EXPECT_GT(changed["version"].get<long>(), screen["version"].get<long>());
  EXPECT_GT(changed["layout"].get<long>(), screen["layout"].get<long>());
  if (changed.contains("image")) {
    HttpAnswer drawn = get(changed["image"]["url"]);
    EXPECT_EQ(drawn.status, 200);
    EXPECT_EQ(drawn.body.substr(0, 8), "\x89PNG\r\n\x1a\n");
  }

  // A click on the switch row flips it, as a tap does; a click on an older screen is refused.
  std::string tap = R"({"target":"row","section":0,"row":0,"screen":)" + changed["layout"].dump() + "}";
  ASSERT_EQ(post("/tap", tap).status, 200);
  EXPECT_EQ(sim({"defaults", "read", "isEnabled"}).out.find("1") != std::string::npos, true);
  EXPECT_EQ(post("/tap", tap).status, 409);

  // Contact Support opens the composer over the page; it is answered there, and
  // the page takes clicks again once it is gone. The share button opens the post.
  auto current = nlohmann::json::parse(get("/screen").body);
  auto tapJson = [&](const std::string& body) {
    HttpAnswer done = post("/tap", body);
    EXPECT_EQ(done.status, 200) << done.body;
    current = nlohmann::json::parse(get("/screen").body);
    return nlohmann::json::parse(done.body.empty() ? "{}" : done.body);
  };
  auto layout = [&] { return current["layout"].dump(); };
  long section = -1, row = -1;
  for (std::size_t g = 0; g < current["groups"].size(); ++g)
    for (std::size_t r = 0; r < current["groups"][g]["rows"].size(); ++r)
      if (current["groups"][g]["rows"][r]["label"] == "Contact Support") section = long(g), row = long(r);
  ASSERT_GE(section, 0) << current.dump();
  tapJson(R"({"target":"row","section":)" + std::to_string(section) + R"(,"row":)" + std::to_string(row) +
          R"(,"screen":)" + layout() + "}");
  ASSERT_TRUE(current.contains("mail")) << current.dump();
  EXPECT_EQ(current["mail"]["subject"], "Orvane Support");
  EXPECT_EQ(post("/tap", R"({"target":"back","screen":)" + layout() + "}").status, 409);
  EXPECT_NE(tapJson(R"({"target":"mail","answer":"save","screen":)" + layout() + "}")["message"].get<std::string>().find("Saved"),
            std::string::npos);
  EXPECT_FALSE(current.contains("mail"));
  ASSERT_TRUE(current["share"].get<bool>());
  tapJson(R"({"target":"share","screen":)" + layout() + "}");
  ASSERT_TRUE(current.contains("sheet")) << current.dump();
  EXPECT_NE(tapJson(R"({"target":"sheet","answer":"post","screen":)" + layout() + "}")["message"].get<std::string>().find("Posted"),
            std::string::npos);
  EXPECT_FALSE(current.contains("sheet"));

  // Stopping the server stops the SpringBoard it started.
  EXPECT_EQ(server.stop(), 0);
  EXPECT_NE(sim({"status"}).status, 0);
}

/// The screen once it has come to rest: the same version for half a second.
nlohmann::json restingScreen(const std::function<HttpAnswer()>& fetch) {
  auto screen = nlohmann::json::parse(fetch().body);
  for (int i = 0; i < 40; ++i) {
    std::this_thread::sleep_for(milliseconds(500));
    auto now = nlohmann::json::parse(fetch().body);
    if (now["version"] == screen["version"]) return now;
    screen = now;
  }
  ADD_FAILURE() << "the screen never came to rest";
  return screen;
}

TEST_F(Serve, ScreenScrollsHoldsStillAndOffersOnlyWhatATapDoes) {
  auto fetch = [this] { return get("/screen"); };
  auto screen = restingScreen(fetch);
  // Idle, nothing is drawn again: the root page's header picks a new line each
  // time its rows are asked for, which once made a new screen ten times a second.
  std::this_thread::sleep_for(milliseconds(1500));
  EXPECT_EQ(nlohmann::json::parse(get("/screen").body)["version"], screen["version"]) << "the idle screen changed";

  // The root page is taller than the screen: the picture is all of it, with its lower rows as targets.
  ASSERT_TRUE(screen.contains("image"));
  double shownHeight = screen["image"]["screen"]["height"];
  EXPECT_GT(screen["image"]["height"].get<double>(), shownHeight);
  std::set<std::string> answering = {"switch", "choice", "link", "list", "button"};
  bool supportBelow = false;
  for (auto& target : screen["targets"]) {
    EXPECT_NE(target["kind"], "back") << "the root page's back button leads out of the entry: a tap there does nothing";
    if (target["kind"] != "row") continue;
    auto& row = screen["groups"][target["section"].get<std::size_t>()]["rows"][target["row"].get<std::size_t>()];
    EXPECT_TRUE(answering.contains(row["kind"])) << row.dump();
    if (target["label"] == "Contact Support")
      supportBelow = target["frame"][1].get<double>() + target["frame"][3].get<double>() > shownHeight;
  }
  EXPECT_TRUE(supportBelow) << screen["targets"].dump();

  HttpAnswer lastTap;
  auto tapRow = [&](const std::string& label) {
    for (auto& target : screen["targets"])
      if (target["label"] == label) {
        HttpAnswer done = lastTap = post("/tap", R"({"target":"row","section":)" + target["section"].dump() + R"(,"row":)" +
                                           target["row"].dump() + R"(,"screen":)" + screen["layout"].dump() + "}");
        EXPECT_EQ(done.status, 200) << done.body;
        screen = restingScreen(fetch);
        return;
      }
    ADD_FAILURE() << "no target " << label << " in " << screen["targets"].dump();
  };
  // A page that fits does not scroll.
  tapRow("Sound Themes");
  EXPECT_EQ(screen["image"]["height"].get<double>(), shownHeight) << screen["image"].dump();
  EXPECT_TRUE(std::any_of(screen["targets"].begin(), screen["targets"].end(), [](auto& t) { return t["kind"] == "back"; }));

  // 23 themes run past the screen; the last of them is a target, and a tap there picks it.
  std::string sounds = root + "/Library/Application Support/Orvane/";
  for (int i = 1; i <= 16; ++i)
    testsupport::writeFile(sounds + "Zz Extra " + (i < 10 ? "0" : "") + std::to_string(i) + ".wav",
                           testsupport::readFile(sounds + "Tick.wav"));
  tapRow("Volume Up Sound");
  EXPECT_FALSE(nlohmann::json::parse(lastTap.body).contains("preview")) << "no pick, nothing to hear";
  ASSERT_FALSE(screen["targets"].empty());
  auto& last = screen["targets"].back();
  EXPECT_EQ(last["label"], "Zz Extra 16");
  EXPECT_GT(last["frame"][1].get<double>(), shownHeight);
  std::string logBefore = sim({"log"}).out;
  tapRow("Zz Extra 16");
  EXPECT_EQ(sim({"defaults", "read", "selectedIncreaseSound"}).out, "Zz Extra 16\n");
  // The pick is offered to the page to hear; the device's speaker played nothing.
  auto picked = nlohmann::json::parse(lastTap.body);
  ASSERT_TRUE(picked.contains("preview")) << lastTap.body;
  EXPECT_EQ(picked["preview"]["theme"], "Zz Extra 16");
  HttpAnswer heard = get(picked["preview"]["url"].get<std::string>());
  EXPECT_EQ(heard.status, 200);
  EXPECT_EQ(heard.body, testsupport::readFile(sounds + "Tick.wav"));
  EXPECT_EQ(sim({"log"}).out, logBefore);

  // The page's Clear empties the device's log, as log --clear does, in every page open.
  EventStream events(server.port(), request("GET", withToken("/events")));
  ASSERT_TRUE(events.next("hello"));
  ASSERT_EQ(sim({"press", "up"}).status, 0);
  EXPECT_NE(sim({"log"}).out, "");
  ASSERT_EQ(post("/clear-log", "{}").status, 200);
  EXPECT_TRUE(events.next("log-cleared"));
  EXPECT_EQ(sim({"log"}).out, "");
  EXPECT_EQ(post("/clear-log", "[]").status, 400);
}

TEST_F(Serve, StaysOpenToItsPageUnderFloodsAndSlowClients) {
  expectPageSoon("at the start");
  Memory before = memoryOf(server.pid());
  ASSERT_GT(before.now, 0);

  // Heads that never end, 128 MiB in all, with no token: the server keeps none of it.
  std::vector<std::future<std::size_t>> floods;
  for (int flood = 0; flood < 4; ++flood)
    floods.push_back(std::async(std::launch::async, floodHead, server.port(), authority(), 32u << 20, flood % 2 == 0));
  while (floods.back().wait_for(milliseconds(200)) != std::future_status::ready) expectPageSoon("during the flood");
  for (auto& flood : floods) EXPECT_LT(flood.get(), 16u << 20) << "the server went on reading a head of no end";
  Memory flooded = memoryOf(server.pid());
  if (kMemoryTells) {
    EXPECT_LT(flooded.peak - before.now, 32 * 1024) << "KiB more at the highest";
  }

  // Slow clients, more than the server has threads, each sending a line of its head now and then.
  std::vector<int> slow;
  for (int client = 0; client < 200; ++client) {
    int descriptor = testsupport::sendRequest(server.port(), "GET / HTTP/1.1\r\nHost: " + authority() + "\r\n");
    ASSERT_GE(descriptor, 0);
    slow.push_back(descriptor);
  }
  auto opened = Clock::now();
  for (int round = 0; round < 6; ++round) {
    for (int descriptor : slow) ::send(descriptor, "X-Slow: more\r\n", 14, MSG_NOSIGNAL | MSG_DONTWAIT);
    expectPageSoon(("with slow clients, round " + std::to_string(round)).c_str());
    std::this_thread::sleep_for(milliseconds(400));
  }
  // A head has a time to be sent in, however it trickles.
  int unended = 0;
  for (int descriptor : slow) {
    unended += !endedBy(descriptor, opened + std::chrono::seconds(20));
    ::close(descriptor);
  }
  EXPECT_EQ(unended, 0) << "slow heads the server waited on for 20 s";
  expectPageSoon("after the slow clients");
  if (kMemoryTells) {
    EXPECT_LT(memoryOf(server.pid()).now - before.now, 32 * 1024) << "KiB kept after the floods ended";
  }
}

TEST_F(Serve, SpringBoardStaysWhileAnotherServerUsesIt) {
  testsupport::ServeProcess second;
  ASSERT_TRUE(second.start(ORVANE_SIM, root)) << second.greeting();
  EXPECT_EQ(second.greeting().find("SpringBoard started"), std::string::npos) << second.greeting();

  // The server that started SpringBoard goes first: the other one still has it.
  EXPECT_EQ(server.stop(), 0);
  ASSERT_EQ(sim({"status"}).status, 0) << "SpringBoard stopped under the other server";
  std::string press = "POST /press?token=" + second.token() + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                      std::to_string(second.port()) +
                      "\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: 15\r\n\r\n"
                      R"({"button":"up"})";
  HttpAnswer pressed = exchange(second.port(), press);
  EXPECT_EQ(pressed.status, 200) << pressed.body;
  // The last one to go stops it.
  EXPECT_EQ(second.stop(), 0);
  EXPECT_NE(sim({"status"}).status, 0) << "the last server left SpringBoard running";

  // One that someone else started is never stopped by a server.
  ASSERT_EQ(sim({"springboard", "--detach"}).status, 0);
  testsupport::ServeProcess third;
  ASSERT_TRUE(third.start(ORVANE_SIM, root));
  EXPECT_EQ(third.stop(), 0);
  EXPECT_EQ(sim({"status"}).status, 0) << "a server stopped a SpringBoard it did not start";
  EXPECT_EQ(sim({"stop"}).status, 0);
}

}  // namespace
