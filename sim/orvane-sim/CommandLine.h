#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/result/Result.h"

// The command line of orvane-sim: a table of commands from which parsing,
// usage, help, shell completion and the manual page are all made.
namespace cli {

/// What a shell completes a word with beyond the table's names and choices:
/// files and folders of this computer, or names the device has
/// (`orvane-sim names KIND` prints them).
enum class Completion { None, Files, Directories, Themes, Keys, Pages, Packages };

struct Option {
  std::string name{};                  // "--json", or "-bool" as `defaults` spells its types
  std::string value{};                 // the placeholder of its value ("DIR"); empty for a flag
  std::string help{};
  std::vector<std::string> choices{};  // the only values it takes, if set
  std::string alias{};                 // a second spelling ("-f")
  bool alone = false;                // answered whatever else is given (--version): nothing else is checked
  /// Whether a value fits; the error says what it should be ("seconds from 0 to 3600").
  orvane::Result<void> (*check)(const std::string& value) = nullptr;
  Completion completes = Completion::None;
};

struct Argument {
  std::string name{};                  // "N", "PATH"; with choices, shown as them ("up|down"); a last
                                     // argument named "NAME..." takes every word left
  std::vector<std::string> choices{};  // the only words it takes, if set
  bool optional = false;
  /// Whether a word fits; the error says what it should be ("a whole number from 1 to 100000").
  orvane::Result<void> (*check)(const std::string& word) = nullptr;
  std::string what{};                  // the noun of its errors ("count" -> bad count "0"); else "value"
  bool namesCommand = false;           // completed with the table's commands (help)
  Completion completes = Completion::None;
};

struct Invocation;
using Handler = int (*)(const Invocation&);

struct Command {
  std::string name{};
  std::string summary{};               // one line, in lists
  std::string help{};                  // what follows the usage line in its help; summary if empty
  std::vector<Argument> arguments{};
  std::vector<Option> options{};
  Handler handler = nullptr;         // none: one of the subcommands must follow
  std::vector<Command> subcommands{};
  std::string synopsis{};              // what follows the name in usage lines, when the made one does not say it well
};

/// A command line that fits the table: its command, its words and its options.
struct Invocation {
  std::vector<const Command*> path{};  // the whole table first, the command last
  std::vector<std::string> arguments{};
  std::map<std::string, std::string> options;  // by name; a flag's value is ""

  const Command& command() const { return *path.back(); }
  const Command& table() const { return *path.front(); }
  bool has(const std::string& option) const { return options.count(option) != 0; }
  std::string option(const std::string& name, const std::string& fallback = "") const;
  /// "settings show", or "" for the table itself.
  std::string commandName() const;
};

constexpr int usageError = 2;

/// Reads the words after the program's name. Returns the invocation to run;
/// otherwise it has printed help (`status` 0) or said the mistake (`status` 2).
std::optional<Invocation> parse(const Command& table, const std::vector<std::string>& words, int& status);

/// Says a wrong use in one line on standard error, with the closest of
/// `candidates` when one is close, and where to read more; returns 2.
int wrongUse(const Invocation& invocation, const std::string& what, const std::vector<std::string>& candidates = {});

/// The candidate nearest to `word` in spelling, or "" if none is near enough.
std::string closest(const std::string& word, const std::vector<std::string>& candidates);

/// The command the words name below `from` (nullptr if they name none), with
/// the commands passed on the way.
std::vector<const Command*> find(const Command& from, const std::vector<std::string>& words);

/// The help of the last command of `path` (the whole table first).
std::string help(const std::vector<const Command*>& path, bool colour);
std::string bashCompletion(const Command& table);
std::string zshCompletion(const Command& table);
std::string fishCompletion(const Command& table);

/// The manual page's sections beyond the commands; each entry is a name and its paragraph.
struct Manual {
  std::vector<std::pair<std::string, std::string>> environment{};
  std::vector<std::pair<std::string, std::string>> files{};
  std::vector<std::pair<std::string, std::string>> exitStatus{};
  std::vector<std::pair<std::string, std::string>> examples{};  // what it does, the command
  std::vector<std::string> seeAlso{};                            // "dpkg(1)"
};
std::string manualPage(const Command& table, const std::string& version, const Manual& manual = {});

/// Whether to colour what goes to `stream`: only a terminal, and never with NO_COLOR set.
bool colourFor(std::FILE* stream);

}  // namespace cli
