#pragma once

#include <string>
#include <vector>

// The commands of orvane-sim. Each takes the words after its name and returns
// the exit status: 0 done, 1 failed (said on standard error), 2 wrong use.
namespace commands {

using Arguments = std::vector<std::string>;

constexpr int usageError = 2;

int init(const Arguments& arguments);
int install(const Arguments& arguments);
int ringer(const Arguments& arguments);
int springboard(const Arguments& arguments);
int press(const Arguments& arguments);
int status(const Arguments& arguments);
int log(const Arguments& arguments);
int defaults(const Arguments& arguments);
int notify(const Arguments& arguments);
int settings(const Arguments& arguments);
int language(const Arguments& arguments);
int mailAccount(const Arguments& arguments);
int twitterAccount(const Arguments& arguments);
int hardware(const Arguments& arguments);

/// Says "orvane-sim: <message>" on standard error and returns 1.
int fail(const std::string& message);
/// 0 if the device exists; otherwise says how to create it and returns 1.
int requireDevice();

}  // namespace commands
