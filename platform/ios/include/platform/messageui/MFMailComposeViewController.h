#pragma once

#include "platform/foundation/Foundation.h"
#include "platform/messageui/MessageUITypes.h"
#include "platform/uikit/UIViewController.h"

class MFMailComposeViewController : public UIViewController {
 public:
  static Class class_() { return ORVANE_CLASS("MFMailComposeViewController"); }
  static bool canSendMail() {
    return objc::sendMessage<BOOL>(class_(), ORVANE_SEL("canSendMail"));
  }
  /// A new composer; nil where no account can send, as the system has then told the person.
  /// (Asking canSendMail first would skip the telling: init is what tells.)
  static Retained<MFMailComposeViewController> composer() {
    return objc::allocInit<MFMailComposeViewController>(class_(), ORVANE_SEL("init"));
  }

  void setSubject(NSString* subject) { objc::sendMessage<void>(this, ORVANE_SEL("setSubject:"), subject); }
  void setToRecipients(NSArray* recipients) {
    objc::sendMessage<void>(this, ORVANE_SEL("setToRecipients:"), recipients);
  }
  void setMessageBody_isHTML(NSString* body, bool isHTML) {
    objc::sendMessage<void>(this, ORVANE_SEL("setMessageBody:isHTML:"), body, BOOL(isHTML));
  }
  void addAttachmentData_mimeType_fileName(NSData* data, NSString* mimeType, NSString* fileName) {
    objc::sendMessage<void>(this, ORVANE_SEL("addAttachmentData:mimeType:fileName:"), data, mimeType, fileName);
  }
  void setMailComposeDelegate(NSObject* delegate) {
    objc::sendMessage<void>(this, ORVANE_SEL("setMailComposeDelegate:"), delegate);
  }
};
