#include "prefs/pages/OrvaneListController.h"

#include "contract/Orvane.h"
#include "platform/libc/Spawn.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/mobilegestalt/MobileGestalt.h"
#include "platform/objc/Methods.h"
#include "prefs/pages/ShareAction.h"
#include "prefs/pages/TitledPage.h"
#include "prefs/views/QMOrvaneCustomHeaderView.h"
#include "prefs/views/QMOrvaneLogoTableCell.h"
#include "support/Objects.h"

namespace {
// The most a mail carries per attachment; a larger file stays off the mail unread.
constexpr unsigned long long largestAttachment = 20ull << 20;
}  // namespace

Class OrvaneListController::class_() {
  using Page = OrvaneListController;
  using objc::method;
  namespace sel = orvane::sel;
  static Class cls = objc::defineClass({
      .name = "OrvaneListController",
      .superclass = QMOrvaneListController::class_(),
      .methods = objc::join({{method<&Page::specifiers>(sel::specifiers), method<&Page::viewDidLoad>(sel::viewDidLoad),
                              method<&Page::increaseAlpha>(sel::increaseAlpha), method<&Page::emailQM>(sel::emailQM),
                              method<&Page::tableView_viewForHeaderInSection>(sel::tableView_viewForHeaderInSection),
                              method<&Page::tableView_heightForHeaderInSection>(sel::tableView_heightForHeaderInSection),
                              method<&Page::mailComposeController_didFinishWithResult_error>(
                                  sel::mailComposeController_didFinishWithResult_error)},
                             orvane::shareActionMethods<Page>()}),
      // The page is the support mail's delegate, and says so as the platform's classes do.
      .protocols = {"MFMailComposeViewControllerDelegate"},
  });
  return cls;
}

NSArray* OrvaneListController::specifiers() { return orvane::loadedSpecifiers(this, NSSTR("Orvane")); }

void OrvaneListController::viewDidLoad() {
  auto logo = UIImage::imageWithContentsOfFile(
      NSSTR(orvane::contract::bundlePath)->stringByAppendingString(NSSTR("/headerLogo.png")).get());
  // A template image is drawn in the bar's tint, which the theme makes white.
  Retained<UIImage> tinted = logo ? logo->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate) : nullptr;
  navigationItem()->setTitleView(UIImageView::imageViewWithImage(tinted.get()).get());
  navigationItem()->titleView()->setAlpha(0.0);
  // The one override that calls its base last: the logo is in place, invisible, first.
  objc::sendSuper(class_(), this, orvane::sel::viewDidLoad);
  NSTimer::scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(0.5, this, orvane::sel::increaseAlpha,
                                                                            nullptr, false);
}

void OrvaneListController::increaseAlpha() {
  Retained<OrvaneListController> page = objc::retain(this);
  UIView::animateWithDuration_animations_completion(0.5, [page] { page->navigationItem()->titleView()->setAlpha(1.0); },
                                                    nullptr);
}

UIView* OrvaneListController::tableView_viewForHeaderInSection(UITableView*, long section) {
  // A new view every time; the table owns it.
  Class headerClass = section == 0 ? QMOrvaneCustomHeaderView::class_() : section == 4 ? QMOrvaneLogoTableCell::class_() : nullptr;
  if (!headerClass) return nullptr;
  return objc::make<UIView>(headerClass, orvane::sel::init).autorelease();
}

CGFloat OrvaneListController::tableView_heightForHeaderInSection(UITableView*, long section) {
  if (section == 0) return 140.0;
  if (section == 4) return 30.0;
  return UITableView::automaticDimension;
}

void OrvaneListController::emailQM() {
  Retained<MFMailComposeViewController> composer = MFMailComposeViewController::composer();
  if (!composer) return;  // no mail account: the platform has told the person
  composer->setSubject(NSSTR("Orvane Support"));
  composer->setToRecipients(NSArray::arrayWithObjects({NSSTR("Quillmark Support <support@quillmark.example>")}).get());
  auto model = Retained<NSObject>::adopt(MGCopyAnswer(NSSTR("ProductType")));
  auto version = Retained<NSObject>::adopt(MGCopyAnswer(NSSTR("ProductVersion")));
  auto build = Retained<NSObject>::adopt(MGCopyAnswer(NSSTR("BuildVersion")));
  auto body = NSString::stringWithFormat(NSSTR("\n\nCurrent Device: %@, iOS %@ (%@)"), model, version, build);
  composer->setMessageBody_isHTML(body.get(), false);
  // An attachment whose file cannot be read is left out rather than sent empty; one that is no
  // regular file, or too large to mail, is not even read.
  NSString* preferencesPath = NSSTR(orvane::contract::preferencesPath);
  auto attributes = NSFileManager::defaultManager()->attributesOfItemAtPath_error(preferencesPath, nullptr);
  if (attributes && attributes->fileType() && orvane::utf8(attributes->fileType()) == "NSFileTypeRegular" &&
      attributes->fileSize() <= largestAttachment)
    if (auto preferences = NSData::dataWithContentsOfFile(preferencesPath))
      composer->addAttachmentData_mimeType_fileName(preferences.get(), NSSTR("application/xml"), NSSTR("OrvanePrefs.plist"));
  // No shell, and a fresh file read back through its own descriptor: whatever is put at the
  // fixed name is never read, and without a fresh file there is no attachment.
  constexpr auto dpkg = orvane::contract::installRoot + "/usr/bin/dpkg";
  auto packages =
      libc::runWithOutputFile(dpkg.c_str(), {"-l"}, "/tmp/dpkgl.log", largestAttachment).contents;
  if (packages)
    composer->addAttachmentData_mimeType_fileName(NSData::dataWithBytes(*packages).get(), NSSTR("text/plain"),
                                                  NSSTR("dpkgl.txt"));
  if (UINavigationController* navigation = navigationController())
    navigation->presentViewController_animated_completion(composer.get(), true, nullptr);
  composer->setMailComposeDelegate(this);
}

void OrvaneListController::mailComposeController_didFinishWithResult_error(NSObject*, MFMailComposeResult, objc_object*) {
  dismissViewControllerAnimated_completion(true, nullptr);
}
