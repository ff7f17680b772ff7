#include "checks/smbios_table.h"

#include <gtest/gtest.h>

#include "smbios_builder.h"

namespace brx {
namespace checks {
namespace {

SmbiosStructure Find(const std::vector<uint8_t>& bytes, uint8_t type, SmbiosTableReader& table) {
  EXPECT_TRUE(table.Assign(bytes.data(), bytes.size()));
  return table.FindStructure(type);
}

TEST(SmbiosTable, SkipsStructuresWithAndWithoutStrings) {
  auto bytes = TableBuilder()
                   .Add(0, {1, 2, 3}, {"Vendor", "1.0"})
                   .Add(1, {9, 9})
                   .Add(4, {0}, {"", "x"})  // an empty string inside the set
                   .Add(224, {0x01, 0x04, 0x02})
                   .End()
                   .bytes();
  SmbiosTableReader table;
  SmbiosStructure s = Find(bytes, 224, table);
  ASSERT_TRUE(s.found());
  EXPECT_EQ(7, s.length());
  EXPECT_EQ(0x02, s.Byte(6));
  EXPECT_FALSE(table.FindStructure(2).found());
  EXPECT_TRUE(table.FindStructure(0).found());
}

TEST(SmbiosTable, EndStructureStopsTheWalk) {
  SmbiosTableReader table;
  EXPECT_FALSE(Find(TableBuilder().End().Add(224, {1, 0, 2}).bytes(), 224, table).found());
  EXPECT_FALSE(Find(TableBuilder().Add(1, {}).End().Add(224, {1, 0, 2}).bytes(), 224, table).found());
  // Without an end structure the walk ends with the data.
  EXPECT_FALSE(Find(TableBuilder().Add(1, {}).Add(2, {}).bytes(), 224, table).found());
  // Nothing to walk: an empty table, or a size nobody's firmware has.
  uint8_t byte = 224;
  EXPECT_FALSE(table.Assign(&byte, 0));
  EXPECT_FALSE(table.FindStructure(224).found());
  EXPECT_FALSE(table.Allocate(SmbiosTableReader::kMaxTableSize + 1));
}

// Firmware bytes are not trusted: none of these may read outside the buffer
// (the sanitizer build and the fuzzer hold the walk to that).
TEST(SmbiosTable, MalformedTablesEndTheWalkInsideTheBuffer) {
  SmbiosTableReader table;
  // Length bytes below the header would put the walk out of step.
  for (uint8_t length : {0, 1, 3}) {
    std::vector<uint8_t> bytes = {1, length, 0, 0, 0, 0, 224, 6, 0, 0, 1, 0, 0, 0};
    EXPECT_FALSE(Find(bytes, 224, table).found()) << int(length);
  }
  // A length running past the end, a string set without its final zeros, a
  // lone type byte.
  EXPECT_FALSE(Find({1, 200, 0, 0, 224, 6}, 224, table).found());
  EXPECT_FALSE(Find({1, 4, 0, 0, 'a', 'b', 'c'}, 224, table).found());
  EXPECT_FALSE(Find({1}, 224, table).found());

  // A type 224 structure cut short by the end of the table reads as zeros.
  SmbiosStructure s = Find({1, 4, 0, 0, 0, 0, 224, 6, 0, 0, 1}, 224, table);
  ASSERT_TRUE(s.found());
  EXPECT_EQ(6, s.length());
  EXPECT_EQ(1, s.Byte(4));
  EXPECT_EQ(0, s.Byte(5));
  EXPECT_EQ(0, s.Byte(6));
  EXPECT_EQ(0, s.Byte(1000));
}

}  // namespace
}  // namespace checks
}  // namespace brx
