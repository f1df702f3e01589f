#pragma once

#include <string>

// The system's own words on screen (the Settings app's title, the status
// bar's carrier, the bars' and sheets' buttons), in the device's language.
namespace settings {

enum class SystemText { Settings, Back, Cancel, Send, Post, Carrier, NewMessage, To, CcBcc, Subject };

/// The text in the device's preferred language ("de-AT" reads German), English where it has none.
std::string systemText(SystemText text);

}  // namespace settings
