#include "util/Owned.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <utility>

namespace lignado {
namespace {

bool isOpen(int fd) {
  return ::fcntl(fd, F_GETFD) != -1;
}

TEST(OwnedFd, ClosesWhatItHoldsExactlyOnce) {
  int a = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int b = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_TRUE(isOpen(a));
  {
    OwnedFd first(a);
    OwnedFd moved(std::move(first));
    EXPECT_FALSE(first.valid());
    EXPECT_EQ(moved.get(), a);
    OwnedFd second(b);
    moved = std::move(second);  // closes a, holds b
    EXPECT_FALSE(isOpen(a));
    EXPECT_TRUE(isOpen(b));
  }
  EXPECT_FALSE(isOpen(b));

  int c = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  OwnedFd kept(c);
  EXPECT_EQ(kept.release(), c);
  kept.reset();
  EXPECT_TRUE(isOpen(c));  // released: no longer its owner's to close
  OwnedFd closing(c);
  EXPECT_TRUE(closing.close());
  EXPECT_FALSE(isOpen(c));
  EXPECT_TRUE(closing.close());  // nothing left to close
}

TEST(OwnedFile, ClosesTheStreamAndItsDescriptor) {
  int fd = -1;
  {
    OwnedFile f(std::fopen("/dev/null", "rb"));
    ASSERT_TRUE(f);
    fd = ::fileno(f.get());
    EXPECT_TRUE(isOpen(fd));
  }
  EXPECT_FALSE(isOpen(fd));
}

}  // namespace
}  // namespace lignado
