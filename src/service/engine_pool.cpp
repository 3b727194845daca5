#include "service/engine_pool.h"

namespace qw {

EnginePool::EnginePool(std::size_t capacity, Factory factory)
    : capacity_(capacity > 0 ? capacity : 1), factory_(std::move(factory)) {}

EnginePool::Lease::~Lease() {
  if (pool_ && engine_) pool_->give_back(std::move(engine_));
}

EnginePool::Lease EnginePool::acquire() {
  std::unique_lock<std::mutex> lock(mutex_);
  returned_.wait(lock, [&] { return !idle_.empty() || created_ < capacity_; });
  if (!idle_.empty()) {
    std::unique_ptr<OcrEngine> engine = std::move(idle_.back());
    idle_.pop_back();
    return Lease(this, std::move(engine));
  }
  ++created_;
  lock.unlock();
  // Created outside the lock: loading the models takes a while and others may be returning engines.
  std::unique_ptr<OcrEngine> engine = factory_();
  if (!engine) {
    lock.lock();
    --created_;
    returned_.notify_one();
  }
  return Lease(this, std::move(engine));
}

void EnginePool::give_back(std::unique_ptr<OcrEngine> engine) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(std::move(engine));
  }
  returned_.notify_one();
}

}  // namespace qw
