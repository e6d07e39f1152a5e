// The loader's thread: jobs run in order, off the posting thread, after its set-up; a stuck job
// holds back neither the posting thread nor the Worker's destruction.
#include "forms/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quildor::forms {
namespace {

TEST(Worker, RunsJobsInOrderOnOneThreadOfItsOwnAfterItsSetUp) {
  std::mutex m;
  std::condition_variable cv;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  {
    Worker worker([&] {
      const std::lock_guard<std::mutex> lock(m);
      order.push_back(0);
    });
    for (int i = 1; i <= 3; ++i) {
      worker.Post([&, i] {
        const std::lock_guard<std::mutex> lock(m);
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
        cv.notify_all();
      });
    }
    std::unique_lock<std::mutex> lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return order.size() == 4; }));
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_NE(threads[0], std::this_thread::get_id());
  EXPECT_EQ(threads[0], threads[2]);
}

TEST(Worker, AStuckJobHoldsBackNothingButTheJobsBehindIt) {
  auto release = std::make_shared<std::promise<void>>();
  auto ran_after = std::make_shared<bool>(false);
  {
    Worker worker;
    worker.Post([gate = release->get_future().share()] { gate.wait(); });
    worker.Post([ran_after] { *ran_after = true; });
    // Destroyed with the first job stuck: returns at once, and drops the second.
  }
  release->set_value();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(*ran_after);
}

}  // namespace
}  // namespace quildor::forms
