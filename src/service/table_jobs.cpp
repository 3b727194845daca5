#include "service/table_jobs.h"

#include <openssl/rand.h>

#include <algorithm>

#include "service/spreadsheet_xls.h"
#include "service/text_lines.h"

namespace qw {

std::string spreadsheet_of_reading(const PictureReading& reading) {
  SheetRows rows;
  for (const TextLine& line : reading.lines) rows.push_back(split_cells(line));
  return xls_workbook(rows);
}

TableJobs::TableJobs(EnginePool& engines, std::size_t kept_jobs, std::size_t queue_limit)
    : engines_(engines),
      kept_jobs_(std::max<std::size_t>(kept_jobs, 1)),
      queue_limit_(std::max<std::size_t>(queue_limit, 1)),
      worker_([this] { run(); }) {}

TableJobs::~TableJobs() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  worker_.join();
}

// Digits, an underscore and a serial: unguessable (the download needs no token) and safe to send
// unencoded in a form body, as clients do.
std::string TableJobs::new_request_id() {
  unsigned char random[8] = {};
  RAND_bytes(random, sizeof random);
  unsigned long long number = 0;
  for (const unsigned char byte : random) number = (number << 8) | byte;
  return std::to_string(number % 10'000'000'000'000'000ULL) + "_" + std::to_string(++serial_);
}

std::optional<std::string> TableJobs::submit(Bytes picture) {
  std::string id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.size() >= queue_limit_) return std::nullopt;
    id = new_request_id();
    Job job;
    job.picture = std::move(picture);
    jobs_.emplace(id, std::move(job));
    order_.push_back(id);
    waiting_.push_back(id);
    forget_old_jobs();
  }
  work_.notify_one();
  return id;
}

// Only finished or failed jobs are forgotten: a waiting or running one is still owed a result.
void TableJobs::forget_old_jobs() {
  std::size_t surplus = order_.size() > kept_jobs_ ? order_.size() - kept_jobs_ : 0;
  for (auto it = order_.begin(); surplus > 0 && it != order_.end();) {
    const auto job = jobs_.find(*it);
    if (job != jobs_.end() && (job->second.status.state == JobState::finished || job->second.status.state == JobState::failed)) {
      jobs_.erase(job);
      it = order_.erase(it);
      --surplus;
    } else {
      ++it;
    }
  }
}

std::optional<JobStatus> TableJobs::status(const std::string& request_id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto job = jobs_.find(request_id);
  if (job == jobs_.end()) return std::nullopt;
  return job->second.status;
}

std::optional<std::string> TableJobs::spreadsheet(const std::string& request_id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto job = jobs_.find(request_id);
  if (job == jobs_.end() || job->second.status.state != JobState::finished) return std::nullopt;
  return job->second.spreadsheet;
}

void TableJobs::run() {
  for (;;) {
    std::string id;
    Bytes picture;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      work_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      id = waiting_.front();
      waiting_.pop_front();
      Job& job = jobs_.at(id);
      job.status.state = JobState::running;
      picture = std::move(job.picture);
    }
    PictureReading reading;
    bool engine_ready = false;
    {
      EnginePool::Lease engine = engines_.acquire();
      if (engine) {
        engine_ready = true;
        reading = engine->read(picture);
      }
    }
    std::string sheet;
    if (engine_ready && reading.problem == PictureProblem::none) sheet = spreadsheet_of_reading(reading);
    const bool failed = sheet.empty();  // no engine, an undecodable picture, or a sheet past the format's size
    std::lock_guard<std::mutex> lock(mutex_);
    Job& job = jobs_.at(id);
    job.status.state = failed ? JobState::failed : JobState::finished;
    job.status.row_count = reading.lines.size();
    job.spreadsheet = std::move(sheet);
  }
}

}  // namespace qw
