// A fixed number of recognition engines, each created once on first need and then lent to one
// request at a time. Recognition is CPU-bound, so more engines than cores would only cost memory
// (every engine holds its own copy of the language models); a request that finds all of them busy
// waits for the first one returned.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "service/ocr_engine.h"

namespace qw {

class EnginePool {
 public:
  using Factory = std::function<std::unique_ptr<OcrEngine>()>;

  EnginePool(std::size_t capacity, Factory factory);
  EnginePool(const EnginePool&) = delete;
  EnginePool& operator=(const EnginePool&) = delete;

  // One engine for the lease's lifetime, given back when the lease ends.
  class Lease {
   public:
    Lease(Lease&& other) noexcept : pool_(other.pool_), engine_(std::move(other.engine_)) { other.pool_ = nullptr; }
    Lease& operator=(Lease&&) = delete;
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease();
    // Null when the engine could not be created.
    OcrEngine* get() const { return engine_.get(); }
    OcrEngine* operator->() const { return engine_.get(); }
    explicit operator bool() const { return engine_ != nullptr; }

   private:
    friend class EnginePool;
    Lease(EnginePool* pool, std::unique_ptr<OcrEngine> engine) : pool_(pool), engine_(std::move(engine)) {}
    EnginePool* pool_;
    std::unique_ptr<OcrEngine> engine_;
  };

  Lease acquire();

 private:
  void give_back(std::unique_ptr<OcrEngine> engine);

  const std::size_t capacity_;
  const Factory factory_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<std::unique_ptr<OcrEngine>> idle_;
  std::size_t created_ = 0;  // engines in existence, lent out or idle
};

}  // namespace qw
