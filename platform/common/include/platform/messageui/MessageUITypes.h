#pragma once

// MessageUI's plain types and constants, shared by both targets: the device's own values.

/// An NSInteger on the device, as the delegate method receives it.
typedef long MFMailComposeResult;
enum : MFMailComposeResult {
  MFMailComposeResultCancelled = 0,
  MFMailComposeResultSaved = 1,
  MFMailComposeResultSent = 2,
  MFMailComposeResultFailed = 3,
};
