#include "forms/worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace quildor::forms {

struct Worker::Queue {
  std::mutex mutex;
  std::condition_variable posted;
  std::deque<std::function<void()>> jobs;
  bool closed = false;
};

Worker::Worker(std::function<void()> on_start)
    : queue_(std::make_shared<Queue>()), on_start_(std::move(on_start)) {}

Worker::~Worker() {
  {
    const std::lock_guard<std::mutex> lock(queue_->mutex);
    queue_->closed = true;
    queue_->jobs.clear();
  }
  queue_->posted.notify_all();
}

void Worker::Post(std::function<void()> job) {
  {
    const std::lock_guard<std::mutex> lock(queue_->mutex);
    queue_->jobs.push_back(std::move(job));
  }
  queue_->posted.notify_one();
  Start();
}

void Worker::Start() {
  if (started_) return;
  std::thread([queue = queue_, on_start = on_start_] {
    if (on_start) on_start();
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(queue->mutex);
        queue->posted.wait(lock, [&] { return queue->closed || !queue->jobs.empty(); });
        if (queue->closed) return;
        job = std::move(queue->jobs.front());
        queue->jobs.pop_front();
      }
      job();
    }
  }).detach();
  started_ = true;
}

}  // namespace quildor::forms
