#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/orvane-sim/CommandLine.h"

// The commands of orvane-sim. The table in Commands.cpp names each one with
// its words, options and help; the parser has checked them against it before
// a handler runs. A handler returns the exit status: 0 done, 1 failed (said
// on standard error), 2 wrong use (said with cli::wrongUse).
namespace commands {

using cli::Invocation;

/// The whole command line: every command, its help and its handler.
const cli::Command& table();

int init(const Invocation& invocation);
int install(const Invocation& invocation);
int remove(const Invocation& invocation);
int purge(const Invocation& invocation);
int packages(const Invocation& invocation);
int ringer(const Invocation& invocation);
int springboard(const Invocation& invocation);
int press(const Invocation& invocation);
int status(const Invocation& invocation);
int log(const Invocation& invocation);
int defaultsRead(const Invocation& invocation);
int defaultsWrite(const Invocation& invocation);
int defaultsDelete(const Invocation& invocation);
int defaultsReadType(const Invocation& invocation);
int defaultsExport(const Invocation& invocation);
int defaultsImport(const Invocation& invocation);
int defaultsDomains(const Invocation& invocation);
int themesList(const Invocation& invocation);
int themesAdd(const Invocation& invocation);
int themesRemove(const Invocation& invocation);
int names(const Invocation& invocation);
int notifyPost(const Invocation& invocation);
int settings(const Invocation& invocation);
int language(const Invocation& invocation);
int mailAccount(const Invocation& invocation);
int twitterAccount(const Invocation& invocation);
int setIdiom(const Invocation& invocation);
int setModel(const Invocation& invocation);
int serve(const Invocation& invocation);

int stop(const Invocation& invocation);
int respring(const Invocation& invocation);
int syslog(const Invocation& invocation);

/// Replaces this process with one of the device's hosts, built beside orvane-sim.
int runHost(const char* name, const std::vector<std::string>& arguments);

/// Starts SpringBoard in the background with its options (springboard --detach).
int startDetached(const std::vector<std::string>& options);

/// The device's iOS version, as it was made.
std::optional<std::string> systemVersion();
/// Every model identifier a device may have.
std::vector<std::string> modelIdentifiers();

/// Says "orvane-sim: <message>" on standard error and returns 1.
int fail(const std::string& message);
/// Says "orvane-sim: warning: <message>" on standard error.
void warn(const std::string& message);
/// The command line of orvane-sim that runs `words` on this device ("orvane-sim --device DIR words").
std::string hint(const std::string& words);

/// The theme chosen for a volume button ("up", "down") under its preference key.
struct Choice {
  std::string button;
  std::string key;
  std::string theme;
};
/// The themes the preferences choose now (or the pages' defaults).
std::vector<Choice> chosenThemes();
/// 0 if the device exists; otherwise says how to create it and returns 1.
int requireDevice();

}  // namespace commands
