#include "milter_agent_runs.h"

#include <memory>
#include <thread>

namespace kz::tool {

namespace {

struct RunState {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    bool abandoned = false;
    bool kept = true;
};

}  // namespace

AgentRuns::AgentRuns(const AgentLibrary& agent, unsigned concurrent, std::chrono::seconds timeout)
    : agent_(agent), timeout_(timeout), slots_(std::max(1u, std::min(concurrent, 1u << 16))) {}

AgentRuns::Result AgentRuns::run(const std::string& message, const std::string& connector,
                                 std::function<void(bool done)> abandoned) {
    auto deadline = std::chrono::steady_clock::now() + timeout_;
    if (!slots_.try_acquire_until(deadline)) return Result::Busy;
    auto state = std::make_shared<RunState>();
    {
        std::lock_guard lock(mutex_);
        ++active_;
    }
    std::thread([this, state, message, connector, abandoned = std::move(abandoned)] {
        bool kept = agent_.filterExecuteChecked(message, connector) != 0;
        slots_.release();
        {
            std::unique_lock lock(state->mutex);
            if (!state->abandoned) {
                // The waiter may return and end this object as soon as it sees the run
                // done: nothing of it is touched after that.
                finished();
                state->kept = kept;
                state->done = true;
                lock.unlock();
                state->cv.notify_all();
                return;
            }
            state->done = true;
        }
        if (abandoned) abandoned(kept);
        finished();
    }).detach();
    std::unique_lock lock(state->mutex);
    if (state->cv.wait_until(lock, deadline, [&] { return state->done; }))
        return state->kept ? Result::Done : Result::Undone;
    state->abandoned = true;
    return Result::TimedOut;
}

void AgentRuns::finished() {
    std::lock_guard lock(mutex_);
    --active_;
    idle_.notify_all();
}

bool AgentRuns::waitIdle(std::chrono::seconds bound) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, bound, [this] { return active_ == 0; });
}

}  // namespace kz::tool
