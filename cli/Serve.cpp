#include "cli/Serve.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include <httplib.h>

#include "cli/EditorSession.h"
#include "cli/Plugins.h"

namespace vellum::cli {

namespace fs = std::filesystem;

fs::path defaultWebFolder() {
  if (runningFromBuild()) return VELLUM_BUILD_WEB_DIR;
  std::error_code ec;
  if (const fs::path here = programFolder(); !here.empty()) {
    const fs::path beside = (here / VELLUM_WEB_DIR_FROM_PROGRAM).lexically_normal();
    if (fs::exists(beside / "index.html", ec)) return beside;
  }
  return VELLUM_INSTALL_WEB_DIR;
}

namespace {

bool isLoopback(const std::string& host) {
  return host == "127.0.0.1" || host == "localhost" || host == "::1" || host.starts_with("127.");
}

std::string readWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

void serve(const ServeOptions& options, const NodeManager& manager, std::ostream& out) {
  const fs::path web = options.webFolder.empty() ? defaultWebFolder() : options.webFolder;
  std::error_code ec;
  if (!fs::exists(web / "index.html", ec))
    throw UsageError("the editor page is not built (" + (web / "index.html").string() +
                     " is missing): `make build` builds it");
  if (options.port < 0 || options.port > 65535) throw UsageError("--port must be 0..65535");

  EditorSession session(manager, options.composition);
  // One message at a time; a message that waits too long for a slow patch is answered "busy"
  // rather than queued, so the page stays usable and the server never hangs on it.
  std::timed_mutex busy;

  httplib::Server server;
  server.set_payload_max_length(EditorSession::kMaxMessageBytes + 1024);
  // Replies are written in pieces; without this each waits for the last one's acknowledgement.
  server.set_tcp_nodelay(true);
  const bool loopbackOnly = isLoopback(options.host);
  int port = 0;
  // A page elsewhere must not drive a loopback server through a name that points here.
  server.set_pre_routing_handler([&](const httplib::Request& request, httplib::Response& response) {
    if (!loopbackOnly) return httplib::Server::HandlerResponse::Unhandled;
    std::string host = request.get_header_value("Host");
    const auto colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']') == std::string::npos) host = host.substr(0, colon);
    if (!host.empty() && host.front() == '[') host = host.substr(1, host.find(']') - 1);
    if (isLoopback(host)) return httplib::Server::HandlerResponse::Unhandled;
    response.status = 403;
    response.set_content("vellum serve answers loopback names only", "text/plain");
    return httplib::Server::HandlerResponse::Handled;
  });

  auto file = [&](const char* name, const char* type) {
    return [&web, name, type](const httplib::Request&, httplib::Response& response) {
      response.set_header("Cache-Control", "no-store");
      response.set_content(readWhole(web / name), type);
    };
  };
  server.Get("/", file("index.html", "text/html; charset=utf-8"));
  server.Get("/index.html", file("index.html", "text/html; charset=utf-8"));
  server.Get("/editor.js", file("editor.js", "text/javascript; charset=utf-8"));
  server.Get("/editor.css", file("editor.css", "text/css; charset=utf-8"));
  server.Post("/api", [&](const httplib::Request& request, httplib::Response& response) {
    Json reply;
    std::unique_lock lock(busy, std::defer_lock);
    if (!lock.try_lock_for(std::chrono::seconds(5))) {
      reply = {{"ok", false}, {"busy", true}, {"error", "the composition is still evaluating a slow patch; try again"}};
    } else {
      reply = session.handle(request.body);
    }
    response.set_header("Cache-Control", "no-store");
    // A type the library does not compress: brotli on a picture's reply costs far more on
    // loopback than the bytes it saves.
    response.set_content(reply.dump(-1, ' ', false, Json::error_handler_t::replace), "application/x-vellum+json");
  });

  port = options.port == 0 ? server.bind_to_any_port(options.host) : (server.bind_to_port(options.host, options.port) ? options.port : -1);
  if (port <= 0)
    throw UsageError("cannot listen on " + options.host + ":" + std::to_string(options.port) +
                     " (in use? --port picks another, --port 0 any free one)");

  // Ctrl-C and SIGTERM stop the server from a thread of their own, where stopping is safe.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread waiter([&] {
    int signal = 0;
    sigwait(&signals, &signal);
    server.stop();
  });

  const std::string shown = options.host.find(':') != std::string::npos ? "[" + options.host + "]" : options.host;
  out << "vellum serve: " << session.composition().file().string() << " at http://" << shown << ":" << port
      << "/ (Ctrl-C stops)" << std::endl;
  if (!loopbackOnly)
    out << "vellum serve: listening on " << options.host << ": whoever reaches it can change and save compositions in "
        << session.folder().string() << std::endl;
  server.listen_after_bind();
  // listen returned without a signal (a failure): let the waiter go.
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
}

}  // namespace vellum::cli
