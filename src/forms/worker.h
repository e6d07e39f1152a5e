// A thread beside the GUI thread that runs jobs one after another, in the order they are posted:
// the slide show's loader, which reads the photo folder so that the GUI thread never waits on a
// slow or stuck drive. The thread starts with Start or the first job and lives as long as the
// process; it is never joined, since a job may be stuck for ever in a read that does not return,
// and ending the program must not wait for it. Destroying the Worker lets the thread end after the
// job it is running, if that job ever ends; jobs not started by then are dropped.
#pragma once

#include <functional>
#include <memory>

namespace quildor::forms {

class Worker {
 public:
  // `on_start` runs on the thread before its first job (a backend's per-thread set-up).
  explicit Worker(std::function<void()> on_start = {});
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Starts the thread, if it has not started yet. Throws std::system_error when the system
  // cannot make one.
  void Start();

  // Runs `job` on the worker thread after the jobs posted before it. A job catches its own
  // failures.
  void Post(std::function<void()> job);

 private:
  struct Queue;
  std::shared_ptr<Queue> queue_;   // shared with the thread, which may outlive the Worker
  std::function<void()> on_start_;
  bool started_ = false;
};

}  // namespace quildor::forms
