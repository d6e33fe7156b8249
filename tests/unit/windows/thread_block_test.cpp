// The thread block lives in the image's static TLS: every thread has its own, zero when the
// thread starts, at a fixed place from the first instruction of the thread on.
#include <gtest/gtest.h>

#include <thread>

#include "platform/thread_block.h"

namespace {

TEST(ThreadBlock, EachThreadHasItsOwnBlockStartingAtZero) {
  platform::ThreadBlockRecord& mine = platform::ThreadBlock();
  mine.pendingIoError = 106;
  platform::ThreadBlockRecord* theirs = nullptr;
  int32_t theirsAtStart = -1;
  int32_t theirsReserved = -1;
  std::thread other([&] {
    theirs = &platform::ThreadBlock();
    theirsAtStart = theirs->pendingIoError;
    theirsReserved = theirs->reserved;
    theirs->pendingIoError = 2;
    theirs = &platform::ThreadBlock();  // the same place on every call
  });
  other.join();
  EXPECT_NE(theirs, &mine);
  EXPECT_EQ(theirsAtStart, 0);
  EXPECT_EQ(theirsReserved, 0);
  EXPECT_EQ(mine.pendingIoError, 106);  // the other thread's write went to its own block
  EXPECT_EQ(&platform::ThreadBlock(), &mine);
  mine.pendingIoError = 0;
}

}  // namespace
