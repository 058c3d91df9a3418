// The plug-in's side of the triangulation worker: starts the worker executable once, sends it
// one request at a time over a socket with a time limit, and restarts it after a crash, a
// timeout, or when it has grown. GTS is never called inside the host's own process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <vector>

#include "patches/geometry/TriangulationProtocol.h"

namespace vellum::triangulation {

struct WorkerAnswer {
  uint32_t status = kFailed;
  std::vector<double> newVertices;  // x, y
  std::vector<uint32_t> triangles;  // three indices per triangle, counter-clockwise
};

class GtsWorkerClient {
 public:
  enum class Outcome { Answered, Crashed, TimedOut, Unavailable };

  static GtsWorkerClient& shared();
  ~GtsWorkerClient();

  // One request. `Answered` fills `answer` (whose status may still say the check failed).
  Outcome request(uint32_t flags, std::span<const double> xy, std::span<const Constraint> constraints,
                  std::span<const double> segments, WorkerAnswer& answer);

  // The worker executable: beside the module that holds this code (the installed plug-in
  // folder), else the build tree's, else the install folder's.
  static std::filesystem::path workerExecutable();

  // For tests: the running worker's process id (0 when none), and a way to end it.
  int workerProcess() const { return pid_; }
  void stopWorker();

  // The worker is restarted after a call that left it above this resident size.
  static constexpr size_t kMaxResidentBytes = size_t(256) << 20;

 private:
  bool start();
  void reapExited();
  size_t residentBytes() const;

  std::mutex mutex_;
  int pid_ = 0;
  int fd_ = -1;
  int owner_ = 0;  // the process that started the worker (a forked child must not use it)
  int exited_ = 0;  // a worker that ended after its answer and is not yet reaped
};

}  // namespace vellum::triangulation
