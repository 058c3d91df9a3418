// `vellum serve` as a process: its address, the page, messages over HTTP, the loopback guard,
// and a clean stop on SIGTERM.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "cli/JsonValue.h"
#include "tests/cli/TestSupport.h"

using namespace vellum;
using namespace vellum::cli;

namespace {

class Server {
 public:
  explicit Server(const std::filesystem::path& folder) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      if (chdir(folder.c_str()) != 0) _exit(127);
      execl(VELLUM_BINARY, "vellum", "serve", "c.json", "--port", "0", "--plugin-path", TEST_PLUGIN, (char*)nullptr);
      _exit(127);
    }
    close(out[1]);
    // The first line names the address.
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    firstLine = line;
    auto at = line.find("http://127.0.0.1:");
    if (at != std::string::npos) port = std::stoi(line.substr(at + 17));
  }
  // Stops it as Ctrl-C would; answers the exit status.
  int stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ~Server() {
    if (pid_ > 0) stop();
  }

  std::string firstLine;
  int port = 0;

 private:
  pid_t pid_ = -1;
};

// While a patch runs longer than a message may wait (5 s), the page is still served and other
// messages are answered "busy"; afterwards the session goes on.
TEST(Serve, AnswersMessagesOnLoopbackWhileBusyAndStopsCleanly) {
  test::ScratchFolder folder;
  test::writeFile(folder / "c.json", R"({"patches": {"a": {"class": "VTProbePatch", "inputs": {"inputNumber": 2}},
                                                     "slow": {"class": "VTSlowPatch"}}})");
  Server server(folder.path());
  ASSERT_GT(server.port, 0) << server.firstLine;
  EXPECT_EQ(server.firstLine.rfind("vellum serve: " + (folder / "c.json").string() + " at http://127.0.0.1:", 0), 0u);

  httplib::Client client("127.0.0.1", server.port);
  client.set_read_timeout(30);
  EXPECT_EQ(Json::parse(client.Post("/api", "{", "application/json")->body)["ok"], false);
  // A page elsewhere reaching this server through another name is turned away.
  auto foreign = client.Get("/", httplib::Headers{{"Host", "attacker.example:80"}});
  ASSERT_TRUE(foreign);
  EXPECT_EQ(foreign->status, 403);
  auto tooLarge = client.Post("/api", std::string(8 << 20, ' '), "application/json");
  ASSERT_TRUE(tooLarge);
  EXPECT_EQ(tooLarge->status, 413);

  auto slow = std::async(std::launch::async, [&] {
    httplib::Client other("127.0.0.1", server.port);
    other.set_read_timeout(30);
    auto r = other.Post("/api", R"({"kind": "set", "port": "slow.inputSeconds", "value": 6})", "application/json");
    return r ? Json::parse(r->body) : Json();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  auto page = client.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("editor.js"), std::string::npos);
  auto busy = client.Post("/api", R"({"kind": "hello"})", "application/json");
  ASSERT_TRUE(busy);
  EXPECT_EQ(Json::parse(busy->body)["busy"], true);
  EXPECT_EQ(slow.get()["values"]["slow"]["outputDone"], 6.0);
  auto after = client.Post("/api", R"({"kind": "hello"})", "application/json");
  ASSERT_TRUE(after);
  EXPECT_EQ(Json::parse(after->body)["values"]["a"]["outputNumber"], 3.0);
  EXPECT_EQ(server.stop(), 0);
}

}  // namespace
