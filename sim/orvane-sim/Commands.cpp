// The table of orvane-sim's commands. A new command is one entry here (name,
// summary, help, arguments, options, handler); usage, help, completion and the
// manual page follow from it.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/device/DeviceSetup.h"
#include "sim/orvane-sim/Commands.h"

namespace commands {

namespace {

orvane::Result<void> count(const std::string& word) {
  char* end = nullptr;
  long number = std::strtol(word.c_str(), &end, 10);
  if (!word.empty() && *end == '\0' && number >= 1 && number <= 100000) return orvane::success();
  return orvane::Error("a whole number from 1 to 100000");
}

orvane::Result<void> languageCode(const std::string& word) { return device::checkLanguage(word); }

orvane::Result<void> notEmpty(const std::string& word) {
  if (word.empty()) return orvane::Error("it is empty");
  return orvane::success();
}

orvane::Result<void> systemVersion(const std::string& word) {
  if (device::buildForSystemVersion(word).empty()) return orvane::Error("an iOS version from 7.0 to 12.0 (e.g. 8.1)");
  return orvane::success();
}

int help(const Invocation& invocation) {
  auto path = cli::find(invocation.table(), invocation.arguments);
  if (path.empty()) {
    // The first word that names nothing, and what could stand there.
    std::vector<std::string> known;
    const cli::Command* at = &invocation.table();
    for (const auto& word : invocation.arguments) {
      auto next = cli::find(*at, {word});
      if (next.empty()) {
        for (const auto& sub : at->subcommands) known.push_back(sub.name);
        return cli::wrongUse(invocation, "no command " + std::string("\"") + word + "\"", known);
      }
      at = next.back();
    }
  }
  std::fputs(cli::help(path, cli::colourFor(stdout)).c_str(), stdout);
  return 0;
}

int completion(const Invocation& invocation) {
  const std::string& shell = invocation.arguments[0];
  std::string script = shell == "zsh"    ? cli::zshCompletion(table())
                       : shell == "fish" ? cli::fishCompletion(table())
                                         : cli::bashCompletion(table());
  std::fputs(script.c_str(), stdout);
  return 0;
}

int manpage(const Invocation&) {
  cli::Manual manual{
      .environment = {{"ORVANE_DEVICE", "the device's directory when --device is not given"},
                      {"XDG_DATA_HOME", "the default device is $XDG_DATA_HOME/orvane/device when it is set"},
                      {"HOME", "else the default device is ~/.local/share/orvane/device"},
                      {"ORVANE_PACKAGE", "the Orvane package that init and install use instead of the one built"},
                      {"NO_COLOR", "when set and not empty, nothing is coloured"}},
      .files = {{"DIR/var/mobile/Library/Preferences/com.quillmark.orvane.plist", "Orvane's preferences (defaults)"},
                {"DIR/Library/Application Support/Orvane/", "the sound themes, one NAME.wav each (themes)"},
                {"DIR/var/mobile/Library/Logs/Speaker.jsonl", "what the speaker played (log)"},
                {"DIR/var/mobile/Library/Logs/Speaker.wav", "the speaker's recording"},
                {"DIR/var/log/syslog", "the device's system log (syslog)"},
                {"DIR/var/lib/dpkg/", "the device's package database"},
                {"DIR/var/run/SpringBoard.pid", "the pid of the SpringBoard running in the background"}},
      .exitStatus = {{"0", "done"},
                     {"1", "failed, said on standard error (status and stop: SpringBoard is not running)"},
                     {"2", "wrong use: an unknown command or option, a missing or bad argument"}},
      .examples = {{"A device, its SpringBoard, and a press that plays a sound:",
                    "orvane-sim init && orvane-sim springboard --detach\n"
                    "orvane-sim defaults write isEnabled -bool true\n"
                    "orvane-sim press up && orvane-sim log"},
                   {"A theme from any sound file, picked for volume up:",
                    "orvane-sim themes add ~/ding.flac --name Ding\n"
                    "orvane-sim settings set \"Sound Themes/Volume Up Sound\" Ding"},
                   {"A second device, a pad in German:", "orvane-sim --device /tmp/pad init --idiom pad --language de"},
                   {"A picture of the page that comes out the same every time:",
                    "orvane-sim settings screenshot \"Sound Themes\" -o themes.png"}},
      .seeAlso = {"defaults(1)", "dpkg(1)", "man(1)"}};
  std::fputs(cli::manualPage(table(), ORVANE_VERSION, manual).c_str(), stdout);
  return 0;
}

const cli::Option json{.name = "--json", .help = "print JSON"};
const cli::Option audio{
    .name = "--audio", .value = "OUTPUT", .help = "also play aloud through a PulseAudio server", .choices = {"system"}};

const std::string pathHelp =
    "PATH is row labels as shown, joined with \"/\" (\"Sound Themes/Volume Up Sound\"); without it, Orvane's "
    "first page.";

cli::Command makeTable() {
  using cli::Argument;
  using cli::Command;
  using cli::Option;
  return Command{
      .name = "",
      .summary = "make and drive simulated devices for Orvane",
      .help =
          "Makes simulated iOS devices, installs Orvane into them, runs their SpringBoard and Settings app, and "
          "presses their volume buttons.\n\n"
          "The device is DIR of --device, else $ORVANE_DEVICE, else ~/.local/share/orvane/device. Exit status: "
          "0 done, 1 failed (said on standard error), 2 wrong use. Colour only on a terminal, and never with "
          "NO_COLOR set.",
      .options = {{.name = "--device",
                   .value = "DIR",
                   .help = "the device's directory (the root of its files)",
                   .check = notEmpty},
                  {.name = "--version", .help = "print the version of orvane-sim", .alone = true}},
      .subcommands = {
          {.name = "init",
           .summary = "create the device and install Orvane into it",
           .help = "Creates the device (or completes one), with the base system and its settings, installs the base "
                   "packages of a jailbroken device (firmware, mobilesubstrate, preferenceloader) and then the built "
                   "Orvane package with the device's dpkg. An installed package is left alone. A device that exists "
                   "keeps its settings: init says which options it did not apply, and the command that changes "
                   "each.",
           .options = {{.name = "--model",
                        .value = "ID",
                        .help = "the model identifier (default: iPhone7,2 for a phone, iPhone6,1 on iOS 7, iPad4,1 "
                                "for a pad); it must fit the idiom and the iOS version"},
                       {.name = "--idiom", .value = "IDIOM", .help = "a phone or a pad", .choices = {"phone", "pad"}},
                       {.name = "--ios",
                        .value = "VERSION",
                        .help = "the iOS version, 7.0 to 12.0 (e.g. 8.1)",
                        .check = systemVersion},
                       {.name = "--language",
                        .value = "CODE",
                        .help = "the preferred language (en, de, de-AT, ...)",
                        .check = languageCode},
                       {.name = "--mail-account", .value = "ADDRESS|none", .help = "the mail account, or none"},
                       {.name = "--twitter-account", .value = "NAME|none", .help = "the Twitter account, or none"}},
           .handler = init},
          {.name = "install",
           .summary = "install or upgrade a package (the built Orvane package by default)",
           .help = "Installs or upgrades a package with the device's dpkg: FILE, or else the Orvane package of the "
                   "last build. The file is checked first: a missing, damaged or foreign file, a package for "
                   "another architecture or one whose dependencies the device lacks is refused, and nothing changes. "
                   "Says when the running SpringBoard still has an old library of the package loaded.",
           .arguments = {{.name = "FILE.deb", .optional = true, .check = notEmpty, .what = "file",
                          .completes = cli::Completion::Files}},
           .options = {{.name = "--run-scripts",
                        .help = "run the package's maintainer scripts even if they are not Orvane's own (they run "
                                "on this computer, not inside the device)"}},
           .handler = install},
          {.name = "remove",
           .summary = "remove an installed package, keeping its settings",
           .help = "Removes an installed package's files with the device's dpkg. Folders of other packages stay, and "
                   "so does what the package keeps when removed (Orvane: the preferences file). A running "
                   "SpringBoard keeps the libraries it loaded until it is resprung.",
           .arguments = {{.name = "PACKAGE", .check = notEmpty, .what = "package", .completes = cli::Completion::Packages}},
           .handler = remove},
          {.name = "purge",
           .summary = "remove a package and everything it declares its own",
           .help = "Removes a package, installed or already removed, with everything it declares its own (Orvane: "
                   "the preferences file too).",
           .arguments = {{.name = "PACKAGE", .check = notEmpty, .what = "package", .completes = cli::Completion::Packages}},
           .handler = purge},
          {.name = "packages",
           .summary = "list the installed packages as a package manager shows them",
           .help = "Lists the packages installed on the device, from its package database, as a jailbreak package "
                   "manager shows them: name, version, section, author, package id and description, sorted by name. "
                   "remove and purge take the package id.",
           .options = {{.name = "--json", .help = "print the list as JSON"}},
           .handler = packages},
          {.name = "springboard",
           .summary = "run SpringBoard, in the foreground until interrupted or in the background",
           .help = "Runs the device's SpringBoard, with the substrate loader, until it is interrupted. One "
                   "SpringBoard runs per device. With --detach it runs in the background, on its own: the command "
                   "returns once SpringBoard takes presses and prints its pid (also in the device's "
                   "/var/run/SpringBoard.pid); its messages go to the device's system log (orvane-sim syslog). "
                   "Stop it with orvane-sim stop.",
           .options = {audio,
                       {.name = "--detach", .help = "run in the background; return once it takes presses"}},
           .handler = springboard},
          {.name = "stop",
           .summary = "stop the device's running SpringBoard",
           .help = "Stops the device's running SpringBoard, in the foreground or the background, as Ctrl-C does "
                   "(and kills it if it has not ended within 10 s). Exit status 1 when none is running.",
           .handler = stop},
          {.name = "respring",
           .summary = "stop SpringBoard and start it again in the background",
           .help = "Stops the device's SpringBoard, if it runs, and starts it in the background, as users do after "
                   "installing: the new SpringBoard loads the libraries installed now. It keeps the --audio option "
                   "it ran with unless one is given.",
           .options = {audio},
           .handler = respring},
          {.name = "press",
           .summary = "press a volume button N times (default 1)",
           .help = "Presses the volume up or down button N times (default 1), returning once SpringBoard has "
                   "handled each press, and prints the volume after each.",
           .arguments = {{.name = "BUTTON", .choices = {"up", "down"}, .what = "button"},
                         {.name = "N", .optional = true, .check = count, .what = "count"}},
           .handler = press},
          {.name = "status",
           .summary = "whether SpringBoard is running (exit status 0) or not (1), and the device's state",
           .help = "Says whether the device's SpringBoard is running (exit status 0) or not (1), with its pid, the "
                   "volume, the ring/silent switch, the model, the iOS version and the language.",
           .options = {json},
           .handler = status},
          {.name = "log",
           .summary = "the speaker log, one line per sound",
           .help = "Prints what the speaker played, one line per sound: the previous segment of the log, then "
                   "the current one. With -f it goes on printing each sound as it is played, across the log's "
                   "rotation, until interrupted. --clear empties the log and the recording instead.",
           .options = {{.name = "--json", .help = "print each record as a line of JSON"},
                       {.name = "--follow", .help = "keep printing sounds as they are played", .alias = "-f"},
                       {.name = "--clear", .help = "empty the log and the recording (previous segments too)"}},
           .handler = log},
          {.name = "syslog",
           .summary = "the device's system log (NSLog of every process)",
           .help = "Prints the device's system log, /var/log/syslog: one line per NSLog call of any process of the "
                   "device, with its time, process name and pid; the previous segment first. With -f it goes on "
                   "printing lines as they are written, until interrupted.",
           .options = {{.name = "--follow", .help = "keep printing lines as they are written", .alias = "-f"}},
           .handler = syslog},
          {.name = "defaults",
           .summary = "read and change Orvane's preferences",
           .help = "Reads and changes Orvane's preferences (the domain com.quillmark.orvane), as macOS's defaults "
                   "does; each change is announced to SpringBoard. The domain may come first, as on macOS.",
           .subcommands =
               {{.name = "read",
                 .summary = "print the domain, or the value of KEY",
                 .arguments = {{.name = "DOMAIN", .optional = true, .completes = cli::Completion::Keys},
                               {.name = "KEY", .optional = true, .completes = cli::Completion::Keys}},
                 .options = {{.name = "--json", .help = "print the domain or the value as JSON"}},
                 .handler = defaultsRead,
                 .synopsis = "[--json] [DOMAIN] [KEY]"},
                {.name = "write",
                 .summary = "set KEY to VALUE (a string unless a type is given)",
                 .help = "Sets KEY to VALUE, a string unless a type says otherwise. -array and -dict replace the "
                         "value with an array of the VALUEs or a dictionary of KEY VALUE pairs (strings); -array-add "
                         "and -dict-add add them to the array or dictionary stored. A key the pages do not read, or "
                         "a theme that does not play, is stored but warned about.\n"
                         "  defaults write isEnabled -bool true\n"
                         "  defaults write com.quillmark.orvane selectedDecreaseSound Chime\n"
                         "  defaults write recent -array Chime Drop",
                 .arguments = {{.name = "KEY", .completes = cli::Completion::Keys}, {.name = "VALUE...", .optional = true}},
                 .options = {{.name = "-string", .value = "VALUE", .help = "a string"},
                             {.name = "-bool", .value = "VALUE", .help = "true or false (also yes, no, 1, 0)",
                              .alias = "-boolean"},
                             {.name = "-int", .value = "VALUE", .help = "a whole number", .alias = "-integer"},
                             {.name = "-float", .value = "VALUE", .help = "a number"},
                             {.name = "-date", .value = "VALUE",
                              .help = "a date: 2024-05-01, \"2024-05-01 12:30:00 +0000\" or 2024-05-01T12:30:00Z"},
                             {.name = "-data", .value = "HEX", .help = "bytes as hex digits (0a1b)"},
                             {.name = "-array", .help = "an array of the VALUEs"},
                             {.name = "-array-add", .help = "add the VALUEs to the stored array"},
                             {.name = "-dict", .help = "a dictionary of the KEY VALUE pairs that follow"},
                             {.name = "-dict-add", .help = "add the KEY VALUE pairs to the stored dictionary"}},
                 .handler = defaultsWrite,
                 .synopsis = "[DOMAIN] KEY [-string|-bool|-int|-float|-date|-data] VALUE, or [DOMAIN] KEY "
                             "-array|-array-add|-dict|-dict-add VALUE..."},
                {.name = "read-type",
                 .summary = "print the type of KEY's value",
                 .arguments = {{.name = "KEY", .completes = cli::Completion::Keys},
                               {.name = "KEY", .optional = true, .completes = cli::Completion::Keys}},
                 .handler = defaultsReadType,
                 .synopsis = "[DOMAIN] KEY"},
                {.name = "delete",
                 .summary = "remove KEY",
                 .arguments = {{.name = "KEY", .completes = cli::Completion::Keys},
                               {.name = "KEY", .optional = true, .completes = cli::Completion::Keys}},
                 .handler = defaultsDelete,
                 .synopsis = "[DOMAIN] KEY"},
                {.name = "export",
                 .summary = "write the domain to FILE as an XML property list (\"-\": standard output)",
                 .arguments = {{.name = "DOMAIN"},
                               {.name = "FILE", .check = notEmpty, .what = "file", .completes = cli::Completion::Files}},
                 .handler = defaultsExport},
                {.name = "import",
                 .summary = "replace the domain with the property list in FILE (\"-\": standard input)",
                 .help = "Replaces the whole domain with the dictionary of the property list (XML or binary) in "
                         "FILE, or on standard input for \"-\", and announces the change.",
                 .arguments = {{.name = "DOMAIN"},
                               {.name = "FILE", .check = notEmpty, .what = "file", .completes = cli::Completion::Files}},
                 .handler = defaultsImport},
                {.name = "domains", .summary = "list the domains", .handler = defaultsDomains}}},
          {.name = "themes",
           .summary = "list the sound themes: length, rate, format, whether each plays and which are chosen",
           .help = "Lists the device's sound themes, the .wav files of /Library/Application Support/Orvane: each "
                   "one's length, rate, channels and format, whether the system plays it and why not (longer than "
                   "30 s, empty, damaged, not a regular file), and which is chosen for volume up and down.",
           .options = {{.name = "--json", .help = "print the list as JSON"}},
           .handler = themesList,
           .subcommands =
               {{.name = "add",
                 .summary = "convert a sound file into a theme",
                 .help = "Converts FILE, any sound libsndfile reads (WAV, AIFF, CAF, FLAC, Ogg, MP3, ... of any "
                         "sample format), into the theme NAME (default: the file's name without its extension): a "
                         "16-bit WAV file at the sound's own rate and channels in the device's sound directory. A "
                         "sound the system cannot play is refused with the reason; one longer than 30 s only with "
                         "--trim, which keeps its first 30 s.",
                 .arguments = {{.name = "FILE", .check = notEmpty, .what = "file", .completes = cli::Completion::Files}},
                 .options = {{.name = "--name", .value = "NAME", .help = "the theme's name"},
                             {.name = "--trim", .help = "keep the first 30 s of a longer sound"}},
                 .handler = themesAdd},
                {.name = "remove",
                 .summary = "remove a theme added by hand",
                 .arguments = {{.name = "NAME", .what = "theme", .completes = cli::Completion::Themes}},
                 .handler = themesRemove}}},
          {.name = "notify",
           .summary = "Darwin notifications",
           .subcommands = {{.name = "post",
                            .summary = "post a Darwin notification",
                            .arguments = {{.name = "NAME", .check = notEmpty, .what = "name"}},
                            .handler = notifyPost}}},
          {.name = "ringer",
           .summary = "set the ring/silent switch",
           .help = "Sets the ring/silent switch; on silent, system sounds go quiet, as on the phone.",
           .arguments = {{.name = "MODE", .choices = {"silent", "ring"}, .what = "ringer mode"}},
           .handler = ringer},
          {.name = "set",
           .summary = "change the device's hardware",
           .subcommands = {{.name = "idiom",
                            .summary = "make the device a phone or a pad (the model follows)",
                            .arguments = {{.name = "IDIOM", .choices = {"phone", "pad"}, .what = "idiom"}},
                            .handler = setIdiom},
                           {.name = "model",
                            .summary = "change the device's model identifier (e.g. iPhone7,2)",
                            .help = "Changes the device's model identifier, which MobileGestalt answers (and the "
                                    "support mail shows). It must be a model of the device's idiom that runs its iOS "
                                    "version.",
                            .arguments = {{.name = "ID", .check = notEmpty, .what = "model"}},
                            .handler = setModel}}},
          {.name = "language",
           .summary = "set the device's preferred language (en, de, de-AT, ...)",
           .arguments = {{.name = "CODE", .check = languageCode, .what = "language"}},
           .handler = language},
          {.name = "mail-account",
           .summary = "set up (or remove) the device's mail account",
           .arguments = {{.name = "ADDRESS|none", .check = notEmpty, .what = "account"}},
           .handler = mailAccount},
          {.name = "twitter-account",
           .summary = "set up (or remove) the device's Twitter account",
           .arguments = {{.name = "NAME|none", .check = notEmpty, .what = "account"}},
           .handler = twitterAccount},
          {.name = "settings",
           .summary = "open Settings at Orvane and show, change or tap a page or row",
           .help = "Opens the device's Settings app at Orvane, follows PATH as taps would, and shows, inspects, "
                   "changes or taps that page or row.\n\n" + pathHelp,
           .subcommands =
               {{.name = "show",
                 .summary = "show the page at PATH",
                 .help = "Shows the page at PATH: its groups and rows with their values.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH", .optional = true, .completes = cli::Completion::Pages}},
                 .options = {{.name = "--json", .help = "print the page as JSON"}},
                 .handler = settings},
                {.name = "inspect",
                 .summary = "the page's views and the theme's colours",
                 .help = "Prints the view tree of the page at PATH, once its timers and animations have run, with "
                         "frames and the theme's colours.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH", .optional = true, .completes = cli::Completion::Pages}},
                 .options = {{.name = "--json", .help = "print the view tree as JSON"}},
                 .handler = settings},
                {.name = "set",
                 .summary = "flip a switch (on|off) or pick a choice of a list row",
                 .help = "Flips the switch row at PATH (VALUE on or off) or picks VALUE, a choice's title, in the "
                         "list row at PATH, through the page's own code.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH", .completes = cli::Completion::Pages}, {.name = "VALUE"}},
                 .handler = settings},
                {.name = "tap",
                 .summary = "tap a button or link row",
                 .help = "Taps the button or link row at PATH. A mail it opens is shown and then sent, saved or "
                         "cancelled as --mail says, else as asked.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH", .completes = cli::Completion::Pages}},
                 .options = {{.name = "--mail",
                              .value = "ANSWER",
                              .help = "what to do with the mail the tap opens",
                              .choices = {"send", "save", "cancel"}}},
                 .handler = settings},
                {.name = "share",
                 .summary = "tap the share button of a page",
                 .help = "Taps the share button of the page at PATH. The post it opens is shown and then posted "
                         "or cancelled as --share says, else as asked.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH", .optional = true, .completes = cli::Completion::Pages}},
                 .options = {{.name = "--share",
                              .value = "ANSWER",
                              .help = "what to do with the post",
                              .choices = {"post", "cancel"}}},
                 .handler = settings},
                {.name = "screenshot",
                 .summary = "draw the page at PATH as the device shows it (PNG)",
                 .help = "Draws the page at PATH as PNG, from the views that inspect lists: status bar, navigation "
                         "bar, the grouped table and the bundle's own views. A PATH ending in a button row taps it "
                         "(\"Contact Support\" shows the mail composer); --share taps the share button; the sheet "
                         "is drawn over the page. The page is drawn once its timers and animations have run, or at "
                         "--at SECONDS after Settings opened it. The screen is the device's: 320x568 points on a "
                         "phone, 768x1024 on a pad. Without --output the PNG goes to standard output, unless that is "
                         "a terminal.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH", .optional = true, .completes = cli::Completion::Pages}},
                 .options = {{.name = "--output", .value = "FILE.png", .help = "write the picture to FILE.png",
                              .alias = "-o", .completes = cli::Completion::Files},
                             {.name = "--scale",
                              .value = "N",
                              .help = "pixels per point (default 2)",
                              .choices = {"1", "2", "3"}},
                             {.name = "--at", .value = "SECONDS", .help = "the moment after Settings opened the page"},
                             {.name = "--seed",
                              .value = "N",
                              .help = "draw the page's random choices (the header's line) from seed N (default 0, so "
                                      "that a picture comes out the same every time)"},
                             {.name = "--share", .help = "tap the share button and draw its sheet"},
                             {.name = "--full-page", .help = "the whole page, as tall as its content, not only the "
                                                             "screenful"}},
                 .handler = settings}}},
          {.name = "serve",
           .summary = "the device in a web browser, on 127.0.0.1",
           .help = "Serves the device to a web browser on this machine: the Settings page, clickable as taps, the "
                   "volume buttons, the ring/silent switch, the volume and the speaker log, live; every sound the "
                   "speaker plays is played in the page too. Prints the URL to open, with its token: every request "
                   "needs it. Starts SpringBoard if it is not running; a SpringBoard a server started stops when the "
                   "last server of the device ends. Runs until interrupted.",
           .options = {{.name = "--port", .value = "N", .help = "the port to listen on (default 0: any free port)"}},
           .handler = serve},
          {.name = "completion",
           .summary = "print the shell completion for bash, zsh or fish",
           .help = "Prints the completion script for bash, zsh or fish. It completes commands, options and their "
                   "values, files where a word names one, and the device's themes, preference keys, page paths and "
                   "packages (from orvane-sim names). Enable it for this shell with\n"
                   "  source <(orvane-sim completion bash)\n"
                   "  orvane-sim completion fish | source\n"
                   "or install it as a file (CMake's install rules put all three in place).",
           .arguments = {{.name = "SHELL", .choices = {"bash", "zsh", "fish"}, .what = "shell"}},
           .handler = completion},
          {.name = "names",
           .summary = "print the device's themes, preference keys, page paths or packages, one a line",
           .help = "Prints names the device has, one a line, as shell completion offers them: the sound themes, the "
                   "preference keys (those the pages read and those stored), the paths of the settings pages' rows, "
                   "or the installed packages.",
           .arguments = {{.name = "KIND", .choices = {"themes", "keys", "pages", "packages"}, .what = "kind"}},
           .handler = names},
          {.name = "manpage",
           .summary = "print the manual page (roff)",
           .help = "Prints orvane-sim's manual page in roff; read it with: orvane-sim manpage | man -l -",
           .handler = manpage},
          {.name = "help",
           .summary = "show the help of a command",
           .arguments = {{.name = "COMMAND...", .optional = true, .namesCommand = true}},
           .handler = help},
      },
      .synopsis = "[--device DIR] COMMAND [ARGUMENTS]"};
}

}  // namespace

const cli::Command& table() {
  static const cli::Command commands = makeTable();
  return commands;
}

}  // namespace commands
