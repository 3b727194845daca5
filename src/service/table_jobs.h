// Table recognition as the platform runs it: a job per picture, done in the background, whose
// state the client polls and whose result is a spreadsheet it downloads.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "common/bytes.h"
#include "service/engine_pool.h"

namespace qw {

enum class JobState { waiting, running, finished, failed };

struct JobStatus {
  JobState state = JobState::waiting;
  std::size_t row_count = 0;  // finished jobs: text lines in the spreadsheet
};

class TableJobs {
 public:
  // `kept_jobs`: the newest jobs whose results stay available; older ones are forgotten.
  // `queue_limit`: jobs waiting at most; a submit beyond it is refused.
  TableJobs(EnginePool& engines, std::size_t kept_jobs = 64, std::size_t queue_limit = 16);
  // Finishes the running job, drops the waiting ones.
  ~TableJobs();
  TableJobs(const TableJobs&) = delete;
  TableJobs& operator=(const TableJobs&) = delete;

  // The new job's request id, or nothing when too many jobs wait.
  std::optional<std::string> submit(Bytes picture);
  std::optional<JobStatus> status(const std::string& request_id) const;
  // The finished job's .xls bytes.
  std::optional<std::string> spreadsheet(const std::string& request_id) const;

 private:
  struct Job {
    JobStatus status;
    Bytes picture;
    std::string spreadsheet;
  };
  void run();
  std::string new_request_id();
  void forget_old_jobs();

  EnginePool& engines_;
  const std::size_t kept_jobs_;
  const std::size_t queue_limit_;
  mutable std::mutex mutex_;
  std::condition_variable work_;
  std::map<std::string, Job> jobs_;
  std::deque<std::string> order_;    // every job's id, oldest first
  std::deque<std::string> waiting_;  // ids of the jobs still to do
  unsigned long long serial_ = 0;
  bool stopping_ = false;
  std::thread worker_;  // last: starts once everything above exists
};

// One row per recognised line, cells split where the words stand far apart.
std::string spreadsheet_of_reading(const PictureReading& reading);

}  // namespace qw
