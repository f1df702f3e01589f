#include "prefs/pages/ShareAction.h"

#include "platform/social/SLComposeViewController.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "support/Objects.h"

namespace orvane {

void installShareButton(UIViewController* page) {
  auto button = UIBarButtonItem::itemWithSystemItem_target_action(UIBarButtonSystemItemCompose, page,
                                                                  sel::tweetSupport);
  page->navigationItem()->setRightBarButtonItem(button.get());
}

void tweetSupport(UIViewController* page) {
  if (!SLComposeViewController::isAvailableForServiceType(SLServiceTypeTwitter)) return;
  Retained<SLComposeViewController> sheet = SLComposeViewController::composeViewControllerForServiceType(SLServiceTypeTwitter);
  sheet->setInitialText(NSSTR("#Orvane is awesome! Thanks @QuillmarkHQ"));
  page->presentViewController_animated_completion(sheet.get(), true, nullptr);
  // The handler holds the sheet without owning it: the presentation keeps it alive.
  SLComposeViewController* shown = sheet.get();
  sheet->setCompletionHandler([shown](SLComposeViewControllerResult) {
    shown->dismissViewControllerAnimated_completion(true, nullptr);
  });
}

}  // namespace orvane
