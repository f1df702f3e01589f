// The share sheet as the product reaches it: by selector, its completion
// handler a block that the sheet keeps and runs with each outcome.

#include <gtest/gtest.h>

#include <vector>

#include "platform/objc/BlockLayout.h"
#include "platform/objc/Methods.h"
#include "platform/social/SLComposeViewController.h"
#include "tests/support/TemporaryDevice.h"

namespace {

TEST(ComposeSheet, TheBlockGivenBySelectorRunsWithEachOutcome) {
  AutoreleasePool pool;
  testsupport::TemporaryDevice device;
  Retained<SLComposeViewController> sheet = objc::retain(objc::send<SLComposeViewController*>(
      SLComposeViewController::class_(), "composeViewControllerForServiceType:", SLServiceTypeTwitter));
  ASSERT_TRUE(sheet);
  std::vector<SLComposeViewControllerResult> results;
  {
    objc::OwnedBlock<void(SLComposeViewControllerResult)> block(
        [&results](SLComposeViewControllerResult result) { results.push_back(result); });
    objc::send(sheet.get(), "setCompletionHandler:", block.get());
  }
  sheet->cancel();
  EXPECT_FALSE(sheet->post().empty());
  EXPECT_EQ(results, (std::vector<SLComposeViewControllerResult>{SLComposeViewControllerResultCancelled,
                                                                 SLComposeViewControllerResultDone}));

  objc::send(sheet.get(), "setCompletionHandler:", static_cast<BlockLiteral*>(nullptr));
  sheet->cancel();
  EXPECT_EQ(results.size(), 2u) << "a nil block takes the handler away";
}

}  // namespace
