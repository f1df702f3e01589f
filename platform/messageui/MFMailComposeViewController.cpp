#include "platform/messageui/MFMailComposeViewController.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/objc/Methods.h"

namespace {

bool printableAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c < 32 || c >= 127) return false;
  return true;
}

/// Control characters (line breaks among them) would end the header: they become blanks.
std::string withoutControls(std::string_view text) {
  std::string out;
  for (unsigned char c : text) out += c < 32 || c == 127 ? ' ' : static_cast<char>(c);
  return out;
}

/// RFC 2047 encoded words of at most 75 characters, split between whole UTF-8 characters.
std::string encodedWords(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    std::size_t take = std::min<std::size_t>(text.size(), 45);  // 45 bytes are 60 base64 characters
    // Split before a blank where there is one: the blank opens the next word, since blanks between words vanish.
    std::size_t blank = take < text.size() ? text.substr(0, take).rfind(' ') : std::string_view::npos;
    if (blank != std::string_view::npos && blank > 0) take = blank;
    while (take < text.size() && take > 0 && (static_cast<unsigned char>(text[take]) & 0xC0) == 0x80) --take;
    if (take == 0) take = std::min<std::size_t>(text.size(), 45);
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + MFBase64(text.substr(0, take)) + "?=";
    text.remove_prefix(take);
  }
  return out;
}

/// An unstructured header value (the subject): ASCII as it is, anything else encoded.
std::string headerText(const std::string& text) {
  std::string clean = withoutControls(text);
  return printableAscii(clean) ? clean : encodedWords(clean);
}

std::string trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

bool atom(std::string_view token) {
  for (unsigned char c : token)
    if (!std::isalnum(c) && std::string_view("!#$%&'*+-/=?^_`{|}~").find(static_cast<char>(c)) == std::string_view::npos)
      return false;
  return !token.empty();
}

/// A display name as a phrase: its words as they are, quoted when ASCII needs it, and the runs of
/// other words as encoded words, so that each stays readable to a parser.
std::string phrase(const std::string& name) {
  std::vector<std::string_view> words;
  for (std::size_t start = 0; start <= name.size();) {
    std::size_t end = std::min(name.find(' ', start), name.size());
    if (end > start) words.push_back(std::string_view(name).substr(start, end - start));
    start = end + 1;
  }
  bool atoms = std::all_of(words.begin(), words.end(), atom);
  if (atoms || !printableAscii(name)) {
    std::string out, run;
    auto flush = [&] {
      if (run.empty()) return;
      out += (out.empty() ? "" : " ") + encodedWords(run);
      run.clear();
    };
    for (auto word : words) {
      if (atom(word)) {
        flush();
        out += (out.empty() ? "" : " ") + std::string(word);
      } else {
        run += (run.empty() ? "" : " ") + std::string(word);
      }
    }
    flush();
    return out;
  }
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string MFMailboxHeader(const std::string& mailbox) {
  std::string text = withoutControls(mailbox);
  std::string name, address = trimmed(text);
  std::size_t open = text.rfind('<');
  if (open != std::string::npos && !address.empty() && address.back() == '>') {
    name = trimmed(std::string_view(text).substr(0, open));
    address = trimmed(std::string_view(text).substr(open + 1, text.find('>', open) - open - 1));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
      std::string unquoted;
      for (std::size_t i = 1; i + 1 < name.size(); ++i) {
        if (name[i] == '\\' && i + 2 < name.size()) ++i;
        unquoted += name[i];
      }
      name = unquoted;
    }
  }
  name = trimmed(name);
  return name.empty() ? address : phrase(name) + " <" + address + ">";
}

namespace {

/// Recipients as an address list header value.
std::string mailboxList(NSArray* list) {
  std::string out;
  if (list)
    for (auto& item : *list) out += (out.empty() ? "" : ",\r\n ") + MFMailboxHeader(foundation::describe(item.get()));
  return out;
}

/// A file name parameter: quoted when ASCII, else in RFC 2231 form.
std::string fileNameParameter(const char* parameter, const std::string& fileName) {
  std::string clean = withoutControls(fileName);
  if (printableAscii(clean)) {
    std::string quoted;
    for (char c : clean) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    return fmt::format("{}=\"{}\"", parameter, quoted);
  }
  std::string encoded;
  for (unsigned char c : clean)
    encoded += std::isalnum(c) || std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos
                   ? std::string(1, static_cast<char>(c))
                   : fmt::format("%{:02X}", c);
  return fmt::format("{}*=UTF-8''{}", parameter, encoded);
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
    objc::addClassFunction(registered, "canSendMail", +[](Class, SEL) -> BOOL { return canSendMail(); });
    // A failed initialiser gives up the instance it was sent to, as every initialiser does.
    objc::addFunction(registered, "init", +[](MFMailComposeViewController* self, SEL) -> id {
      if (self->init()) return self;
      objc_release(self);
      return nullptr;
    });
    objc::addMethod<&MFMailComposeViewController::setSubject>(registered, "setSubject:");
    objc::addMethod<&MFMailComposeViewController::setToRecipients>(registered, "setToRecipients:");
    objc::addMethod<&MFMailComposeViewController::setMessageBody_isHTML>(registered, "setMessageBody:isHTML:");
    objc::addMethod<&MFMailComposeViewController::addAttachmentData_mimeType_fileName>(
        registered, "addAttachmentData:mimeType:fileName:");
    objc::addMethod<&MFMailComposeViewController::setMailComposeDelegate>(registered, "setMailComposeDelegate:");
    if (Protocol* delegate = objc_allocateProtocol("MFMailComposeViewControllerDelegate")) objc_registerProtocol(delegate);
    return registered;
  }();
  return cls;
}

bool MFMailComposeViewController::canSendMail() { return !device::setting("MailAccount").value_or("").empty(); }

Retained<MFMailComposeViewController> MFMailComposeViewController::composer() {
  // Not objc::make: "init" has already freed the instance when it fails.
  id allocated = objc::send<id>(class_(), "alloc");
  return Retained<MFMailComposeViewController>::adopt(
      static_cast<MFMailComposeViewController*>(objc::send<id>(allocated, "init")));
}

MFMailComposeViewController* MFMailComposeViewController::init() {
  if (!canSendMail()) {
    std::fprintf(stderr,
                 "No Mail Accounts: there are no mail accounts set up on this device. (Add one with: %s)\n",
                 device::simulatorCommand("mail-account ADDRESS").c_str());
    return nullptr;
  }
  return this;
}

void MFMailComposeViewController::setSubject(NSString* subject) {
  subject_ = objc::retain(subject);
  fieldOrder_.push_back("subject");
}
void MFMailComposeViewController::setToRecipients(NSArray* recipients) {
  toRecipients_ = objc::retain(recipients);
  fieldOrder_.push_back("to");
}
void MFMailComposeViewController::setCcRecipients(NSArray* recipients) {
  ccRecipients_ = objc::retain(recipients);
  fieldOrder_.push_back("cc");
}
void MFMailComposeViewController::setBccRecipients(NSArray* recipients) {
  bccRecipients_ = objc::retain(recipients);
  fieldOrder_.push_back("bcc");
}
void MFMailComposeViewController::setMessageBody_isHTML(NSString* body, bool isHTML) {
  body_ = objc::retain(body);
  isHTML_ = isHTML;
  fieldOrder_.push_back("body");
}
void MFMailComposeViewController::addAttachmentData_mimeType_fileName(NSData* data, NSString* mimeType, NSString* fileName) {
  if (!data) return;
  std::string name = fileName ? fileName->utf8() : "attachment";
  if (data->length() > maximumAttachmentLength) {
    std::fprintf(stderr, "Mail: the attachment \"%s\" (%zu bytes) is larger than the %zu MB a mail carries; it is left out.\n",
                 name.c_str(), data->length(), maximumAttachmentLength >> 20);
    return;
  }
  attachments_.push_back({data->bytes(), mimeType ? mimeType->utf8() : "application/octet-stream",
                          std::move(name)});
  fieldOrder_.push_back("attachment");
}
void MFMailComposeViewController::setMailComposeDelegate(NSObject* delegate) {
  delegate_ = delegate;
  fieldOrder_.push_back("delegate");
}

std::string MFMailComposeViewController::internetMessage() const {
  std::string boundary = fmt::format("Orvane-Mail-Boundary-{}", static_cast<const void*>(this));
  std::string from = device::setting("MailAccount").value_or("mobile@device.invalid");
  std::string message = "From: " + MFMailboxHeader(from) + "\r\n";
  if (toRecipients_ && toRecipients_->count()) message += "To: " + mailboxList(toRecipients_.get()) + "\r\n";
  if (ccRecipients_ && ccRecipients_->count()) message += "Cc: " + mailboxList(ccRecipients_.get()) + "\r\n";
  if (bccRecipients_ && bccRecipients_->count()) message += "Bcc: " + mailboxList(bccRecipients_.get()) + "\r\n";
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
    message += "Content-Type: " + withoutControls(attachment.mimeType) + "; " + fileNameParameter("name", attachment.fileName) + "\r\n";
    message += "Content-Disposition: attachment; " + fileNameParameter("filename", attachment.fileName) + "\r\n";
    message += "Content-Transfer-Encoding: base64\r\n\r\n";
    message += MFBase64(attachment.data) + "\r\n";
  }
  message += "--" + boundary + "--\r\n";
  return message;
}

std::string MFMailComposeViewController::store(const std::string& folder) {
  auto stamp = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
  std::string folderPath = "/var/mobile/Library/Mail/" + folder;
  std::string devicePath = fmt::format("{}/{}-{}.eml", folderPath, stamp.count(), getpid());
  std::string host = device::hostPath(devicePath);
  failure_.clear();
  if (auto made = files::makeDirectories(device::hostPath(folderPath)); !made)
    failure_ = fmt::format("cannot make the folder {}: {}", folderPath, std::strerror(made.error().code()));
  else if (auto written = files::writeAtomically(host, internetMessage(), files::Durability::Flushed); !written)
    failure_ = fmt::format("cannot write {}: {}", devicePath, std::strerror(written.error().code()));
  return failure_.empty() ? devicePath : "";
}

std::string MFMailComposeViewController::send() {
  std::string path = store("Outbox");
  finish(path.empty() ? MFMailComposeResultFailed : MFMailComposeResultSent);
  return path;
}

std::string MFMailComposeViewController::save() {
  std::string path = store("Drafts");
  finish(path.empty() ? MFMailComposeResultFailed : MFMailComposeResultSaved);
  return path;
}

void MFMailComposeViewController::cancel() { finish(MFMailComposeResultCancelled); }

void MFMailComposeViewController::finish(MFMailComposeResult result) {
  Retained<MFMailComposeViewController> keep = objc::retain(this);  // the delegate's dismissal may drop the last reference
  if (delegate_)
    objc::send(delegate_, "mailComposeController:didFinishWithResult:error:", this, result,
               static_cast<objc_object*>(nullptr));
}

namespace {
[[maybe_unused]] const Class registered = MFMailComposeViewController::class_();
}
