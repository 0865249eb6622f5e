#include "runtime/values/dim_array.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/core/runtime_state.h"

namespace quillon {
namespace {

// The game's bullet record: 48 bytes of numbers.
struct Bullet {
  double x, y, vx, vy, life, owner;
};
static_assert(sizeof(Bullet) == 48);

TEST(DimArrayShape, SlotCountIsTheNextMultipleOfEightAboveTheCount) {
  DimArray<double> a;
  EXPECT_EQ(a.elements, nullptr);
  a.Dimension(101, 0, 0, 0);
  EXPECT_EQ(a.extent0, 101);
  EXPECT_EQ(a.dimensionCount, 1);
  EXPECT_EQ(a.capacity, 104);
  for (int i = 0; i < 101; ++i) EXPECT_EQ(a.At(i, 0, 0, 0), 0.0);
  a.At(100, 0, 0, 0) = 7;
  EXPECT_EQ(a.elements[100], 7.0);

  DimArray<double> b;
  b.Dimension(2.7, 0, 0, 0);
  EXPECT_EQ(b.extent0, 2);
  EXPECT_EQ(b.capacity, 8);
  EXPECT_EQ(b.elements, b.inlineElements);
  a.Dimension(2.7, 0, 0, 0);  // large enough storage stays
  EXPECT_EQ(a.capacity, 104);
}

TEST(DimArrayShape, SmallDoubleArraysLiveInline) {
  DimArray<double> a;
  a.Dimension(10, 0, 0, 0);
  EXPECT_EQ(a.capacity, 16);
  EXPECT_EQ(a.elements, a.inlineElements);
  a.Dimension(16, 0, 0, 0);
  EXPECT_EQ(a.capacity, 24);
  EXPECT_NE(a.elements, a.inlineElements);
  DimArray<Bullet> records;
  records.Dimension(3, 0, 0, 0);
  EXPECT_EQ(records.capacity, 8);
}

TEST(DimArrayShape, StorageIsReusedAndClearedWhenLargeEnough) {
  DimArray<double> a;
  a.Dimension(100, 0, 0, 0);
  a.At(5) = 3;
  double* storage = a.elements;
  a.Dimension(20, 3, 0, 0);
  EXPECT_EQ(a.elements, storage);
  EXPECT_EQ(a.capacity, 104);
  EXPECT_EQ(a.elements[5], 0.0);
  a.Dimension(0, 0, 0, 0);  // emptying always replaces the storage
  EXPECT_EQ(a.extent0, 0);
  EXPECT_EQ(a.capacity, 8);

  DimArray<Bullet> bullets;
  bullets.Dimension(101, 0, 0, 0);
  bullets.At(100).life = 5;
  Bullet* kept = bullets.elements;
  bullets.Dimension(101, 0, 0, 0);
  EXPECT_EQ(bullets.elements, kept);
  EXPECT_EQ(bullets.At(100).life, 0.0);
}

TEST(DimArrayShape, StridesAndDimensionCounts) {
  DimArray<double> a;
  a.Dimension(3, 2, 0, 0);
  EXPECT_EQ(a.dimensionCount, 2);
  EXPECT_EQ(a.stride1, 3);
  EXPECT_EQ(&a.At(2, 1), &a.elements[5]);
  a.Dimension(2, 3, 4, 5);
  EXPECT_EQ(a.dimensionCount, 4);
  EXPECT_EQ(&a.At(1, 2, 3, 4), &a.elements[1 + 2 * 2 + 3 * 6 + 4 * 24]);
  EXPECT_EQ(a.Bound(0), 2);
  EXPECT_EQ(a.Bound(3.9), 5);
  EXPECT_EQ(a.Bound(4), 0);
  EXPECT_EQ(a.Bound(-1), 0);
  // An unused middle dimension still steps, so the third index never aliases.
  a.Dimension(2, 0, 3, 0);
  EXPECT_EQ(a.dimensionCount, 3);
  EXPECT_NE(&a.At(1, 0, 0), &a.At(1, 0, 2));
  EXPECT_EQ(&a.At(1, 0, 2), &a.elements[5]);
}

TEST(DimArrayShape, TextArraysReDimensionedInPlaceAreEmpty) {
  DimArray<StringValue> texts;
  texts.Dimension(5, 0, 0, 0);
  for (int i = 0; i < 5; ++i) texts.At(i) = StringValue(i * 11);
  StringValue* storage = texts.elements;
  texts.Dimension(7, 0, 0, 0);
  EXPECT_EQ(texts.elements, storage);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(texts.At(i).length, 0u);
  texts.Dimension(30, 0, 0, 0);
  EXPECT_EQ(texts.capacity, 32);
  EXPECT_EQ(texts.At(29).length, 0u);
}

TEST(DimArrayKeep, RedimensionKeepsValuesByIndex) {
  DimArray<double> a;
  a.Dimension(3, 2, 0, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) a.At(x, y) = 10 * x + y + 1;
  a.Redimension(5, 2, 0, 0);
  EXPECT_EQ(a.extent0, 5);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(a.At(x, y), x < 3 ? 10 * x + y + 1 : 0) << x << y;

  // Heap to heap: the fresh storage changes hands.
  a.Redimension(6, 4, 0, 0);
  a.At(5, 3) = 99;
  a.Redimension(2, 5, 0, 0);
  EXPECT_EQ(a.At(1, 1), 12);
  EXPECT_EQ(a.At(1, 3), 0);
  EXPECT_EQ(a.At(0, 4), 0);
}

TEST(DimArrayKeep, RedimensionOfEmptyArraysAndTexts) {
  DimArray<double> never;
  never.Redimension(4, 0, 0, 0);  // nothing to keep is not an error
  EXPECT_EQ(never.extent0, 4);
  EXPECT_EQ(never.At(3), 0);
  never.Redimension(0, 0, 0, 0);
  EXPECT_EQ(never.extent0, 0);

  DimArray<StringValue> names;
  names.Dimension(40, 0, 0, 0);
  names.At(39) = "last";
  names.At(1) = "second";
  names.Redimension(2, 0, 0, 0);
  EXPECT_EQ(names.At(1) == "second", 1.0);
  names.Redimension(50, 0, 0, 0);
  EXPECT_EQ(names.At(1) == "second", 1.0);
  EXPECT_EQ(names.At(39).length, 0u);
}

TEST(DimArrayKeep, CopyFromAndFillFromList) {
  DimArray<double> source;
  source.FillFromList({1.5, 2.5, 3.5});
  EXPECT_EQ(source.extent0, 3);
  EXPECT_EQ(source.At(2), 3.5);
  DimArray<double> grid;
  grid.Dimension(4, 5, 0, 0);
  grid.At(3, 4) = 8;
  DimArray<double> copy;
  copy.CopyFrom(grid);
  EXPECT_EQ(copy.extent1, 5);
  EXPECT_EQ(copy.At(3, 4), 8);
  copy.CopyFrom(copy);
  EXPECT_EQ(copy.At(3, 4), 8);
  copy.CopyFrom(source);
  EXPECT_EQ(copy.extent1, 0);
  EXPECT_EQ(copy.At(1), 2.5);
  source.FillFromList(-2, nullptr);
  EXPECT_EQ(source.extent0, 0);
}

// Ends the process the way the runtime does; the exit status is the error code.
#define EXPECT_ARRAY_ERROR(statement, code) \
  EXPECT_EXIT(statement, ::testing::ExitedWithCode(code), "runtime error " #code)

TEST(DimArrayDeathTest, UseBeforeElementsIsError8) {
  DimArray<double> a;
  EXPECT_ARRAY_ERROR(a.At(0), 8);
  a.Dimension(0, 0, 0, 0);
  EXPECT_ARRAY_ERROR(a.At(0), 8);
  DimArray<StringValue> texts;
  EXPECT_ARRAY_ERROR(texts.At(0, 0, 0, 0), 8);
}

TEST(DimArrayDeathTest, IndexOutsideAnyDimensionIsError9) {
  DimArray<double> a;
  a.Dimension(101, 0, 0, 0);
  EXPECT_ARRAY_ERROR(a.At(101), 9);
  EXPECT_ARRAY_ERROR(a.At(-1), 9);
  EXPECT_ARRAY_ERROR(a.At(0, 1), 9);  // an unused dimension takes only index 0
  DimArray<Bullet> b;
  b.Dimension(2, 3, 4, 5);
  EXPECT_ARRAY_ERROR(b.At(2, 0, 0, 0), 9);
  EXPECT_ARRAY_ERROR(b.At(0, 3, 0, 0), 9);
  EXPECT_ARRAY_ERROR(b.At(0, 0, 4, 0), 9);
  EXPECT_ARRAY_ERROR(b.At(0, 0, 0, 5), 9);
  EXPECT_ARRAY_ERROR(b.At(0, 0, -2, 0), 9);
  b.Dimension(4, -3, 0, 0);  // a negative size leaves nothing addressable
  EXPECT_ARRAY_ERROR(b.At(0, 0, 0, 0), 9);
}

TEST(DimArrayDeathTest, CountsBeyond32BitsAreError7) {
  DimArray<double> a;
  EXPECT_ARRAY_ERROR(a.Dimension(100000, 100000, 0, 0), 7);
  EXPECT_ARRAY_ERROR(a.Dimension(2, 2, 2, 1e300), 7);
  EXPECT_ARRAY_ERROR(a.Dimension(HUGE_VAL, 0, 0, 0), 7);
  EXPECT_ARRAY_ERROR(a.Dimension(2, std::nan(""), 1e10, 0), 7);
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(DimArrayDeathTest, StorageThatCannotBeAllocatedIsError7) {
  struct Huge {
    double words[1 << 20];
  };
  DimArray<Huge> a;  // 8 MiB records: a billion of them is far beyond any machine
  EXPECT_ARRAY_ERROR(a.Dimension(1e9, 0, 0, 0), 7);
}
#endif

TEST(DimArrayDeathTest, DebugModeWritesTheEndReport) {
  char dir[] = "/tmp/quillon-dimarray-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const char* oldTmp = getenv("TMPDIR");
  std::string saved = oldTmp ? oldTmp : "";
  setenv("TMPDIR", dir, 1);
  DimArray<double> a;
  a.Dimension(3, 0, 0, 0);
  EXPECT_EXIT(
      {
        runtimeState.debugMode = 1;
        a.At(3);
      },
      ::testing::ExitedWithCode(9), "runtime error 9");
  // The log sits in the user's own directory below the temporary one.
  std::string userDir = std::string(dir) + "/quillon-" + std::to_string(geteuid());
  std::string path = userDir + "/ErrorLog.txt";
  std::ifstream log(path, std::ios::binary);
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_EQ(text.str(), "-End On Line\r\n9\r\n-1\r\n0\r\n0\r\n");
  std::remove(path.c_str());
  rmdir(userDir.c_str());
  rmdir(dir);
  if (oldTmp)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

}  // namespace
}  // namespace quillon
