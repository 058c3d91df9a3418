#include "host/Log.h"

#include <cstdio>

namespace vellum {

namespace {
LogSink& sink() {
  static LogSink s;
  return s;
}
}  // namespace

void log(const std::string& line) {
  if (sink()) {
    sink()(line);
    return;
  }
  std::fprintf(stderr, "%s\n", line.c_str());
}

LogSink setLogSink(LogSink s) {
  LogSink old = std::move(sink());
  sink() = std::move(s);
  return old;
}

}  // namespace vellum
