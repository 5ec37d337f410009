#include "app/frame_pacing.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"

namespace kelvane {
namespace {

TEST(FramePacing, Placeholder) { EXPECT_TRUE(TickReached(5, 5)); }

}  // namespace
}  // namespace kelvane
