#pragma once

#include <string>

#include "tests/support/Simulator.h"

namespace testsupport {

/// A raw HTTP exchange with a server on 127.0.0.1.
struct HttpAnswer {
  int status = 0;
  std::string head, body;
};

/// Connects to address:port and sends `request` as it is: the connection, or -1.
int sendRequest(int port, const std::string& request, const std::string& address = "127.0.0.1");

/// Sends `request` as it is to 127.0.0.1:port and reads the answer until the
/// server closes (the request should say "Connection: close"); status 0 if
/// nothing came back within 5 s.
HttpAnswer exchange(int port, const std::string& request, const std::string& address = "127.0.0.1");

/// `orvane-sim serve --port 0` on a device, until the object goes (SIGTERM).
class ServeProcess {
 public:
  /// Starts it and reads the URL it prints; false if it printed none within 20 s.
  bool start(const std::string& simulator, const std::string& root);
  /// Sends SIGTERM and waits: the exit status.
  int stop() { return process_.stop(); }

  int port() const { return port_; }
  pid_t pid() const { return process_.pid(); }
  const std::string& token() const { return token_; }
  /// What it printed up to the URL.
  const std::string& greeting() const { return process_.printed(); }

 private:
  RunningSim process_;
  int port_ = 0;
  std::string token_;
};

}  // namespace testsupport
