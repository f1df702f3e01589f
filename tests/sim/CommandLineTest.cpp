#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cctype>
#include <functional>
#include <filesystem>
#include <set>

#include "contract/Orvane.h"
#include "sim/common/Package.h"
#include "sim/orvane-sim/Commands.h"
#include "tests/support/Simulator.h"
#include "tests/support/TemporaryDevice.h"

namespace {

using Result = testsupport::SimResult;
using Words = std::vector<std::string>;

Result sim(const std::string& root, Words words) { return testsupport::runSim(ORVANE_SIM, root, std::move(words)); }

/// Every command of the table as the words that name it, groups included.
std::vector<Words> everyCommand() {
  std::vector<Words> all;
  std::function<void(const cli::Command&, Words)> walk = [&](const cli::Command& command, Words words) {
    if (!command.name.empty()) words.push_back(command.name);
    if (!words.empty()) all.push_back(words);
    for (const auto& sub : command.subcommands) walk(sub, words);
  };
  walk(commands::table(), {});
  return all;
}

std::string joined(const Words& words) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

/// Runs orvane-sim on a terminal of its own: all it wrote there.
std::string onTerminal(const Words& words, bool noColour) {
  int terminal = -1;
  pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (noColour) setenv("NO_COLOR", "1", 1);
    else unsetenv("NO_COLOR");
    std::vector<char*> argv = {const_cast<char*>(ORVANE_SIM)};
    for (const auto& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(ORVANE_SIM, argv.data());
    _exit(127);
  }
  std::string out;
  char buffer[4096];
  for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(got));
  close(terminal);
  waitpid(pid, nullptr, 0);
  return out;
}

class CommandLine : public ::testing::Test {
 protected:
  testsupport::TemporaryDevice device;
  std::string missing = device.root() + "/none";  // no device: help and mistakes never need one
};

}  // namespace

// What the parser, help and completion take for granted of every entry.
TEST(CommandTable, EveryEntryIsWholeAndNamedOnce) {
  std::function<void(const cli::Command&, const std::string&)> check = [&](const cli::Command& command,
                                                                          const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_FALSE(command.summary.empty());
    EXPECT_TRUE(command.handler || !command.subcommands.empty()) << "runs nothing";
    EXPECT_TRUE(command.subcommands.empty() || command.arguments.empty()) << "arguments would hide subcommands";
    std::set<std::string> names;
    for (const auto& option : command.options) {
      for (const std::string& spelling : {option.name, option.alias}) {
        if (spelling.empty()) continue;
        EXPECT_TRUE(spelling.size() > 1 && spelling[0] == '-' && std::isalpha(static_cast<unsigned char>(spelling.back())))
            << spelling;
        EXPECT_TRUE(names.insert(spelling).second) << spelling << " twice";
        EXPECT_NE(spelling, "--help");
        EXPECT_NE(spelling, "-h");
      }
      EXPECT_FALSE(option.help.empty()) << option.name;
      EXPECT_TRUE(option.choices.empty() || !option.value.empty()) << option.name << ": a flag with choices";
    }
    bool optionalSeen = false;
    for (std::size_t i = 0; i < command.arguments.size(); ++i) {
      const auto& argument = command.arguments[i];
      EXPECT_FALSE(optionalSeen && !argument.optional) << argument.name << " is needed after an optional one";
      optionalSeen = optionalSeen || argument.optional;
      EXPECT_TRUE(!argument.name.ends_with("...") || i + 1 == command.arguments.size()) << argument.name;
    }
    std::set<std::string> subcommands;
    for (const auto& sub : command.subcommands) {
      EXPECT_FALSE(sub.name.empty());
      EXPECT_NE(sub.name[0], '-');
      EXPECT_TRUE(subcommands.insert(sub.name).second) << sub.name << " twice";
      check(sub, where + " " + sub.name);
    }
  };
  check(commands::table(), "orvane-sim");
}

TEST_F(CommandLine, EachMistakeIsOneLineNamingItWithASuggestionAndWhereToLook) {
  struct Case {
    Words words;
    std::string line;
  };
  const std::vector<Case> cases = {
      {{}, "orvane-sim: missing command (see orvane-sim --help)"},
      {{"prss", "up"}, "orvane-sim: unknown command \"prss\", did you mean press? (see orvane-sim --help)"},
      {{"Press", "up"}, "orvane-sim: unknown command \"Press\", did you mean press? (see orvane-sim --help)"},
      {{"springbaord"}, "orvane-sim: unknown command \"springbaord\", did you mean springboard? (see orvane-sim --help)"},
      {{"fly"}, "orvane-sim: unknown command \"fly\" (see orvane-sim --help)"},
      {{"a\nb\x1b[2J\"c"}, "orvane-sim: unknown command \"a\\nb\\x1b[2J\\\"c\" (see orvane-sim --help)"},
      {{"press"}, "orvane-sim press: missing button: up or down (see orvane-sim press --help)"},
      {{"press", "up", "0"},
       "orvane-sim press: bad count \"0\": a whole number from 1 to 100000 (see orvane-sim press --help)"},
      {{"press", "up", "2x"},
       "orvane-sim press: bad count \"2x\": a whole number from 1 to 100000 (see orvane-sim press --help)"},
      {{"press", "upp"},
       "orvane-sim press: bad button \"upp\": up or down, did you mean up? (see orvane-sim press --help)"},
      {{"press", "up", "2", "3"}, "orvane-sim press: unexpected argument \"3\" (see orvane-sim press --help)"},
      {{"ringer", "loud"}, "orvane-sim ringer: bad ringer mode \"loud\": silent or ring (see orvane-sim ringer --help)"},
      {{"ringer", "silnet"},
       "orvane-sim ringer: bad ringer mode \"silnet\": silent or ring, did you mean silent? (see orvane-sim ringer --help)"},
      {{"log", "--jsno"}, "orvane-sim log: unknown option \"--jsno\", did you mean --json? (see orvane-sim log --help)"},
      {{"log", "--json=yes"}, "orvane-sim log: --json takes no value, not \"yes\" (see orvane-sim log --help)"},
      {{"--device"}, "orvane-sim: --device needs a value (DIR) (see orvane-sim --help)"},
      {{"defaults"}, "orvane-sim defaults: missing subcommand: read, write, read-type, delete, export, import or domains (see "
       "orvane-sim defaults --help)"},
      {{"defaults", "raed"},
       "orvane-sim defaults: unknown subcommand \"raed\", did you mean read? (see orvane-sim defaults --help)"},
      {{"defaults", "write", "x"},
       "orvane-sim defaults write: missing VALUE; usage: defaults write [DOMAIN] KEY [-TYPE] VALUE (see orvane-sim "
       "defaults write --help)"},
      {{"defaults", "write", "isEnabled", "-bool", "perhaps"},
       "orvane-sim defaults write: bad bool value \"perhaps\": true, false, yes, no, 1 or 0 (see orvane-sim defaults "
       "write --help)"},
      {{"defaults", "write", "n", "-int", "1", "-bool", "true"},
       "orvane-sim defaults write: give one type, not -bool and -int (see orvane-sim defaults write --help)"},
      {{"init", "--idiom", "watch"},
       "orvane-sim init: bad value \"watch\" for --idiom: phone or pad (see orvane-sim init --help)"},
      {{"init", "--ios", "99"},
       "orvane-sim init: bad value \"99\" for --ios: an iOS version from 7.0 to 12.0 (e.g. 8.1) (see orvane-sim init --help)"},
      {{"--device=", "status"}, "orvane-sim status: bad value \"\" for --device: it is empty (see orvane-sim status --help)"},
      {{"settings", "tap", "Contact", "--mail", "snd"},
       "orvane-sim settings tap: bad value \"snd\" for --mail: send, save or cancel, did you mean send? "
       "(see orvane-sim settings tap --help)"},
      {{"settings", "show", "A", "B"}, "orvane-sim settings show: unexpected argument \"B\" (see orvane-sim settings show --help)"},
      {{"settings", "show", "--mail", "send"},
       "orvane-sim settings show: unknown option \"--mail\" (settings tap takes it) (see orvane-sim settings show --help)"},
      {{"press", "up", "--json"},
       "orvane-sim press: unknown option \"--json\" (packages, status, log, defaults read, themes, settings show or "
       "settings inspect take it) (see orvane-sim press --help)"},
      {{"set", "idiom", "pda"}, "orvane-sim set idiom: bad idiom \"pda\": phone or pad, did you mean pad? (see orvane-sim set idiom --help)"},
      {{"language", "../x"},
       "orvane-sim language: bad language \"../x\": a language the system offers (en, de, fr, ja, zh-Hans, ...), with a "
       "region if wanted (de-AT) (see orvane-sim language --help)"},
      {{"notify", "post", ""}, "orvane-sim notify post: bad name \"\": it is empty (see orvane-sim notify post --help)"},
      {{"completion", "tcsh"},
       "orvane-sim completion: bad shell \"tcsh\": bash, zsh or fish (see orvane-sim completion --help)"},
      {{"help", "prss"}, "orvane-sim help: no command \"prss\", did you mean press? (see orvane-sim help --help)"},
  };
  for (const auto& [words, line] : cases) {
    Result wrong = sim(missing, words);
    EXPECT_EQ(wrong.status, 2) << joined(words);
    EXPECT_EQ(wrong.err, line + "\n") << joined(words);
    EXPECT_EQ(wrong.out, "") << joined(words);
  }
}

TEST_F(CommandLine, EveryCommandHasItsHelpOnStandardOutputWithoutADevice) {
  Result top = sim(missing, {"--help"});
  EXPECT_EQ(top.status, 0);
  EXPECT_EQ(top.err, "");
  EXPECT_EQ(top.out.rfind("usage: orvane-sim [--device DIR] COMMAND", 0), 0u) << top.out;
  EXPECT_EQ(sim(missing, {"help"}).out, top.out);
  EXPECT_EQ(sim(missing, {"-h"}).out, top.out);

  for (const Words& words : everyCommand()) {
    SCOPED_TRACE(joined(words));
    Words asked = words;
    asked.push_back("--help");
    Result help = sim(missing, asked);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("usage: orvane-sim " + joined(words), 0), 0u) << help.out;
    EXPECT_NE(help.out.find("-h, --help"), std::string::npos);
    Words named = {"help"};
    named.insert(named.end(), words.begin(), words.end());
    EXPECT_EQ(sim(missing, named).out, help.out);
    if (words[0] != "help") {
      EXPECT_NE(top.out.find("  " + words[0]), std::string::npos) << "listed in the overview";
    }
  }
  // Help wins over mistakes made with it, wherever it stands.
  Result early = sim(missing, {"press", "-h", "sideways", "0"});
  EXPECT_EQ(early.status, 0);
  EXPECT_EQ(early.out.rfind("usage: orvane-sim press", 0), 0u);

  Result version = sim(missing, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("orvane-sim ") + ORVANE_VERSION + "\n");
  EXPECT_EQ(sim(missing, {"press", "--version"}).out, version.out);
}

TEST_F(CommandLine, CompletionAndManualPageCoverEveryCommand) {
  Result bash = sim(missing, {"completion", "bash"});
  Result zsh = sim(missing, {"completion", "zsh"});
  Result manual = sim(missing, {"manpage"});
  ASSERT_EQ(bash.status, 0);
  ASSERT_EQ(zsh.status, 0);
  ASSERT_EQ(manual.status, 0);
  EXPECT_EQ(zsh.out.rfind("#compdef orvane-sim\n", 0), 0u);
  EXPECT_NE(zsh.out.find(bash.out), std::string::npos);
  EXPECT_EQ(manual.out.rfind(".TH ORVANE\\-SIM 1", 0), 0u);
  for (const Words& words : everyCommand()) {
    EXPECT_NE(bash.out.find("\" " + joined(words) + "\""), std::string::npos) << joined(words);
    std::string roffName;
    for (char c : "orvane-sim " + joined(words)) roffName += c == '-' ? std::string("\\-") : std::string(1, c);
    if (cli::find(commands::table(), words).back()->handler) {
      EXPECT_NE(manual.out.find("\\fB" + roffName + "\\fR"), std::string::npos) << joined(words);
    }
  }

  // What bash offers after some words.
  std::string script = bash.out +
                       "offer() { COMP_WORDS=(\"$@\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=(); _orvane_sim;"
                       " echo \"${COMPREPLY[*]}\"; }\n"
                       "offer orvane-sim pr\n"
                       "offer orvane-sim --device /tmp defaults w\n"
                       "offer orvane-sim press ''\n"
                       "offer orvane-sim settings tap X --mail s\n"
                       "offer orvane-sim settings show --js\n"
                       "offer orvane-sim settings show -- --js\n"
                       "offer orvane-sim help ring\n";
  std::string offered;
  ASSERT_EQ(package::run({"bash", "-c", script}, &offered).value_or(-1), 0);
  EXPECT_EQ(offered, "press\nwrite\nup down --device --version --help\nsend save\n--json\n\nringer\n");
}

TEST_F(CommandLine, TheManualPageHasTheSectionsOfOneAndTheAliasesTheHelpShows) {
  Result manual = sim(missing, {"manpage"});
  ASSERT_EQ(manual.status, 0);
  std::size_t last = 0;
  for (const char* section : {".SH COMMANDS", ".SH ENVIRONMENT", ".SH FILES", ".SH EXIT STATUS", ".SH EXAMPLES", ".SH SEE ALSO"}) {
    std::size_t at = manual.out.find(section);
    EXPECT_NE(at, std::string::npos) << section;
    EXPECT_GT(at, last) << section << " in its place";
    last = at == std::string::npos ? last : at;
  }
  EXPECT_NE(manual.out.find(".B ORVANE_DEVICE\n"), std::string::npos);
  EXPECT_NE(manual.out.find(".B \\-\\-follow, \\-f\n"), std::string::npos);
  EXPECT_NE(manual.out.find(".B \\-\\-output, \\-o FILE.png\n"), std::string::npos);
  EXPECT_NE(manual.out.find(".BR dpkg (1)"), std::string::npos);
}

TEST_F(CommandLine, CompletionOffersFilesWhereAWordNamesOneAndTheDevicesOwnNames) {
  std::string root = device.root() + "/phone";
  ASSERT_EQ(sim(root, {"init"}).status, 0);
  ASSERT_EQ(sim(root, {"defaults", "write", "mine", "1"}).status, 0);
  EXPECT_EQ(sim(root, {"names", "themes"}).out, "Bubble\nChime\nClick\nDrop\nGlass\nMac Volume Change\nTick\n");
  EXPECT_EQ(sim(root, {"names", "keys"}).out, "isEnabled\nselectedIncreaseSound\nselectedDecreaseSound\nmine\n");
  EXPECT_EQ(sim(root, {"names", "pages"}).out,
            "Volume Sounds\nSound Themes\nSound Themes/Volume Up Sound\nSound Themes/Volume Down Sound\nMakers\n"
            "Contact Support\n");
  EXPECT_EQ(sim(root, {"names", "packages"}).out, "com.quillmark.orvane\nfirmware\nmobilesubstrate\npreferenceloader\n");
  EXPECT_EQ(sim(missing, {"names", "themes"}).status, 1);

  std::string files = device.root() + "/files";
  std::filesystem::create_directories(files);
  for (const char* name : {"tweak.deb", "tone.flac"}) testsupport::writeFile(files + "/" + name, "x");
  std::string bin = std::filesystem::path(ORVANE_SIM).parent_path().string();
  Result bash = sim(missing, {"completion", "bash"});
  std::string script = bash.out +
                       "offer() { COMP_WORDS=(\"$@\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=(); _orvane_sim;"
                       " echo \"${COMPREPLY[*]}\"; }\n"
                       "offer orvane-sim install " + files + "/tw\n"
                       "offer orvane-sim settings screenshot -o " + files + "/to\n"
                       "offer orvane-sim --device " + root + " themes remove Ma\n"
                       "offer orvane-sim --device=" + root + " settings set Sound\\ Themes/Volume\\ D\n"
                       "offer orvane-sim --device " + root + " defaults read com.quillmark.orvane is\n"
                       "offer orvane-sim --device " + root + " remove mob\n"
                       "offer orvane-sim themes add -- " + files + "/to\n";
  std::string offered;
  ASSERT_EQ(package::run({"env", "PATH=" + bin + ":/usr/bin:/bin", "bash", "-c", script}, &offered).value_or(-1), 0);
  EXPECT_EQ(offered, files + "/tweak.deb\n" + files + "/tone.flac\nMac\\ Volume\\ Change\n"
                         "Sound\\ Themes/Volume\\ Down\\ Sound\nisEnabled\nmobilesubstrate\n" + files + "/tone.flac\n");

  // fish, where it is installed (scripts/install-dependencies installs it).
  if (access("/usr/bin/fish", X_OK) != 0) GTEST_SKIP() << "fish is not installed";
  Result fish = sim(missing, {"completion", "fish"});
  std::string asked = "orvane-sim --device " + root + " themes remove Ma";
  std::string fishScript = fish.out + "complete -C 'orvane-sim pr'; complete -C '" + asked +
                           "'; complete -C 'orvane-sim install " + files + "/tw'; complete -C 'orvane-sim defaults write x -bool '";
  std::string fishOffered;
  ASSERT_EQ(package::run({"env", "PATH=" + bin + ":/usr/bin:/bin", "fish", "--no-config", "-c", fishScript}, &fishOffered)
                .value_or(-1), 0);
  EXPECT_EQ(fishOffered, "press\tpress a volume button N times (default 1)\nMac Volume Change\n" + files + "/tweak.deb\n");
}

TEST_F(CommandLine, OptionsStandAnywhereAndTwoDashesEndThem) {
  std::string root = device.root() + "/phone";
  ASSERT_EQ(sim(root, {"init"}).status, 0);
  Result before = sim(root, {"settings", "show", "--json", "Sound Themes"});
  ASSERT_EQ(before.status, 0) << before.err;
  EXPECT_EQ(sim(root, {"settings", "show", "Sound Themes", "--json"}).out, before.out);
  EXPECT_EQ(sim(root, {"settings", "--json", "show", "Sound Themes"}).out, before.out);
  // The device given with "=", after the command.
  EXPECT_EQ(sim(missing, {"settings", "show", "Sound Themes", "--json", "--device=" + root}).out, before.out);

  // After "--", words that look like options are words.
  ASSERT_EQ(sim(root, {"defaults", "write", "--", "-dash", "-x"}).status, 0);
  Result dash = sim(root, {"defaults", "read", "--", "-dash"});
  EXPECT_EQ(dash.out, "-x\n") << dash.err;
  ASSERT_EQ(sim(root, {"defaults", "write", "count", "-int", "-5"}).status, 0);
  EXPECT_EQ(sim(root, {"defaults", "read", "count"}).out, "-5\n");
  Result option = sim(root, {"defaults", "read", "-dash"});
  EXPECT_EQ(option.status, 2);
  EXPECT_NE(option.err.find("unknown option \"-dash\""), std::string::npos) << option.err;
}

TEST_F(CommandLine, DefaultsTakeTheDomainFirstAndSpeakJSON) {
  std::string root = device.root() + "/phone";
  ASSERT_EQ(sim(root, {"init"}).status, 0);
  const std::string domain(orvane::contract::domain);
  ASSERT_EQ(sim(root, {"defaults", "write", domain, "isEnabled", "-bool", "true"}).status, 0);
  ASSERT_EQ(sim(root, {"defaults", "write", domain, "selectedIncreaseSound", "Drop"}).status, 0);
  ASSERT_EQ(sim(root, {"defaults", "write", "volume", "-float", "0.5"}).status, 0);
  EXPECT_EQ(sim(root, {"defaults", "read", domain, "selectedIncreaseSound"}).out, "Drop\n");
  EXPECT_EQ(sim(root, {"defaults", "read", domain}).out, sim(root, {"defaults", "read"}).out);

  Result json = sim(root, {"defaults", "read", "--json"});
  ASSERT_EQ(json.status, 0);
  EXPECT_EQ(nlohmann::json::parse(json.out),
            nlohmann::json({{"isEnabled", true}, {"selectedIncreaseSound", "Drop"}, {"volume", 0.5}}));
  EXPECT_EQ(sim(root, {"defaults", "read", domain, "isEnabled", "--json"}).out, "true\n");

  for (const Words& words : std::vector<Words>{{"defaults", "read", "com.example.other", "isEnabled"},
                                               {"defaults", "read", "com.example.other"},
                                               {"defaults", "write", "com.example.other", "isEnabled", "-bool", "no"},
                                               {"defaults", "delete", "com.example.other", "isEnabled"}}) {
    Result other = sim(root, words);
    EXPECT_EQ(other.status, 1) << joined(words);
    EXPECT_EQ(other.err, "orvane-sim: the domain com.example.other does not exist on this device (its one domain is " +
                             domain + ")\n");
  }
  EXPECT_EQ(sim(root, {"defaults", "delete", domain}).status, 2) << "a whole domain is not deleted";
  ASSERT_EQ(sim(root, {"defaults", "delete", domain, "isEnabled"}).status, 0);
  EXPECT_EQ(sim(root, {"defaults", "read", "isEnabled"}).status, 1);
  EXPECT_EQ(sim(root, {"defaults", "read", "selectedIncreaseSound"}).out, "Drop\n");
}

TEST_F(CommandLine, ColourOnlyOnATerminalAndNeverWithNoColor) {
  EXPECT_NE(onTerminal({"prss"}, false).find("\033["), std::string::npos);
  EXPECT_NE(onTerminal({"--help"}, false).find("\033["), std::string::npos);
  EXPECT_EQ(onTerminal({"prss"}, true).find("\033["), std::string::npos);
  EXPECT_EQ(onTerminal({"--help"}, true).find("\033["), std::string::npos);
  EXPECT_EQ(sim(missing, {"--help"}).out.find("\033["), std::string::npos);
}
