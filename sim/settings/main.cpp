// Preferences: the Settings app of the simulated device. It opens Orvane's
// entry and shows, changes or inspects one of its pages.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/uikit/UIView.h"
#include "platform/foundation/NSTimer.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/objc/runtime.h"
#include "sim/render/Screenshot.h"
#include "sim/settings/Navigation.h"
#include "sim/settings/PageJson.h"
#include "sim/settings/PageText.h"
#include "sim/settings/Random.h"
#include "sim/settings/SettingsEntry.h"

namespace {

// orvane-sim checks the words against its table of commands and hands them
// over in one form; anything else is said in one line.
int usage() {
  std::fprintf(stderr, "Settings: unexpected arguments (run it as orvane-sim settings; see orvane-sim settings --help)\n");
  return 2;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "Settings: %s\n", message.c_str());
  return 1;
}

std::string joined(NSArray* list) {
  std::string out;
  if (list)
    for (auto& item : *list) out += (out.empty() ? "" : ", ") + foundation::describe(item.get());
  return out;
}

/// What the person types at a prompt: one of `choices`, or the first one at the end of input.
std::string ask(const char* prompt, const std::vector<std::string>& choices) {
  for (;;) {
    std::printf("%s ", prompt);
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return choices.front();
    std::string word(line);
    while (!word.empty() && (word.back() == '\n' || word.back() == ' ')) word.pop_back();
    for (auto& choice : choices)
      if (word == choice) return word;
  }
}

int answerSheet(SLComposeViewController* sheet, std::string answer) {
  std::printf("Twitter\n  | %s\n", foundation::describe(sheet->text()).c_str());
  if (answer.empty()) answer = ask("Post or cancel? [post/cancel]", {"cancel", "post"});
  if (answer == "post") std::printf("Posted: %s\n", sheet->post().c_str());
  else {
    sheet->cancel();
    std::printf("Cancelled.\n");
  }
  return 0;
}

/// Shows the composed mail and does what the person says with it.
int answerMail(MFMailComposeViewController* mail, std::string answer) {
  std::printf("New Message\n  To: %s\n", joined(mail->toRecipients()).c_str());
  if (mail->ccRecipients()) std::printf("  Cc: %s\n", joined(mail->ccRecipients()).c_str());
  std::printf("  Subject: %s\n  Body (%s):\n", foundation::describe(mail->subject()).c_str(),
              mail->isHTML() ? "HTML" : "plain text");
  std::string body = foundation::describe(mail->messageBody());
  std::printf("    | %s\n", [&] {
    std::string indented;
    for (char c : body) indented += c == '\n' ? std::string("\n    | ") : std::string(1, c);
    return indented;
  }().c_str());
  for (auto& attachment : mail->attachments())
    std::printf("  Attachment: %s (%s, %zu bytes)\n", attachment.fileName.c_str(), attachment.mimeType.c_str(),
                attachment.data.size());
  if (answer.empty()) answer = ask("Send, save or cancel? [send/save/cancel]", {"cancel", "send", "save"});
  if (answer == "send" || answer == "save") {
    Retained<MFMailComposeViewController> keep = objc::retain(mail);  // the dismissal lets go of it
    std::string path = answer == "send" ? mail->send() : mail->save();
    if (path.empty()) return fail(std::string("the mail was not ") + (answer == "send" ? "sent: " : "saved: ") + mail->failure());
    std::printf(answer == "send" ? "Sent: %s\n" : "Saved as a draft: %s\n", path.c_str());
  } else {
    mail->cancel();
    std::printf("Cancelled.\n");
  }
  return 0;
}

/// Lets the page's timers and animations run their course on the run loop's
/// clock: until nothing is left to fire or to move, at most a minute on.
void settle() {
  double start = foundation::clock::now();
  for (;;) {
    double now = foundation::clock::now();
    double next = NSRunLoop::currentRunLoop()->earliestFireDate();
    if (!std::isfinite(next)) next = UIView::animationsEnd();
    if (next <= now || next - start > 60) return;
    foundation::clock::advance(next - now);
  }
}

std::optional<double> number(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || errno || !std::isfinite(value)) return std::nullopt;
  return value;
}

/// screenshot [--output=FILE.png] [--scale=1|2|3] [--at=SECONDS] [--seed=N] [--share] [--full-page] -- [PATH]
/// A PATH ending in a button row taps it (the support mail shows its composer).
int screenshot(const std::vector<std::string>& options, const std::vector<std::string>& arguments) {
  std::string output, path = arguments.empty() ? "" : arguments[0];
  bool share = false;
  render::Options drawing;
  std::optional<double> at;
  // The picture is the same every time unless another seed is asked for.
  std::uint64_t seed = 0;
  if (arguments.size() > 1) return usage();
  for (const std::string& word : options) {
    if (word.starts_with("--output=")) {
      output = word.substr(9);
    } else if (word.starts_with("--scale=")) {
      std::string value = word.substr(8);
      if (value != "1" && value != "2" && value != "3") return fail("--scale is 1, 2 or 3, not \"" + value + "\"");
      drawing.scale = value[0] - '0';
    } else if (word.starts_with("--at=")) {
      at = number(word.substr(5));
      if (!at || *at < 0 || *at > 3600)
        return fail("--at takes the seconds since Settings opened the page (0 to 3600), not \"" + word.substr(5) + "\"");
    } else if (word.starts_with("--seed=")) {
      auto value = number(word.substr(7));
      if (!value || *value < 0 || *value != std::floor(*value) || *value > 4294967295.0)
        return fail("--seed is a whole number from 0 to 4294967295, not \"" + word.substr(7) + "\"");
      seed = static_cast<std::uint64_t>(*value);
    } else if (word == "--share") {
      share = true;
    } else if (word == "--full-page") {
      drawing.fullPage = true;
    } else {
      return usage();
    }
  }
  if ((output.empty() || output == "-") && isatty(STDOUT_FILENO))
    return fail("the picture is PNG: give -o FILE.png, or send standard output to a file or a program");

  device::setProcessName("Preferences");
  settings::seedRandom(seed);
  AutoreleasePool pool;
  // The clock starts as Settings opens the entry, so --at names the same moment every time.
  foundation::clock::useTestClock();
  auto loaded = settings::loadEntry("Orvane");
  if (!loaded) return fail(loaded.error().message());
  settings::Navigation navigation(*loaded);
  try {
    auto labels = settings::splitPath(path);
    std::vector<std::string> last;
    if (!labels.empty()) {
      last.push_back(labels.back());
      labels.pop_back();
    }
    orvane::Result<void> done = navigation.follow(labels);
    if (!done) return fail(done.error().message());
    done = navigation.follow(last);
    // A button row at the end of the path is tapped; anything else keeps the error of following.
    if (!done && !navigation.tap(last)) return fail(done.error().message());
    if (share) {
      if (auto shared = navigation.share(); !shared) return fail(shared.error().message());
    }
  } catch (const NSInvalidArgumentException& exception) {
    return fail(exception.what());
  }
  if (at) foundation::clock::advance(*at);
  else settle();
  render::Picture picture = render::screenshot(navigation, drawing);
  auto encoded = picture.png();
  if (!encoded) return fail("the picture could not be drawn: " + encoded.error().message());
  const std::string& png = *encoded;
  if (output.empty() || output == "-") {
    if (!files::writeAll(STDOUT_FILENO, png)) return fail(std::string("cannot write the picture: ") + std::strerror(errno));
    return 0;
  }
  if (auto written = files::writeAtomically(output, png, files::Durability::Unflushed); !written)
    return fail(written.error().message());
  std::printf("%s: %dx%d pixels\n", output.c_str(), picture.width(), picture.height());
  return 0;
}

/// The path of every row, from the page on top down, links opened as taps
/// would open them (a list row's choices are values, not rows).
void collectPaths(settings::Navigation& navigation, const std::string& prefix, int depth, std::vector<std::string>& paths) {
  PSListController* page = navigation.page();
  if (!page || depth > 8) return;
  std::vector<std::pair<std::string, bool>> rows;
  for (auto& group : page->groups())
    for (PSSpecifier* row : group.rows) {
      std::string label = row->name() ? row->name()->utf8() : "";
      if (label.empty() || label.find('/') != std::string::npos) continue;
      rows.emplace_back(label, row->cellType() == PSLinkCell);
    }
  for (const auto& [label, opens] : rows) {
    std::string path = prefix.empty() ? label : prefix + "/" + label;
    paths.push_back(path);
    if (!opens || !navigation.follow({label})) continue;
    collectPaths(navigation, path, depth + 1, paths);
    if (navigation.page() != page) navigation.page()->navigationController()->popViewControllerAnimated(false);
  }
}

/// paths --: every row's path, one a line.
int paths() {
  device::setProcessName("Preferences");
  AutoreleasePool pool;
  auto loaded = settings::loadEntry("Orvane");
  if (!loaded) return fail(loaded.error().message());
  settings::Navigation navigation(*loaded);
  std::vector<std::string> found;
  try {
    collectPaths(navigation, "", 0, found);
  } catch (const NSInvalidArgumentException& exception) {
    return fail(exception.what());
  }
  for (const auto& path : found) std::printf("%s\n", path.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // VERB [--json] [--mail=ANSWER] [--share=ANSWER] -- [PATH [VALUE]]
  std::vector<std::string> words(argv + 1, argv + argc);
  auto ended = std::find(words.begin(), words.end(), "--");
  if (words.empty() || ended == words.end()) return usage();
  std::string verb = words[0];
  if (verb == "paths") return ended + 1 == words.end() && ended == words.begin() + 1 ? paths() : usage();
  if (verb == "screenshot")
    return screenshot(std::vector<std::string>(words.begin() + 1, ended), std::vector<std::string>(ended + 1, words.end()));
  bool json = false;
  std::string mailAnswer, shareAnswer;
  for (auto word = words.begin() + 1; word != ended; ++word) {
    if (*word == "--json") json = true;
    else if (word->starts_with("--mail=")) mailAnswer = word->substr(7);
    else if (word->starts_with("--share=")) shareAnswer = word->substr(8);
    else return usage();
  }
  std::vector<std::string> arguments(ended + 1, words.end());
  auto answers = [](const std::string& answer, std::initializer_list<const char*> choices) {
    return answer.empty() || std::any_of(choices.begin(), choices.end(), [&](const char* c) { return answer == c; });
  };
  if (!answers(mailAnswer, {"send", "save", "cancel"}) || !answers(shareAnswer, {"post", "cancel"})) return usage();
  bool viewing = verb == "show" || verb == "inspect" || verb == "share";
  if ((viewing && arguments.size() > 1) || (verb == "set" && arguments.size() != 2) ||
      (verb == "tap" && arguments.size() != 1) || (!viewing && verb != "set" && verb != "tap"))
    return usage();

  device::setProcessName("Preferences");
  AutoreleasePool pool;
  auto loaded = settings::loadEntry("Orvane");
  if (!loaded) return fail(loaded.error().message());
  settings::Navigation navigation(*loaded);
  auto path = settings::splitPath(arguments.empty() ? "" : arguments[0]);
  orvane::Result<void> done;
  try {
    done = verb == "set" ? navigation.set(path, arguments[1]) : verb == "tap" ? navigation.tap(path) : navigation.follow(path);
    if (done && verb == "share") {
      done = navigation.share();
      if (done && !navigation.presentedSheet()) {
        std::printf("Twitter is not available on this device: nothing to share with.\n");
        return 0;
      }
    }
  } catch (const NSInvalidArgumentException& exception) {
    return fail(exception.what());
  }
  if (!done) return fail(done.error().message());
  if (MFMailComposeViewController* mail = navigation.presentedMail()) return answerMail(mail, mailAnswer);
  if (SLComposeViewController* sheet = navigation.presentedSheet()) return answerSheet(sheet, shareAnswer);
  if (verb == "inspect") {
    // Let the page's timers and animations run their course, as a person looking at it would.
    if (NSRunLoop::currentRunLoop()->hasTimers()) NSRunLoop::currentRunLoop()->runForSeconds(1.05);
    auto inspection = settings::snapshotInspection(navigation);
    std::fputs(json ? settings::jsonText(settings::toJson(inspection)).c_str() : settings::toText(inspection).c_str(), stdout);
  } else {
    auto page = settings::snapshotPage(*navigation.page());
    std::fputs(json ? settings::jsonText(settings::toJson(page)).c_str() : settings::toText(page).c_str(), stdout);
  }
  return 0;
}
