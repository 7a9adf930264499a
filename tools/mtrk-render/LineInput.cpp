#include "LineInput.h"

#include <condition_variable>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>

namespace mtrk {

struct LineInput::Shared {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::string> lines;
    bool ended = false;
};

LineInput::LineInput() : shared_(std::make_shared<Shared>())
{
    std::thread([shared = shared_] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const std::lock_guard lock(shared->mutex);
            shared->lines.push_back(std::move(line));
            shared->arrived.notify_one();
        }
        const std::lock_guard lock(shared->mutex);
        shared->ended = true;
        shared->arrived.notify_one();
    }).detach();
}

bool LineInput::Next(std::string& line)
{
    std::unique_lock lock(shared_->mutex);
    shared_->arrived.wait(lock, [&] { return !shared_->lines.empty() || shared_->ended; });
    if (shared_->lines.empty())
        return false;
    line = std::move(shared_->lines.front());
    shared_->lines.pop_front();
    return true;
}

bool LineInput::TryNext(std::string& line)
{
    const std::lock_guard lock(shared_->mutex);
    if (shared_->lines.empty())
        return false;
    line = std::move(shared_->lines.front());
    shared_->lines.pop_front();
    return true;
}

bool LineInput::Ended() const
{
    const std::lock_guard lock(shared_->mutex);
    return shared_->ended && shared_->lines.empty();
}

} // namespace mtrk
