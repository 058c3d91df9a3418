// The host log's lines, collected while the object lives.
#pragma once

#include <string>
#include <vector>

#include "host/Log.h"

namespace vellum::testing {

struct CapturedLog {
  std::vector<std::string> lines;
  LogSink previous;
  CapturedLog() { previous = setLogSink([this](const std::string& l) { lines.push_back(l); }); }
  ~CapturedLog() { setLogSink(std::move(previous)); }
};

}  // namespace vellum::testing
