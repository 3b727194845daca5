#include "recognition/process_state.h"

#include <gtest/gtest.h>

#include <thread>

namespace qw {
namespace {

TEST(ProcessState, AFreshStartHoldsNothing) {
  ProcessState state;
  EXPECT_FALSE(state.high_accuracy);
  EXPECT_TRUE(state.shared_picture.snapshot()->empty());
  EXPECT_TRUE(state.batch.file_list.empty());
  EXPECT_EQ(state.batch.worker_count.load(), 0);
  EXPECT_EQ(state.hotkey_id, 0);
}

TEST(ProcessState, AWorkersSnapshotOutlivesANewPicture) {
  SharedPicture picture;
  picture.set({1, 2, 3});
  const auto taken_by_worker = picture.snapshot();
  std::thread ui([&] {
    for (std::uint8_t i = 0; i < 100; ++i) picture.set(Bytes(1000, i));
  });
  ui.join();
  EXPECT_EQ(*taken_by_worker, (Bytes{1, 2, 3}));
  EXPECT_EQ(*picture.snapshot(), Bytes(1000, 99));
}

}  // namespace
}  // namespace qw
