#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace quorvel::engine {

// Works on items in worker threads and hands them back in the order they were submitted, so
// that output stays in input order. With no workers the work runs in Submit itself.
template <typename Item>
class OrderedPool {
  public:
    OrderedPool(int workers, std::function<void(Item&)> work) : work_(std::move(work)) {
        try {
            for (int i = 0; i < workers; ++i) threads_.emplace_back([this] { Serve(); });
        } catch (const std::system_error&) {
            // No threads to be had: whatever started serves, or the caller's thread does.
        }
    }

    ~OrderedPool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        workAvailable_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    std::size_t InFlight() const { return order_.size(); }

    void Submit(std::unique_ptr<Item> item) {
        auto slot = std::make_unique<Slot>();
        slot->item = std::move(item);
        Slot* raw = slot.get();
        if (threads_.empty()) {
            Run(*raw);
            order_.push_back(std::move(slot));
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            order_.push_back(std::move(slot));
            queue_.push_back(raw);
        }
        workAvailable_.notify_one();
    }

    // The oldest item once its work is done, or nullptr when none is left. Rethrows what the
    // work threw.
    std::unique_ptr<Item> TakeNext() {
        if (order_.empty()) return nullptr;
        std::unique_ptr<Slot> slot;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            itemDone_.wait(lock, [this] { return order_.front()->done; });
            slot = std::move(order_.front());
            order_.pop_front();
        }
        if (slot->error) std::rethrow_exception(slot->error);
        return std::move(slot->item);
    }

  private:
    struct Slot {
        std::unique_ptr<Item> item;
        bool done = false;
        std::exception_ptr error;
    };

    void Run(Slot& slot) {
        try {
            work_(*slot.item);
        } catch (...) {
            slot.error = std::current_exception();
        }
        slot.done = true;
    }

    void Serve() {
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                workAvailable_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_) return;
                slot = queue_.front();
                queue_.pop_front();
            }
            try {
                work_(*slot->item);
            } catch (...) {
                slot->error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                slot->done = true;
            }
            itemDone_.notify_all();
        }
    }

    std::function<void(Item&)> work_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable workAvailable_, itemDone_;
    std::deque<std::unique_ptr<Slot>> order_;  // submitted, oldest first; touched by the caller
    std::deque<Slot*> queue_;                  // waiting for a worker
    bool stopping_ = false;
};

}  // namespace quorvel::engine
