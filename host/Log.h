// The host log: one line per call, to standard error unless a sink is installed.
#pragma once

#include <functional>
#include <set>
#include <string>

namespace vellum {

void log(const std::string& line);
// Replaces where log lines go (nullptr restores standard error); answers the previous sink.
using LogSink = std::function<void(const std::string&)>;
LogSink setLogSink(LogSink sink);

// Logs once per distinct value: a patch that cannot use an input says so when the input takes a
// new unusable value, not on every frame. A few hundred values are remembered, then forgotten.
class LogOnce {
 public:
  // Logs line() unless `value` was met before; the line is only made when it is logged.
  template <class Line>
  void operator()(const std::string& value, Line&& line) {
    if (said_.size() >= 256) said_.clear();
    if (said_.insert(value).second) log(line());
  }

 private:
  std::set<std::string> said_;
};

}  // namespace vellum
