// Words as orvane-sim's command line: whatever they are, the parser answers
// with help, one line naming a mistake, or an invocation its handler can
// read without checking again.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "sim/orvane-sim/Commands.h"
#include "tests/fuzz/FuzzTarget.h"

namespace {

/// The words of an input: its bytes split at NUL.
std::vector<std::string> wordsOf(const uint8_t* data, size_t size) {
  std::vector<std::string> words(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) words.emplace_back();
    else words.back() += static_cast<char>(data[i]);
  }
  if (size == 0) words.clear();
  return words;
}

std::string input(const std::vector<std::string>& words) {
  std::string bytes;
  for (std::size_t i = 0; i < words.size(); ++i) bytes += (i ? std::string(1, '\0') : "") + words[i];
  return bytes;
}

void check(const cli::Invocation& invocation) {
  for (const auto& [name, value] : invocation.options)
    if (name == "--version") return;  // answered alone
  const cli::Command& command = invocation.command();
  if (!command.handler) std::abort();
  std::size_t required = std::count_if(command.arguments.begin(), command.arguments.end(),
                                       [](const cli::Argument& argument) { return !argument.optional; });
  bool many = !command.arguments.empty() && command.arguments.back().name.ends_with("...");
  if (invocation.arguments.size() < required || (!many && invocation.arguments.size() > command.arguments.size()))
    std::abort();
  for (std::size_t i = 0; i < invocation.arguments.size() && i < command.arguments.size(); ++i) {
    const auto& choices = command.arguments[i].choices;
    if (!choices.empty() && std::find(choices.begin(), choices.end(), invocation.arguments[i]) == choices.end())
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Help and mistakes are printed; not here. The fuzzer's and sanitizers' own
  // reports do not go through these streams.
  static std::FILE* sink = std::fopen("/dev/null", "w");
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  stdout = sink;
  stderr = sink;
  int status = -1;
  auto words = wordsOf(data, size);
  auto invocation = cli::parse(commands::table(), words, status);
  cli::closest(words.empty() ? "" : words.front(), {"press", "settings", "springboard"});
  stdout = out;
  stderr = err;
  if (invocation ? status != 0 : status != 0 && status != cli::usageError) std::abort();
  if (invocation) check(*invocation);
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  return {input({"press", "up", "3"}),
          input({"--device=/tmp/x", "settings", "show", "Sound Themes", "--json"}),
          input({"settings", "--mail", "send", "tap", "Contact Support"}),
          input({"defaults", "write", "com.quillmark.orvane", "isEnabled", "-bool", "true"}),
          input({"defaults", "write", "--", "-key", "-value"}),
          input({"help", "defaults", "write"}),
          input({"prss", "--help"}),
          input({"init", "--idiom", "pad", "--ios", "8.1", "--mail-account", "none"}),
          input({"--version", "nonsense"}),
          input({"log", "--json=x"}),
          input({"completion", "zsh"}),
          input({""}),
          ""};
}
