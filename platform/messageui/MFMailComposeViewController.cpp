#include "platform/messageui/MFMailComposeViewController.h"

#include <fmt/format.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/objc/Methods.h"

namespace {

std::string joined(NSArray* list) {
  std::string out;
  if (list)
    for (auto& item : *list) out += (out.empty() ? "" : ", ") + foundation::describe(item.get());
  return out;
}

/// A header value: plain ASCII as it is, anything else as an RFC 2047 encoded word.
std::string headerText(const std::string& text) {
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c >= 32 && c < 127;
  if (ascii) return text;
  std::string encoded = MFBase64(text);
  std::erase(encoded, '\n');
  return "=?UTF-8?B?" + encoded + "?=";
}

std::string rfc2822Date() {
  std::time_t now = std::time(nullptr);
  std::tm utc {};
  gmtime_r(&now, &utc);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", &utc);
  return text;
}

}  // namespace

std::string MFBase64(std::string_view bytes) {
  static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t column = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t chunk = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) chunk |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) chunk |= static_cast<unsigned char>(bytes[i + 2]);
    out += alphabet[(chunk >> 18) & 63];
    out += alphabet[(chunk >> 12) & 63];
    out += i + 1 < bytes.size() ? alphabet[(chunk >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? alphabet[chunk & 63] : '=';
    if ((column += 4) == 76 && i + 3 < bytes.size()) {
      out += "\r\n";
      column = 0;
    }
  }
  return out;
}

Class MFMailComposeViewController::class_() {
  static Class cls = [] {
    Class registered =
        objc_registerCppClass<MFMailComposeViewController>("MFMailComposeViewController", UIViewController::class_());
    objc::addMethod<&MFMailComposeViewController::init>(registered, "init");
    return registered;
  }();
  return cls;
}

bool MFMailComposeViewController::canSendMail() { return !device::setting("MailAccount").value_or("").empty(); }

Retained<MFMailComposeViewController> MFMailComposeViewController::composer() {
  return objc::make<MFMailComposeViewController>(class_(), "init");
}

MFMailComposeViewController* MFMailComposeViewController::init() {
  if (!canSendMail()) {
    std::fprintf(stderr,
                 "No Mail Accounts: there are no mail accounts set up on this device. "
                 "(Add one with: orvane-sim mail-account ADDRESS)\n");
    return nullptr;
  }
  return this;
}

void MFMailComposeViewController::setSubject(NSString* subject) {
  subject_ = subject;
  fieldOrder_.push_back("subject");
}
void MFMailComposeViewController::setToRecipients(NSArray* recipients) {
  toRecipients_ = recipients;
  fieldOrder_.push_back("to");
}
void MFMailComposeViewController::setCcRecipients(NSArray* recipients) {
  ccRecipients_ = recipients;
  fieldOrder_.push_back("cc");
}
void MFMailComposeViewController::setBccRecipients(NSArray* recipients) {
  bccRecipients_ = recipients;
  fieldOrder_.push_back("bcc");
}
void MFMailComposeViewController::setMessageBody_isHTML(NSString* body, bool isHTML) {
  body_ = body;
  isHTML_ = isHTML;
  fieldOrder_.push_back("body");
}
void MFMailComposeViewController::addAttachmentData_mimeType_fileName(NSData* data, NSString* mimeType, NSString* fileName) {
  if (!data) return;
  attachments_.push_back({data->bytes(), mimeType ? mimeType->utf8() : "application/octet-stream",
                          fileName ? fileName->utf8() : "attachment"});
  fieldOrder_.push_back("attachment");
}
void MFMailComposeViewController::setMailComposeDelegate(NSObject* delegate) {
  delegate_ = delegate;
  fieldOrder_.push_back("delegate");
}

std::string MFMailComposeViewController::internetMessage() const {
  std::string boundary = fmt::format("Orvane-Mail-Boundary-{}", static_cast<const void*>(this));
  std::string from = device::setting("MailAccount").value_or("mobile@device.invalid");
  std::string message = "From: " + headerText(from) + "\r\n";
  if (toRecipients_ && toRecipients_->count()) message += "To: " + headerText(joined(toRecipients_)) + "\r\n";
  if (ccRecipients_ && ccRecipients_->count()) message += "Cc: " + headerText(joined(ccRecipients_)) + "\r\n";
  if (bccRecipients_ && bccRecipients_->count()) message += "Bcc: " + headerText(joined(bccRecipients_)) + "\r\n";
  message += "Subject: " + headerText(subject_ ? subject_->utf8() : "") + "\r\n";
  message += "Date: " + rfc2822Date() + "\r\n";
  message += "MIME-Version: 1.0\r\n";
  message += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
  message += "--" + boundary + "\r\n";
  message += std::string("Content-Type: ") + (isHTML_ ? "text/html" : "text/plain") + "; charset=utf-8\r\n";
  message += "Content-Transfer-Encoding: base64\r\n\r\n";
  message += MFBase64(body_ ? body_->utf8() : "") + "\r\n";
  for (auto& attachment : attachments_) {
    message += "--" + boundary + "\r\n";
    message += "Content-Type: " + attachment.mimeType + "; name=\"" + attachment.fileName + "\"\r\n";
    message += "Content-Disposition: attachment; filename=\"" + attachment.fileName + "\"\r\n";
    message += "Content-Transfer-Encoding: base64\r\n\r\n";
    message += MFBase64(attachment.data) + "\r\n";
  }
  message += "--" + boundary + "--\r\n";
  return message;
}

namespace {
std::string store(const std::string& folder, const std::string& message) {
  auto stamp = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
  std::string devicePath = fmt::format("/var/mobile/Library/Mail/{}/{}-{}.eml", folder, stamp.count(), getpid());
  std::string host = device::hostPath(devicePath);
  files::makeDirectories(host.substr(0, host.rfind('/')));
  return files::writeAtomically(host, message, files::Durability::Flushed) ? devicePath : "";
}
}  // namespace

std::string MFMailComposeViewController::send() {
  std::string path = store("Outbox", internetMessage());
  finish(path.empty() ? MFMailComposeResultFailed : MFMailComposeResultSent);
  return path;
}

std::string MFMailComposeViewController::save() {
  std::string path = store("Drafts", internetMessage());
  finish(path.empty() ? MFMailComposeResultFailed : MFMailComposeResultSaved);
  return path;
}

void MFMailComposeViewController::cancel() { finish(MFMailComposeResultCancelled); }

void MFMailComposeViewController::finish(MFMailComposeResult result) {
  Retained<MFMailComposeViewController> keep = this;  // the delegate's dismissal may drop the last reference
  if (delegate_)
    objc::send(delegate_, "mailComposeController:didFinishWithResult:error:", this, result,
               static_cast<objc_object*>(nullptr));
}

namespace {
[[maybe_unused]] const Class registered = MFMailComposeViewController::class_();
}
