// Preferences: the Settings app of the simulated device. It opens Orvane's
// entry and shows, changes or inspects one of its pages.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/foundation/NSTimer.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/objc/runtime.h"
#include "sim/settings/Navigation.h"
#include "sim/settings/PageJson.h"
#include "sim/settings/PageText.h"
#include "sim/settings/SettingsEntry.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: orvane-sim settings show [--json] [PATH]\n"
               "       orvane-sim settings inspect [--json] [PATH]\n"
               "       orvane-sim settings set PATH VALUE\n"
               "       orvane-sim settings tap PATH [--mail send|save|cancel]\n"
               "       orvane-sim settings share [PATH] [--share post|cancel]\n");
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
    Retained<MFMailComposeViewController> keep = mail;  // the dismissal lets go of it
    std::string path = answer == "send" ? mail->send() : mail->save();
    if (path.empty()) return fail(std::string("the mail was not ") + (answer == "send" ? "sent: " : "saved: ") + mail->failure());
    std::printf(answer == "send" ? "Sent: %s\n" : "Saved as a draft: %s\n", path.c_str());
  } else {
    mail->cancel();
    std::printf("Cancelled.\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty()) return usage();
  std::string verb = arguments[0];
  arguments.erase(arguments.begin());
  bool json = false;
  if (!arguments.empty() && arguments[0] == "--json" && (verb == "show" || verb == "inspect")) {
    json = true;
    arguments.erase(arguments.begin());
  }
  std::string mailAnswer, shareAnswer;
  if (verb == "tap" && arguments.size() == 3 && arguments[1] == "--mail") {
    mailAnswer = arguments[2];
    if (mailAnswer != "send" && mailAnswer != "save" && mailAnswer != "cancel") return usage();
    arguments.resize(1);
  }
  if (verb == "share" && arguments.size() >= 2 && arguments[arguments.size() - 2] == "--share") {
    shareAnswer = arguments.back();
    if (shareAnswer != "post" && shareAnswer != "cancel") return usage();
    arguments.resize(arguments.size() - 2);
  }
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
