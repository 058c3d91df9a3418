// The host log: one line per call, to standard error unless a sink is installed.
#pragma once

#include <functional>
#include <string>

namespace vellum {

void log(const std::string& line);
// Replaces where log lines go (nullptr restores standard error); answers the previous sink.
using LogSink = std::function<void(const std::string&)>;
LogSink setLogSink(LogSink sink);

}  // namespace vellum
