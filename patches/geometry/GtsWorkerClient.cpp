#include "patches/geometry/GtsWorkerClient.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>

extern char** environ;

namespace vellum::triangulation {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kWorkerName = "vellum-gts-worker";

bool executable(const fs::path& p) { return !p.empty() && ::access(p.c_str(), X_OK) == 0 && fs::is_regular_file(p); }

int remainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return int(std::clamp<long long>(left, 0, 1 << 30));
}

// Waits for the socket, then moves bytes; false on error, end of stream or the deadline.
bool sendAll(int fd, const void* data, size_t size, Clock::time_point deadline) {
  auto* p = static_cast<const char*>(data);
  while (size > 0) {
    pollfd pfd{fd, POLLOUT, 0};
    const int ready = ::poll(&pfd, 1, remainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    p += n, size -= size_t(n);
  }
  return true;
}

bool receiveAll(int fd, void* data, size_t size, Clock::time_point deadline) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    pollfd pfd{fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, remainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = ::recv(fd, p, size, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    p += n, size -= size_t(n);
  }
  return true;
}

}  // namespace

GtsWorkerClient& GtsWorkerClient::shared() {
  static GtsWorkerClient client;
  return client;
}

GtsWorkerClient::~GtsWorkerClient() { stopWorker(); }

fs::path GtsWorkerClient::workerExecutable() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&GtsWorkerClient::workerExecutable), &info) && info.dli_fname) {
    std::error_code ec;
    const fs::path beside = fs::weakly_canonical(fs::path(info.dli_fname), ec).parent_path() / kWorkerName;
    if (executable(beside)) return beside;
  }
#ifdef VELLUM_GTS_WORKER_BUILD
  if (executable(VELLUM_GTS_WORKER_BUILD)) return VELLUM_GTS_WORKER_BUILD;
#endif
#ifdef VELLUM_INSTALL_PLUGIN_DIR
  if (const fs::path installed = fs::path(VELLUM_INSTALL_PLUGIN_DIR) / kWorkerName; executable(installed)) return installed;
#endif
  return {};
}

namespace {

void killAndReap(int pid) {
  ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

void GtsWorkerClient::stopWorker() {
  if (pid_ > 0 && owner_ == ::getpid()) killAndReap(pid_);
  if (fd_ >= 0) ::close(fd_);
  pid_ = 0;
  fd_ = -1;
  reapExited();
}

void GtsWorkerClient::reapExited() {
  // Killed as well, in case it has not ended by itself; by now it normally has.
  if (exited_ > 0 && owner_ == ::getpid()) killAndReap(exited_);
  exited_ = 0;
}

bool GtsWorkerClient::start() {
  reapExited();
  const fs::path exe = workerExecutable();
  if (exe.empty()) return false;
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return false;
  // The child's end must arrive as descriptor 3 without close-on-exec; dup2 onto 3 clears the
  // flag, except when it already is 3.
  if (sv[1] == 3) {
    const int moved = ::fcntl(sv[1], F_DUPFD_CLOEXEC, 4);
    ::close(sv[1]);
    sv[1] = moved;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, sv[1], 3);
  // GTS reports its failures on the standard streams; keep them out of the host's output.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const std::string program = exe.string();
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(sv[1]);
  if (rc != 0) {
    ::close(sv[0]);
    return false;
  }
  pid_ = pid;
  fd_ = sv[0];
  owner_ = ::getpid();
  return true;
}

size_t GtsWorkerClient::residentBytes() const {
  std::ifstream statm("/proc/" + std::to_string(pid_) + "/statm");
  size_t size = 0, resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * size_t(::sysconf(_SC_PAGESIZE));
}

GtsWorkerClient::Outcome GtsWorkerClient::request(uint32_t flags, std::span<const double> xy,
                                                  std::span<const Constraint> constraints,
                                                  std::span<const double> segments, WorkerAnswer& answer) {
  std::lock_guard lock(mutex_);
  if ((pid_ > 0 || exited_ > 0) && owner_ != ::getpid()) {
    // A forked copy of the host: the worker belongs to the parent.
    if (fd_ >= 0) ::close(fd_);
    pid_ = 0, fd_ = -1, exited_ = 0;
  }
  if (pid_ == 0 && !start()) return Outcome::Unavailable;

  Header h;
  h.flags = flags;
  h.count[0] = xy.size() / 2;
  h.count[1] = constraints.size();
  h.count[2] = segments.size() / 4;
  // Generous for GTS's measured speed (about 20 us per vertex), yet bounded.
  const auto budget = std::chrono::milliseconds(
      std::min<uint64_t>(60000, 3000 + (h.count[0] + h.count[1] + h.count[2]) / 20));
  const auto deadline = Clock::now() + budget;

  Reply reply;
  bool ok = sendAll(fd_, &h, sizeof h, deadline) && sendAll(fd_, xy.data(), xy.size_bytes(), deadline) &&
            sendAll(fd_, constraints.data(), constraints.size_bytes(), deadline) &&
            sendAll(fd_, segments.data(), segments.size_bytes(), deadline) &&
            receiveAll(fd_, &reply, sizeof reply, deadline) && reply.magic == kMagic &&
            reply.count[0] <= (uint64_t(1) << 28) && reply.count[1] <= (uint64_t(1) << 28);
  if (ok) {
    answer.status = reply.status;
    answer.newVertices.resize(2 * reply.count[0]);
    answer.triangles.resize(3 * reply.count[1]);
    ok = receiveAll(fd_, answer.newVertices.data(), answer.newVertices.size() * sizeof(double), deadline) &&
         receiveAll(fd_, answer.triangles.data(), answer.triangles.size() * sizeof(uint32_t), deadline);
  }
  if (!ok) {
    const bool late = Clock::now() >= deadline;
    stopWorker();
    answer = {};
    return late ? Outcome::TimedOut : Outcome::Crashed;
  }
  if (reply.workerExits) {
    // It ends by itself; reaped when the next one starts, so that this call need not wait.
    ::close(fd_);
    exited_ = pid_;
    pid_ = 0, fd_ = -1;
  } else if (residentBytes() > kMaxResidentBytes) {
    stopWorker();
  }
  return Outcome::Answered;
}

}  // namespace vellum::triangulation
