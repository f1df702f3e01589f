#include "sim/orvane-sim/CommandLine.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>

namespace cli {

namespace {

constexpr const char* program = "orvane-sim";
constexpr std::size_t kWidth = 80;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

/// Edits (insert, delete, replace, swap of neighbours) from one word to the other.
std::size_t distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

/// "a", "a or b", "a, b or c".
std::string alternatives(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i)
    text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  return text;
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : separator) + word;
  return text;
}

/// A word in quotes, control characters escaped so that a message stays one line.
std::string quoted(const std::string& word) {
  std::string text = "\"";
  for (char c : word) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\n') text += "\\n";
    else if (c == '\t') text += "\\t";
    else if (c == '"' || c == '\\') text += std::string("\\") + c;
    else if (byte < 0x20 || byte == 0x7f) text += "\\x" + std::string(1, "0123456789abcdef"[byte >> 4]) + "0123456789abcdef"[byte & 15];
    else text += c;
  }
  return text + "\"";
}

std::string argumentText(const Argument& argument) {
  std::string name = argument.choices.empty() ? argument.name : joined(argument.choices, "|");
  return argument.optional ? "[" + name + "]" : name;
}

std::string optionText(const Option& option) {
  std::string value = option.choices.empty() ? option.value : joined(option.choices, "|");
  return option.name + (value.empty() ? "" : " " + value);
}

/// What follows a command's name in a usage line.
std::string synopsis(const Command& command) {
  if (!command.synopsis.empty()) return command.synopsis;
  std::vector<std::string> parts;
  if (!command.subcommands.empty()) {
    std::vector<std::string> names;
    for (const auto& sub : command.subcommands) names.push_back(sub.name);
    parts.push_back(joined(names, "|") + " ...");
  }
  for (const auto& option : command.options) parts.push_back("[" + optionText(option) + "]");
  for (const auto& argument : command.arguments) parts.push_back(argumentText(argument));
  return joined(parts, " ");
}

std::string pathName(const std::vector<const Command*>& path) {
  std::string name;
  for (std::size_t i = 1; i < path.size(); ++i) name += (name.empty() ? "" : " ") + path[i]->name;
  return name;
}

/// Calls `use` with the path of every command below `command` and of itself.
void everyCommand(const Command& command, std::vector<const Command*>& path,
                  const std::function<void(const std::vector<const Command*>&)>& use) {
  path.push_back(&command);
  use(path);
  for (const auto& sub : command.subcommands) everyCommand(sub, path, use);
  path.pop_back();
}

/// The same for the commands that run something.
void leaves(const Command& table, const std::function<void(const std::vector<const Command*>&)>& use) {
  std::vector<const Command*> path;
  everyCommand(table, path, [&](const std::vector<const Command*>& at) {
    if (at.back()->handler && at.size() > 1) use(at);
  });
}

/// The parts of `text` between separators, empty ones too: "a\n" is "a" and "".
std::vector<std::string> partsOf(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

/// Paragraphs filled to the width, each line indented; lines that begin with a
/// space are kept as they are.
std::string filled(const std::string& text, std::size_t indent) {
  if (text.empty()) return "";
  std::string out, line;
  std::string margin(indent, ' ');
  auto flush = [&] {
    if (!line.empty()) out += margin + line + "\n";
    line.clear();
  };
  for (const std::string& source : partsOf(text, '\n')) {
    if (source.empty()) {
      flush();
      out += "\n";
      continue;
    }
    if (source[0] == ' ') {
      flush();
      out += margin + source + "\n";
      continue;
    }
    for (const std::string& word : partsOf(source, ' ')) {
      if (word.empty()) continue;
      if (!line.empty() && indent + line.size() + 1 + word.size() > kWidth) flush();
      line += (line.empty() ? "" : " ") + word;
    }
  }
  flush();
  while (out.size() >= 2 && out.substr(out.size() - 2) == "\n\n") out.pop_back();
  return out;
}

/// One line of words broken to the width, never inside brackets; lines after
/// the first indented by `hanging`.
std::string broken(const std::string& text, std::size_t hanging) {
  std::vector<std::string> words(1);
  int depth = 0;
  for (char c : text) {
    depth += c == '[' ? 1 : c == ']' ? -1 : 0;
    if (c == ' ' && depth <= 0) words.emplace_back();
    else words.back() += c;
  }
  std::string out, line;
  for (const auto& word : words) {
    std::size_t margin = out.empty() ? 0 : hanging;
    if (!line.empty() && margin + line.size() + 1 + word.size() > kWidth) {
      out += std::string(margin, ' ') + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return out + std::string(out.empty() ? 0 : hanging, ' ') + line + "\n";
}

/// "  name    summary" rows, the summaries in one column.
std::string rows(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::size_t column = 0;
  for (const auto& [left, right] : entries)
    if (left.size() <= 30) column = std::max(column, left.size());
  std::string out;
  for (const auto& [left, right] : entries) {
    if (left.size() > column) {
      out += "  " + broken(left, 6) + filled(right, column + 4);
    } else {
      std::string text = filled(right, column + 4);
      out += "  " + left + (text.empty() ? "\n" : text.substr(left.size() + 2));
    }
  }
  return out;
}

const Option* findOption(const std::vector<const Command*>& path, const std::string& name) {
  for (auto command = path.rbegin(); command != path.rend(); ++command)
    for (const auto& option : (*command)->options)
      if (option.name == name || option.alias == name) return &option;
  return nullptr;
}

/// An option some command below `command` takes (a word given before its command).
const Option* findBelow(const Command& command, const std::string& name) {
  for (const auto& sub : command.subcommands) {
    for (const auto& option : sub.options)
      if (option.name == name || option.alias == name) return &option;
    if (const Option* found = findBelow(sub, name)) return found;
  }
  return nullptr;
}

/// " (settings tap takes it)": the commands that do take an option given to another, if any.
std::string takenBy(const Command& table, const std::string& name) {
  std::vector<std::string> takers;
  std::vector<const Command*> walk;
  everyCommand(table, walk, [&](const std::vector<const Command*>& path) {
    for (const auto& option : path.back()->options)
      if (option.name == name || option.alias == name) takers.push_back(pathName(path));
  });
  if (takers.empty()) return "";
  return " (" + alternatives(takers) + (takers.size() == 1 ? " takes it)" : " take it)");
}

std::vector<std::string> optionNames(const std::vector<const Command*>& path) {
  std::vector<std::string> names;
  for (auto command = path.rbegin(); command != path.rend(); ++command)
    for (const auto& option : (*command)->options) {
      names.push_back(option.name);
      if (!option.alias.empty()) names.push_back(option.alias);
    }
  names.push_back("--help");
  return names;
}

bool isOptionWord(const std::string& word) {
  return word.size() > 1 && word[0] == '-' && (std::isalpha(static_cast<unsigned char>(word[1])) || word[1] == '-');
}

bool isHelp(const std::string& word) { return word == "--help" || word == "-h"; }

std::string roff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
    lineStart = c == '\n';
  }
  return out;
}

/// Paragraphs as roff: blank lines start new ones, lines beginning with a space are kept as they are.
std::string roffParagraphs(const std::string& text) {
  std::string out;
  bool verbatim = false;
  for (const std::string& line : partsOf(text, '\n')) {
    bool kept = !line.empty() && line[0] == ' ';
    if (kept && !verbatim) out += ".nf\n";
    if (!kept && verbatim) out += ".fi\n";
    verbatim = kept;
    out += line.empty() ? ".sp\n" : roff(line) + "\n";
  }
  if (verbatim) out += ".fi\n";
  return out;
}

}  // namespace

std::string Invocation::option(const std::string& name, const std::string& fallback) const {
  auto found = options.find(name);
  return found == options.end() ? fallback : found->second;
}

std::string Invocation::commandName() const { return pathName(path); }

bool colourFor(std::FILE* stream) {
  const char* noColour = std::getenv("NO_COLOR");
  return (!noColour || !*noColour) && ::isatty(::fileno(stream)) == 1;
}

std::string closest(const std::string& word, const std::vector<std::string>& candidates) {
  std::string typed = lower(word);
  std::string best;
  std::size_t bestDistance = typed.size() <= 4 ? 1 : 2;
  bool found = false;
  for (const auto& candidate : candidates) {
    // Words further apart in length are further apart in spelling too.
    std::size_t apart = typed.size() > candidate.size() ? typed.size() - candidate.size() : candidate.size() - typed.size();
    if (apart > bestDistance) continue;
    std::size_t d = distance(typed, lower(candidate));
    if (d <= bestDistance && (!found || d < bestDistance)) {
      best = candidate;
      bestDistance = d;
      found = true;
    }
  }
  if (found || typed.size() < 3) return best;
  // A start of only one of them.
  for (const auto& candidate : candidates) {
    if (lower(candidate).rfind(typed, 0) != 0) continue;
    if (!best.empty()) return "";
    best = candidate;
  }
  return best;
}

int wrongUse(const Invocation& invocation, const std::string& what, const std::vector<std::string>& candidates) {
  std::string name = invocation.commandName();
  std::string line = std::string(program) + (name.empty() ? "" : " " + name) + ": " + what;
  // The word a mistake is about is the last quoted one in its message.
  std::size_t close = what.rfind('"');
  std::size_t open = close == std::string::npos || close == 0 ? std::string::npos : what.rfind('"', close - 1);
  std::string word = open == std::string::npos ? "" : what.substr(open + 1, close - open - 1);
  if (std::string suggestion = closest(word, candidates); !word.empty() && !suggestion.empty() && suggestion != word)
    line += ", did you mean " + suggestion + "?";
  line += std::string(" (see ") + program + (name.empty() ? "" : " " + name) + " --help)";
  bool colour = colourFor(stderr);
  std::fprintf(stderr, "%s%s\n", colour ? "\033[1;31m" : "", (line + (colour ? "\033[0m" : "")).c_str());
  return usageError;
}

std::vector<const Command*> find(const Command& from, const std::vector<std::string>& words) {
  std::vector<const Command*> path = {&from};
  for (const auto& word : words) {
    auto found = std::find_if(path.back()->subcommands.begin(), path.back()->subcommands.end(),
                              [&](const Command& sub) { return sub.name == word; });
    if (found == path.back()->subcommands.end()) return {};
    path.push_back(&*found);
  }
  return path;
}

std::optional<Invocation> parse(const Command& table, const std::vector<std::string>& words, int& status) {
  Invocation invocation;
  invocation.path = {&table};
  bool helpWanted = false, optionsEnded = false;
  struct Pending {
    std::string name, value;
  };
  std::vector<Pending> early;  // options given before the command that takes them
  std::string mistake;
  std::vector<std::string> candidates;

  for (std::size_t at = 0; at < words.size() && mistake.empty(); ++at) {
    const std::string& word = words[at];
    const Command& current = invocation.command();
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && isHelp(word)) {
      helpWanted = true;
      continue;
    }
    if (!optionsEnded && isOptionWord(word)) {
      std::string name = word, value;
      bool inlineValue = false;
      if (std::size_t equals = word.find('='); word.rfind("--", 0) == 0 && equals != std::string::npos) {
        name = word.substr(0, equals);
        value = word.substr(equals + 1);
        inlineValue = true;
      }
      const Option* option = findOption(invocation.path, name);
      bool later = false;
      if (!option && (option = findBelow(current, name))) later = true;
      if (!option) {
        mistake = "unknown option " + quoted(name) + takenBy(table, name);
        candidates = optionNames(invocation.path);
        break;
      }
      if (option->value.empty() && inlineValue) {
        mistake = option->name + " takes no value, not " + quoted(value);
        break;
      }
      if (!option->value.empty() && !inlineValue) {
        if (at + 1 >= words.size()) {
          mistake = option->name + " needs a value (" +
                    (option->choices.empty() ? option->value : alternatives(option->choices)) + ")";
          break;
        }
        value = words[++at];
      }
      if (later) early.push_back({option->name, value});
      else invocation.options[option->name] = value;
      continue;
    }
    if (invocation.arguments.empty() && !current.subcommands.empty()) {
      auto sub = std::find_if(current.subcommands.begin(), current.subcommands.end(),
                              [&](const Command& command) { return command.name == word; });
      if (sub != current.subcommands.end()) {
        invocation.path.push_back(&*sub);
        continue;
      }
      if (!current.handler) {
        mistake = std::string(invocation.path.size() == 1 ? "unknown command " : "unknown subcommand ") + quoted(word);
        for (const auto& command : current.subcommands) candidates.push_back(command.name);
        break;
      }
    }
    invocation.arguments.push_back(word);
  }

  if (helpWanted) {
    std::fputs(help(invocation.path, colourFor(stdout)).c_str(), stdout);
    status = 0;
    return std::nullopt;
  }
  for (const auto& [name, value] : invocation.options)
    if (const Option* option = findOption(invocation.path, name); mistake.empty() && option && option->alone) {
      status = 0;
      return invocation;
    }
  const Command& command = invocation.command();
  if (mistake.empty()) {
    for (const auto& given : early) {
      if (findOption(invocation.path, given.name)) {
        invocation.options[given.name] = given.value;
      } else if (mistake.empty()) {
        mistake = "unknown option " + quoted(given.name) + takenBy(table, given.name);
        candidates = optionNames(invocation.path);
      }
    }
  }
  if (mistake.empty() && !command.handler) {
    std::vector<std::string> names;
    for (const auto& sub : command.subcommands) names.push_back(sub.name);
    mistake = invocation.path.size() == 1 ? "missing command" : "missing subcommand: " + alternatives(names);
  }
  if (mistake.empty()) {
    std::size_t required = 0;
    for (const auto& argument : command.arguments) required += argument.optional ? 0 : 1;
    bool many = !command.arguments.empty() && command.arguments.back().name.ends_with("...");
    if (invocation.arguments.size() < required) {
      const Argument& missing = command.arguments[invocation.arguments.size()];
      mistake = "missing " + (missing.choices.empty() ? missing.name : missing.what + ": " + alternatives(missing.choices));
    } else if (invocation.arguments.size() > command.arguments.size() && !many) {
      mistake = "unexpected argument " + quoted(invocation.arguments[command.arguments.size()]);
    }
  }
  for (std::size_t i = 0; mistake.empty() && i < invocation.arguments.size() && i < command.arguments.size(); ++i) {
    const Argument& argument = command.arguments[i];
    const std::string& word = invocation.arguments[i];
    std::string noun = argument.what.empty() ? "value" : argument.what;
    if (!argument.choices.empty() && std::find(argument.choices.begin(), argument.choices.end(), word) == argument.choices.end()) {
      mistake = "bad " + noun + " " + quoted(word) + ": " + alternatives(argument.choices);
      candidates = argument.choices;
    } else if (argument.check) {
      if (auto fits = argument.check(word); !fits)
        mistake = "bad " + noun + " " + quoted(word) + ": " + fits.error().message();
    }
  }
  for (auto given = invocation.options.begin(); mistake.empty() && given != invocation.options.end(); ++given) {
    const Option* option = findOption(invocation.path, given->first);
    if (option && !option->choices.empty() &&
        std::find(option->choices.begin(), option->choices.end(), given->second) == option->choices.end()) {
      mistake = "bad value " + quoted(given->second) + " for " + option->name + ": " + alternatives(option->choices);
      candidates = option->choices;
    } else if (option && option->check) {
      if (auto fits = option->check(given->second); !fits)
        mistake = "bad value " + quoted(given->second) + " for " + option->name + ": " + fits.error().message();
    }
  }
  if (!mistake.empty()) {
    status = wrongUse(invocation, mistake, candidates);
    return std::nullopt;
  }
  status = 0;
  return invocation;
}

std::string help(const std::vector<const Command*>& path, bool colour) {
  const Command& command = *path.back();
  auto heading = [&](const std::string& text) { return colour ? "\033[1m" + text + "\033[0m" : text; };
  std::string name = pathName(path);
  std::string out = heading("usage:") +
                    broken("usage: " + std::string(program) + " " + (name.empty() ? "" : name + " ") + synopsis(command), 7)
                        .substr(6);
  if (const std::string& text = command.help.empty() ? command.summary : command.help; !text.empty())
    out += "\n" + filled(text, 0);

  std::vector<std::pair<std::string, std::string>> commands;
  if (path.size() == 1) {
    leaves(command, [&](const std::vector<const Command*>& leaf) {
      commands.push_back({pathName(leaf) + (synopsis(*leaf.back()).empty() ? "" : " " + synopsis(*leaf.back())),
                          leaf.back()->summary});
    });
  } else {
    for (const auto& sub : command.subcommands) {
      std::string line = sub.name + (synopsis(sub).empty() ? "" : " " + synopsis(sub));
      commands.push_back({line, sub.summary});
    }
  }
  if (!commands.empty()) out += "\n" + heading("Commands:") + "\n" + rows(commands);

  std::vector<std::pair<std::string, std::string>> options;
  for (const auto& option : command.options)
    options.push_back({option.name + (option.alias.empty() ? "" : ", " + option.alias) +
                           (optionText(option).size() > option.name.size() ? optionText(option).substr(option.name.size()) : ""),
                       option.help});
  options.push_back({"-h, --help", "show this help"});
  out += "\n" + heading("Options:") + "\n" + rows(options);
  if (path.size() == 1) out += "\nRun \"" + std::string(program) + " help COMMAND\" for the help of a command.\n";
  return out;
}

namespace {

const char* completionKind(Completion completes) {
  switch (completes) {
    case Completion::Files: return "files";
    case Completion::Directories: return "directories";
    case Completion::Themes: return "themes";
    case Completion::Keys: return "keys";
    case Completion::Pages: return "pages";
    case Completion::Packages: return "packages";
    case Completion::None: return "";
  }
  return "";
}

/// How a value of the option is completed: its own kind, or folders for a DIR.
Completion valueCompletion(const Option& option) {
  if (option.completes != Completion::None) return option.completes;
  return option.value == "DIR" ? Completion::Directories : Completion::None;
}

}  // namespace

std::string bashCompletion(const Command& table) {
  std::string known, optionCases, argumentCases, valueCases, globalValueCases, valued;
  std::vector<const Command*> walk;
  everyCommand(table, walk, [&](const std::vector<const Command*>& path) {
    const Command& command = *path.back();
    std::string name = path.size() > 1 ? " " + pathName(path) : "";
    if (path.size() > 1) known += (known.empty() ? "\"" : "|\"") + name + "\"";
    std::vector<std::string> first;  // subcommands, or the choices of the first argument
    for (const auto& sub : command.subcommands) first.push_back(sub.name);
    if (!command.arguments.empty())
      for (const auto& choice : command.arguments[0].choices) first.push_back(choice);
    if (!command.arguments.empty() && command.arguments[0].namesCommand)
      for (const auto& top : table.subcommands) first.push_back(top.name);
    for (std::size_t i = 0; i < command.arguments.size(); ++i) {
      const Argument& argument = command.arguments[i];
      std::vector<std::string> words = i == 0 ? first : argument.choices;
      std::string kind = completionKind(argument.completes);
      if (words.empty() && kind.empty()) continue;
      argumentCases += "    \"" + name + ":" + std::to_string(i) + "\") arguments=\"" + joined(words, " ") + "\"" +
                       (kind.empty() ? "" : " kind=" + kind) + " ;;\n";
    }
    if (command.arguments.empty() && !first.empty())
      argumentCases += "    \"" + name + ":0\") arguments=\"" + joined(first, " ") + "\" ;;\n";
    std::vector<std::string> options;
    for (std::size_t depth = path.size(); depth-- > 0;)
      for (const auto& option : path[depth]->options) {
        options.push_back(option.name);
        if (!option.alias.empty()) options.push_back(option.alias);
      }
    for (const auto& option : command.options) {
      if (option.value.empty()) continue;
      Completion completes = valueCompletion(option);
      std::string reply = !option.choices.empty() ? "COMPREPLY=($(compgen -W \"" + joined(option.choices, " ") + "\" -- \"$cur\")); "
                          : completes != Completion::None ? "_orvane_sim_complete " + std::string(completionKind(completes)) + "; "
                                                          : "";
      for (const std::string& spelling : {option.name, option.alias}) {
        if (spelling.empty()) continue;
        // The table's own options follow any command.
        std::string pattern = path.size() == 1 ? "*\":" + spelling + "\"" : "\"" + name + ":" + spelling + "\"";
        (path.size() == 1 ? globalValueCases : valueCases) += "      " + pattern + ") " + reply + "return ;;\n";
        if (valued.find("|" + spelling + "|") == std::string::npos) valued += "|" + spelling + "|";
      }
    }
    options.push_back("--help");
    optionCases += "    \"" + name + "\") options=\"" + joined(options, " ") + "\" ;;\n";
  });
  std::string valuedPattern;  // the options that take a value, as a case pattern
  for (std::size_t at = 0; at < valued.size();) {
    std::size_t end = valued.find('|', at + 1);
    valuedPattern += (valuedPattern.empty() ? "" : "|") + valued.substr(at + 1, end - at - 1);
    at = end + 1;
  }
  std::string out =
      "# bash completion for orvane-sim (made by: orvane-sim completion bash)\n"
      "# Files and folders where a word names one; the device's themes, preference keys,\n"
      "# page paths and packages from orvane-sim names, on the --device given.\n"
      "_orvane_sim_complete() {\n"
      "  local IFS=$'\\n' name\n"
      "  case \"$1\" in\n"
      "    files) COMPREPLY=($(compgen -f -- \"$cur\")); compopt -o filenames 2>/dev/null ;;\n"
      "    directories) COMPREPLY=($(compgen -d -- \"$cur\")); compopt -o filenames 2>/dev/null ;;\n"
      "    *)\n"
      "      COMPREPLY=()\n"
      "      for name in $(\"${COMP_WORDS[0]}\" ${device:+--device} ${device:+\"$device\"} names \"$1\" 2>/dev/null); do\n"
      "        [[ $name == \"$cur\"* ]] && COMPREPLY+=(\"$(printf '%q' \"$name\")\")\n"
      "      done ;;\n"
      "  esac\n"
      "}\n"
      "_orvane_sim() {\n"
      "  local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
      "  local path=\"\" count=0 ended=\"\" i word options=\"\" arguments=\"\" kind=\"\" device=\"\"\n"
      "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      "    word=\"${COMP_WORDS[i]}\"\n"
      "    if [[ -z $ended ]]; then\n"
      "      case \"$word\" in\n"
      "        --) ended=1; continue ;;\n"
      "        --device) device=\"${COMP_WORDS[i+1]}\"; ((i++)); continue ;;\n"
      "        --device=*) device=\"${word#--device=}\"; continue ;;\n";
  if (!valuedPattern.empty()) out += "        " + valuedPattern + ") ((i++)); continue ;;\n";
  out +=
      "        -*) continue ;;\n"
      "      esac\n"
      "    fi\n"
      "    if ((count == 0)); then\n"
      "      case \"$path $word\" in\n"
      "        " + known + ") path=\"$path $word\"; continue ;;\n"
      "      esac\n"
      "    fi\n"
      "    ((count++))\n"
      "  done\n"
      "  if [[ -z $ended ]]; then\n"
      "    case \"$path:$prev\" in\n" + valueCases + globalValueCases +
      "    esac\n"
      "    case \"$path\" in\n" + optionCases +
      "    esac\n"
      "  fi\n"
      "  case \"$path:$count\" in\n" + argumentCases +
      "  esac\n"
      "  if [[ -n $kind && ( -n $ended || $cur != -* ) ]]; then\n"
      "    _orvane_sim_complete \"$kind\"\n"
      "    return\n"
      "  fi\n"
      "  COMPREPLY=($(compgen -W \"$arguments $options\" -- \"$cur\"))\n"
      "}\n"
      "complete -F _orvane_sim orvane-sim\n";
  return out;
}

std::string zshCompletion(const Command& table) {
  return "#compdef orvane-sim\n"
         "# zsh completion for orvane-sim (made by: orvane-sim completion zsh), through zsh's bash completion\n"
         "autoload -U +X bashcompinit && bashcompinit\n" +
         bashCompletion(table);
}

namespace {

/// A word in fish's single quotes.
std::string fishQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' || c == '\\' ? std::string("\\") + c : std::string(1, c);
  return out + "'";
}

/// How fish names an option: "-l json", "-o bool" (one dash, several letters) or "-s f".
std::string fishOption(const std::string& spelling) {
  if (spelling.rfind("--", 0) == 0) return "-l " + spelling.substr(2);
  return (spelling.size() == 2 ? "-s " : "-o ") + spelling.substr(1);
}

std::string fishValues(Completion completes) {
  switch (completes) {
    case Completion::Files: return " -F";
    case Completion::Directories: return " -a '(__fish_complete_directories)'";
    case Completion::None: return "";
    default: return std::string(" -a '(__orvane_sim_names ") + completionKind(completes) + ")'";
  }
}

}  // namespace

std::string fishCompletion(const Command& table) {
  std::string known, valued, lines;
  std::vector<const Command*> walk;
  everyCommand(table, walk, [&](const std::vector<const Command*>& path) {
    const Command& command = *path.back();
    std::string name = pathName(path);
    if (path.size() > 1) known += " " + fishQuoted(name);
    std::string at = "__orvane_sim_at " + fishQuoted(name);
    for (const auto& sub : command.subcommands)
      lines += "complete -c orvane-sim -n \"" + at + " 0\" -a " + fishQuoted(sub.name) + " -d " + fishQuoted(sub.summary) + "\n";
    for (std::size_t i = 0; i < command.arguments.size(); ++i) {
      const Argument& argument = command.arguments[i];
      std::string condition = "-n \"" + at + " " + std::to_string(i) + "\"";
      if (!argument.choices.empty())
        lines += "complete -c orvane-sim " + condition + " -a " + fishQuoted(joined(argument.choices, " ")) + "\n";
      if (argument.namesCommand)
        for (const auto& top : table.subcommands)
          lines += "complete -c orvane-sim " + condition + " -a " + fishQuoted(top.name) + " -d " + fishQuoted(top.summary) + "\n";
      if (argument.completes != Completion::None) lines += "complete -c orvane-sim " + condition + fishValues(argument.completes) + "\n";
    }
    for (const auto& option : command.options) {
      std::string line = "complete -c orvane-sim" + std::string(path.size() == 1 ? "" : " -n \"" + at + "\"") + " " +
                         fishOption(option.name) + (option.alias.empty() ? "" : " " + fishOption(option.alias));
      if (!option.value.empty()) {
        // A value: files only where it names one.
        line += valueCompletion(option) == Completion::Files ? " -r" : " -x";
        if (!option.choices.empty()) line += " -a " + fishQuoted(joined(option.choices, " "));
        line += fishValues(valueCompletion(option));
        for (const std::string& spelling : {option.name, option.alias})
          if (!spelling.empty() && valued.find(" " + spelling + " ") == std::string::npos) valued += " " + spelling + " ";
      }
      lines += line + " -d " + fishQuoted(option.help) + "\n";
    }
  });
  std::string valuedWords;
  for (std::size_t at = 0; at < valued.size();) {
    std::size_t end = valued.find(' ', at + 1);
    valuedWords += (valuedWords.empty() ? "" : " ") + valued.substr(at + 1, end - at - 1);
    at = end + 1;
  }
  return "# fish completion for orvane-sim (made by: orvane-sim completion fish)\n"
         "# The command so far: its path of commands, the arguments after it, the --device given.\n"
         "function __orvane_sim_state\n"
         "    set -g __orvane_sim_path ''\n"
         "    set -g __orvane_sim_count 0\n"
         "    set -g __orvane_sim_device ''\n"
         "    set -l words (commandline -opc)\n"
         "    set -e words[1]\n"
         "    set -l skip ''\n"
         "    set -l ended ''\n"
         "    for word in $words\n"
         "        if test -n \"$skip\"\n"
         "            test \"$skip\" = device; and set -g __orvane_sim_device $word\n"
         "            set skip ''\n"
         "            continue\n"
         "        end\n"
         "        if test -z \"$ended\"\n"
         "            switch $word\n"
         "                case --\n"
         "                    set ended 1\n"
         "                    continue\n"
         "                case --device\n"
         "                    set skip device\n"
         "                    continue\n"
         "                case '--device=*'\n"
         "                    set -g __orvane_sim_device (string replace -- --device= '' $word)\n"
         "                    continue\n"
         "                case " + valuedWords + "\n"
         "                    set skip value\n"
         "                    continue\n"
         "                case '-*'\n"
         "                    continue\n"
         "            end\n"
         "        end\n"
         "        set -l longer (string trim -- \"$__orvane_sim_path $word\")\n"
         "        if test $__orvane_sim_count -eq 0; and contains -- $longer" + known + "\n"
         "            set -g __orvane_sim_path $longer\n"
         "            continue\n"
         "        end\n"
         "        set -g __orvane_sim_count (math $__orvane_sim_count + 1)\n"
         "    end\n"
         "end\n"
         "# Whether the command so far is PATH, with COUNT arguments after it if given.\n"
         "function __orvane_sim_at\n"
         "    __orvane_sim_state\n"
         "    test \"$__orvane_sim_path\" = \"$argv[1]\"; or return 1\n"
         "    test (count $argv) -lt 2; or test $__orvane_sim_count -eq $argv[2]\n"
         "end\n"
         "function __orvane_sim_names\n"
         "    set -l program (commandline -opc)[1]\n"
         "    if test -n \"$__orvane_sim_device\"\n"
         "        $program --device $__orvane_sim_device names $argv[1] 2>/dev/null\n"
         "    else\n"
         "        $program names $argv[1] 2>/dev/null\n"
         "    end\n"
         "end\n"
         "complete -c orvane-sim -f\n" +
         lines;
}

std::string manualPage(const Command& table, const std::string& version, const Manual& manual) {
  std::string out = ".TH ORVANE\\-SIM 1 \"\" \"Orvane " + roff(version) + "\" \"User Commands\"\n.nh\n";
  out += ".SH NAME\n" + std::string(program) + " \\- " + roff(table.summary) + "\n";
  out += ".SH SYNOPSIS\n.B " + std::string(program) + "\n" + roff(synopsis(table)) + "\n";
  out += ".SH DESCRIPTION\n" + roffParagraphs(table.help);
  out += ".SH OPTIONS\n";
  // As the help shows them: the name, its short alias, its value.
  auto spelled = [](const Option& option) {
    std::string value = optionText(option).substr(option.name.size());
    return roff(option.name + (option.alias.empty() ? "" : ", " + option.alias) + value);
  };
  for (const auto& option : table.options) out += ".TP\n.B " + spelled(option) + "\n" + roff(option.help) + "\n";
  out += ".TP\n.B \\-h, \\-\\-help\nshow the help of the command it follows, or of " + std::string(program) + "\n";
  out += ".SH COMMANDS\n";
  leaves(table, [&](const std::vector<const Command*>& path) {
    const Command& command = *path.back();
    out += ".TP\n\\fB" + roff(std::string(program) + " " + pathName(path)) + "\\fR " + roff(synopsis(command)) + "\n";
    out += roffParagraphs(command.help.empty() ? command.summary : command.help);
    for (const auto& option : command.options)
      out += ".RS\n.TP\n.B " + spelled(option) + "\n" + roff(option.help) + "\n.RE\n";
  });
  auto section = [&](const char* title, const std::vector<std::pair<std::string, std::string>>& entries) {
    if (entries.empty()) return;
    out += std::string(".SH ") + title + "\n";
    for (const auto& [name, text] : entries) out += ".TP\n.B " + roff(name) + "\n" + roff(text) + "\n";
  };
  section("ENVIRONMENT", manual.environment);
  section("FILES", manual.files);
  section("EXIT STATUS", manual.exitStatus);
  if (!manual.examples.empty()) {
    out += ".SH EXAMPLES\n";
    for (const auto& [what, command] : manual.examples) out += ".PP\n" + roff(what) + "\n.PP\n.RS\n.nf\n" + roff(command) + "\n.fi\n.RE\n";
  }
  if (!manual.seeAlso.empty()) {
    out += ".SH SEE ALSO\n";
    for (std::size_t i = 0; i < manual.seeAlso.size(); ++i) {
      const std::string& page = manual.seeAlso[i];
      std::size_t open = page.find('(');
      out += ".BR " + roff(page.substr(0, open)) + " " + page.substr(open) + (i + 1 < manual.seeAlso.size() ? "," : "") + "\n";
    }
  }
  return out;
}

}  // namespace cli
