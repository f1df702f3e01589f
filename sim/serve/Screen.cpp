#include "sim/serve/Screen.h"

#include <fmt/format.h>

#include "platform/device/PreferencesChange.h"
#include "platform/foundation/NSString.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/social/SLComposeViewController.h"
#include "sim/settings/SettingsApp.h"

namespace serve {

namespace {

std::string text(const NSString* string) { return string ? string->utf8() : ""; }

std::string joined(NSArray* list) {
  std::string out;
  if (list)
    for (auto& item : *list) out += (out.empty() ? "" : ", ") + foundation::describe(item.get());
  return out;
}

Outcome failed(int status, std::string message) { return Outcome{status, std::move(message)}; }

}  // namespace

Screen::Screen(const std::string& entryName) : app_(std::make_unique<SettingsApp>(entryName)) { refresh(); }

Screen::~Screen() = default;

bool Screen::ok() const { return app_->ok(); }

std::string Screen::error() const { return app_->error(); }

void Screen::refresh() {
  nlohmann::json shown = app_->ok() ? app_->show() : nlohmann::json::object();
  PSListController* page = app_->ok() ? app_->page() : nullptr;
  UINavigationController* navigation = page ? page->navigationController() : nullptr;
  const auto* stack = navigation ? &navigation->viewControllers() : nullptr;
  // Back leads to another page of the entry, never out of it into Settings itself.
  shown["back"] = stack && stack->size() >= 2 && objc_cast<PSListController>((*stack)[stack->size() - 2].get());
  shown["share"] = page && page->navigationItem()->rightBarButtonItem() != nullptr;
  if (MFMailComposeViewController* mail = app_->ok() ? app_->presentedMail() : nullptr) {
    nlohmann::json attachments = nlohmann::json::array();
    for (auto& attachment : mail->attachments())
      attachments.push_back({{"name", attachment.fileName}, {"type", attachment.mimeType}, {"bytes", attachment.data.size()}});
    shown["mail"] = {{"to", joined(mail->toRecipients())},
                     {"subject", foundation::describe(mail->subject())},
                     {"body", foundation::describe(mail->messageBody())},
                     {"attachments", attachments}};
  } else if (SLComposeViewController* sheet = app_->ok() ? app_->presentedSheet() : nullptr) {
    shown["sheet"] = {{"service", "Twitter"}, {"text", foundation::describe(sheet->text())}};
  }
  if (!app_->ok()) shown["error"] = app_->error();
  // Only a screen that shows something else is a new one.
  if (version_ > 0 && shown == shownWithoutVersion_) return;
  shownWithoutVersion_ = shown;
  shown["version"] = ++version_;
  shown_ = std::move(shown);
}

Outcome Screen::act(const Action& action) {
  if (!app_->ok()) return failed(422, app_->error());
  if (action.screen != version_)
    return failed(409, "the screen changed before the click arrived; look again and click once more");
  Outcome outcome;
  try {
    MFMailComposeViewController* mail = app_->presentedMail();
    SLComposeViewController* sheet = app_->presentedSheet();
    if (action.kind == "mail" || action.kind == "sheet") {
      if (action.kind == "mail" && mail) {
        Retained<MFMailComposeViewController> keep = mail;  // the dismissal lets go of it
        if (action.answer == "cancel") {
          mail->cancel();
          outcome.message = "Cancelled.";
        } else {
          std::string path = action.answer == "send" ? mail->send() : mail->save();
          outcome = path.empty() ? failed(422, "the mail was not " + std::string(action.answer == "send" ? "sent: " : "saved: ") +
                                                   mail->failure())
                                 : Outcome{200, (action.answer == "send" ? "Sent: " : "Saved as a draft: ") + path};
        }
      } else if (action.kind == "sheet" && sheet) {
        Retained<SLComposeViewController> keep = sheet;
        if (action.answer == "post") {
          outcome.message = "Posted: " + sheet->post();
        } else {
          sheet->cancel();
          outcome.message = "Cancelled.";
        }
      } else {
        return failed(409, "no " + std::string(action.kind == "mail" ? "mail composer" : "share sheet") + " is open");
      }
    } else if (mail || sheet) {
      return failed(409, std::string("the ") + (mail ? "mail composer" : "share sheet") + " is open: answer it first");
    } else if (action.kind == "row") {
      outcome = tapRow(action.section, action.row);
    } else if (action.kind == "back") {
      outcome = back();
    } else if (action.kind == "share") {
      if (!app_->share()) return failed(409, app_->error());
      if (!app_->presentedSheet()) outcome.message = "Twitter is not available on this device: nothing to share with.";
    }
  } catch (const std::exception& exception) {
    outcome = failed(422, std::string("the Settings app failed: ") + exception.what());
  }
  refresh();
  return outcome;
}

Outcome Screen::tapRow(long section, long index) {
  PSListController* page = app_->page();
  if (!page) return failed(409, "no page is shown");
  const auto& groups = page->groups();
  if (section < 0 || static_cast<std::size_t>(section) >= groups.size() || index < 0 ||
      static_cast<std::size_t>(index) >= groups[section].rows.size())
    return failed(409, fmt::format("the page has no row {} in section {}", index, section));
  PSSpecifier* row = groups[section].rows[index];
  device::PreferencesChange change;
  switch (row->cellType()) {
    case PSSwitchCell: {
      auto* value = objc_cast<NSNumber>(page->valueForSpecifier(row).get());
      page->setSwitch(row, !(value && value->boolValue()));
      break;
    }
    case PSListItemCell: {
      auto* choices = objc_cast<PSListItemsController>(page);
      if (!choices || !choices->pickTitle(text(row->name()))) return failed(422, "the choice \"" + text(row->name()) + "\" could not be picked");
      break;
    }
    case PSLinkCell:
    case PSLinkListCell:
      if (!page->selectRow(row)) return failed(422, "the row \"" + text(row->name()) + "\" opens nothing");
      break;
    case PSButtonCell: page->selectRow(row); break;
    default: return Outcome{200, ""};  // a tap on a text or group row does nothing
  }
  std::string failures;
  for (auto& failure : change.failures()) failures += (failures.empty() ? "" : "; ") + failure;
  return failures.empty() ? Outcome{} : failed(422, failures);
}

Outcome Screen::back() {
  PSListController* page = app_->page();
  if (!page || !shown_.value("back", false)) return failed(409, "this page has no back button");
  page->navigationController()->popViewControllerAnimated(true);
  return {};
}

}  // namespace serve
