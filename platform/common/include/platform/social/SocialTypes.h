#pragma once

// Social's plain types and constants, shared by both targets: the device's own values.

class NSString;

/// An NSInteger on the device, as the completion handler receives it.
typedef long SLComposeViewControllerResult;
enum : SLComposeViewControllerResult {
  SLComposeViewControllerResultCancelled = 0,
  SLComposeViewControllerResultDone = 1,
};

extern "C" NSString* const SLServiceTypeTwitter;
