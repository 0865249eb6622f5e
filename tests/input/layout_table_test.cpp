// The scan-code to virtual-key table used when the platform has no scan-code keyboard.
#include <gtest/gtest.h>

#include "runtime/input/input_state.h"

namespace quillon {
namespace {

TEST(LayoutTable, FollowsTheGermanLayoutAndMarksTheRestUnused) {
  InputState input;
  FillScanToVirtualKey(input, false);
  EXPECT_EQ(input.scanToVirtualKey[21], 'Z');  // Z and Y swap places on that layout
  EXPECT_EQ(input.scanToVirtualKey[44], 'Y');
  EXPECT_EQ(input.scanToVirtualKey[2], '1');
  EXPECT_EQ(input.scanToVirtualKey[10], '9');
  EXPECT_EQ(input.scanToVirtualKey[11], '0');
  EXPECT_EQ(input.scanToVirtualKey[59], 112);  // F1
  EXPECT_EQ(input.scanToVirtualKey[68], 121);  // F10
  EXPECT_EQ(input.scanToVirtualKey[87], 122);  // F11
  EXPECT_EQ(input.scanToVirtualKey[0], 13);
  EXPECT_EQ(input.scanToVirtualKey[58], 0);
  EXPECT_EQ(input.scanToVirtualKey[12], 219);
  EXPECT_EQ(input.scanToVirtualKey[200], 38);
  EXPECT_EQ(input.scanToVirtualKey[221], 93);
  int listed = 0;
  for (int code = 0; code < 256; ++code) listed += input.scanToVirtualKey[code] != 255;
  EXPECT_EQ(listed, 104);  // every entry of the table, nothing more
  EXPECT_EQ(input.scanToVirtualKey[84], 255);
  EXPECT_EQ(input.scanToVirtualKey[255], 255);
}

TEST(LayoutTable, IsTheIdentityWithAScanCodeKeyboard) {
  InputState input;
  FillScanToVirtualKey(input, true);
  for (int code = 0; code < 256; ++code) EXPECT_EQ(input.scanToVirtualKey[code], code);
}

}  // namespace
}  // namespace quillon
