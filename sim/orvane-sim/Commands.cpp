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

orvane::Result<void> languageCode(const std::string& word) {
  if (word.empty() || word.find('/') != std::string::npos) return orvane::Error("a language code such as en, de or de-AT");
  return orvane::success();
}

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
  std::fputs((shell == "zsh" ? cli::zshCompletion(table()) : cli::bashCompletion(table())).c_str(), stdout);
  return 0;
}

int manpage(const Invocation&) {
  std::fputs(cli::manualPage(table(), ORVANE_VERSION).c_str(), stdout);
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
                   "Orvane package with the device's dpkg. An installed package is left alone.",
           .options = {{.name = "--model", .value = "ID", .help = "the model identifier (e.g. iPhone7,2)"},
                       {.name = "--idiom", .value = "IDIOM", .help = "a phone or a pad", .choices = {"phone", "pad"}},
                       {.name = "--ios",
                        .value = "VERSION",
                        .help = "the iOS version, 7.0 to 12.0 (e.g. 8.1)",
                        .check = systemVersion},
                       {.name = "--language", .value = "CODE", .help = "the preferred language (en, de, de-AT, ...)"},
                       {.name = "--mail-account", .value = "ADDRESS|none", .help = "the mail account, or none"},
                       {.name = "--twitter-account", .value = "NAME|none", .help = "the Twitter account, or none"}},
           .handler = init},
          {.name = "install",
           .summary = "install or upgrade a package (the built Orvane package by default)",
           .help = "Installs or upgrades a package with the device's dpkg: FILE, or else the Orvane package of the "
                   "last build. The file is checked first: a missing, damaged or foreign file, a package for "
                   "another architecture or one whose dependencies the device lacks is refused, and nothing changes. "
                   "Says when the running SpringBoard still has an old library of the package loaded.",
           .arguments = {{.name = "FILE.deb", .optional = true, .check = notEmpty, .what = "file"}},
           .options = {{.name = "--run-scripts",
                        .help = "run the package's maintainer scripts even if they are not Orvane's own (they run "
                                "on this computer, not inside the device)"}},
           .handler = install},
          {.name = "remove",
           .summary = "remove an installed package, keeping its settings",
           .help = "Removes an installed package's files with the device's dpkg. Folders of other packages stay, and "
                   "so does what the package keeps when removed (Orvane: the preferences file). A running "
                   "SpringBoard keeps the libraries it loaded until it is resprung.",
           .arguments = {{.name = "PACKAGE", .check = notEmpty, .what = "package"}},
           .handler = remove},
          {.name = "purge",
           .summary = "remove a package and everything it declares its own",
           .help = "Removes a package, installed or already removed, with everything it declares its own (Orvane: "
                   "the preferences file too).",
           .arguments = {{.name = "PACKAGE", .check = notEmpty, .what = "package"}},
           .handler = purge},
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
           .summary = "whether SpringBoard is running (exit status 0) or not (1)",
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
                 .arguments = {{.name = "DOMAIN", .optional = true}, {.name = "KEY", .optional = true}},
                 .options = {{.name = "--json", .help = "print the domain or the value as JSON"}},
                 .handler = defaultsRead,
                 .synopsis = "[--json] [DOMAIN] [KEY]"},
                {.name = "write",
                 .summary = "set KEY to VALUE (a string unless a type is given)",
                 .arguments = {{.name = "KEY"}, {.name = "VALUE", .optional = true}, {.name = "VALUE", .optional = true}},
                 .options = {{.name = "-string", .value = "VALUE", .help = "a string"},
                             {.name = "-bool", .value = "VALUE", .help = "true or false (also yes, no, 1, 0)",
                              .alias = "-boolean"},
                             {.name = "-int", .value = "VALUE", .help = "a whole number", .alias = "-integer"},
                             {.name = "-float", .value = "VALUE", .help = "a number"}},
                 .handler = defaultsWrite,
                 .synopsis = "[DOMAIN] KEY [-string|-bool|-int|-float] VALUE"},
                {.name = "delete",
                 .summary = "remove KEY",
                 .arguments = {{.name = "KEY"}, {.name = "KEY", .optional = true}},
                 .handler = defaultsDelete,
                 .synopsis = "[DOMAIN] KEY"}}},
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
                            .summary = "make the device a phone or a pad",
                            .arguments = {{.name = "IDIOM", .choices = {"phone", "pad"}, .what = "idiom"}},
                            .handler = setIdiom},
                           {.name = "model",
                            .summary = "change the device's model identifier (e.g. iPhone7,2)",
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
                 .arguments = {{.name = "PATH", .optional = true}},
                 .options = {{.name = "--json", .help = "print the page as JSON"}},
                 .handler = settings},
                {.name = "inspect",
                 .summary = "the page's views and the theme's colours",
                 .help = "Prints the view tree of the page at PATH, once its timers and animations have run, with "
                         "frames and the theme's colours.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH", .optional = true}},
                 .options = {{.name = "--json", .help = "print the view tree as JSON"}},
                 .handler = settings},
                {.name = "set",
                 .summary = "flip a switch (on|off) or pick a choice of a list row",
                 .help = "Flips the switch row at PATH (VALUE on or off) or picks VALUE, a choice's title, in the "
                         "list row at PATH, through the page's own code.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH"}, {.name = "VALUE"}},
                 .handler = settings},
                {.name = "tap",
                 .summary = "tap a button or link row",
                 .help = "Taps the button or link row at PATH. A mail it opens is shown and then sent, saved or "
                         "cancelled as --mail says, else as asked.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH"}},
                 .options = {{.name = "--mail",
                              .value = "ANSWER",
                              .help = "what to do with the mail the tap opens",
                              .choices = {"send", "save", "cancel"}}},
                 .handler = settings},
                {.name = "share",
                 .summary = "tap the share button of a page",
                 .help = "Taps the share button of the page at PATH. The post it opens is shown and then posted "
                         "or cancelled as --share says, else as asked.\n\n" + pathHelp,
                 .arguments = {{.name = "PATH", .optional = true}},
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
                 .arguments = {{.name = "PATH", .optional = true}},
                 .options = {{.name = "--output", .value = "FILE.png", .help = "write the picture to FILE.png",
                              .alias = "-o"},
                             {.name = "--scale",
                              .value = "N",
                              .help = "pixels per point (default 2)",
                              .choices = {"1", "2", "3"}},
                             {.name = "--at", .value = "SECONDS", .help = "the moment after Settings opened the page"},
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
           .summary = "print the shell completion for bash or zsh",
           .help = "Prints the completion script for bash or zsh. Enable it for this shell with\n"
                   "  source <(orvane-sim completion bash)\n"
                   "or install it as a file (CMake's install rules put both in place).",
           .arguments = {{.name = "SHELL", .choices = {"bash", "zsh"}, .what = "shell"}},
           .handler = completion},
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
