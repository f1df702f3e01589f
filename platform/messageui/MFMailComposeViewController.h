#pragma once

#include <string>
#include <vector>

#include "platform/foundation/Foundation.h"
#include "platform/messageui/MessageUITypes.h"
#include "platform/uikit/UIViewController.h"

/// The mail composer. On a device without a mail account none can be made:
/// `init` gives nil and the person is told so.
///
/// Its delegate receives "mailComposeController:didFinishWithResult:error:"
/// once the person has sent, saved or cancelled the mail. The protocol
/// "MFMailComposeViewControllerDelegate" is registered with the class.
class MFMailComposeViewController : public UIViewController {
 public:
  struct Attachment {
    std::string data, mimeType, fileName;
  };

  /// An attachment larger than this is left out of the mail (and the person told on stderr).
  static constexpr std::size_t maximumAttachmentLength = std::size_t {20} << 20;

  static Class class_();
  static bool canSendMail();
  /// A new composer, or nil without a mail account.
  static Retained<MFMailComposeViewController> composer();

  MFMailComposeViewController* init();
  void setSubject(NSString* subject);
  void setToRecipients(NSArray* recipients);
  void setCcRecipients(NSArray* recipients);
  void setBccRecipients(NSArray* recipients);
  void setMessageBody_isHTML(NSString* body, bool isHTML);
  void addAttachmentData_mimeType_fileName(NSData* data, NSString* mimeType, NSString* fileName);
  void setMailComposeDelegate(NSObject* delegate);

  NSString* subject() const { return subject_.get(); }
  NSArray* toRecipients() const { return toRecipients_.get(); }
  NSArray* ccRecipients() const { return ccRecipients_.get(); }
  NSArray* bccRecipients() const { return bccRecipients_.get(); }
  NSString* messageBody() const { return body_.get(); }
  bool isHTML() const { return isHTML_; }
  const std::vector<Attachment>& attachments() const { return attachments_; }
  NSObject* mailComposeDelegate() const { return delegate_; }
  /// The fields in the order they were set, by name ("subject", "to", "body", "attachment", "delegate").
  const std::vector<std::string>& fieldOrder() const { return fieldOrder_; }

  /// The message as an internet mail message (MIME, attachments in base64).
  std::string internetMessage() const;

  // What the person does; each writes the message where it belongs and tells the delegate.
  /// Writes the message into the device's outbox (drafts); returns its device
  /// path, or "" when it could not be written (the delegate hears of a failure).
  std::string send();
  std::string save();
  void cancel();
  /// Why the last send or save failed; empty if it did not.
  const std::string& failure() const { return failure_; }

 private:
  std::string store(const std::string& folder);
  void finish(MFMailComposeResult result);

  std::string failure_;

  Retained<NSString> subject_, body_;
  Retained<NSArray> toRecipients_, ccRecipients_, bccRecipients_;
  bool isHTML_ = false;
  std::vector<Attachment> attachments_;
  NSObject* delegate_ = nullptr;
  std::vector<std::string> fieldOrder_;
};

/// A mailbox ("Display Name <address>" or a bare address) as an address header
/// carries it: the display name as it is, quoted, or in RFC 2047 encoded words.
std::string MFMailboxHeader(const std::string& mailbox);

/// Standard base64 with line breaks every 76 characters, as mail carries it.
std::string MFBase64(std::string_view bytes);
