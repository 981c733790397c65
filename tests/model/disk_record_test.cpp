// What Save compares with the disk before it writes.

#include <gtest/gtest.h>

#include "disk_record.h"
#include "model_test_support.h"
#include "rom_file.h"

namespace kestrin {
namespace {

using namespace testing_support;

TEST(DiskRecord, OnlyAChangedRecordedFileCounts) {
  TempFolder folder;
  const std::string path = folder / "game.nes";
  WriteFile(path, PatternImage(1));
  EditingState state;
  ASSERT_TRUE(LoadRom(state, path));
  EXPECT_FALSE(ChangedOnDiskSinceRecorded(state, path));

  // Another program replaces the file by rename, with the same bytes:
  // a new inode is a change all the same.
  WriteFile(folder / "other.nes", PatternImage(1));
  std::filesystem::rename(folder / "other.nes", path);
  EXPECT_TRUE(ChangedOnDiskSinceRecorded(state, path));
  EXPECT_FALSE(ChangedOnDiskSinceRecorded(state, folder / "copy.nes"));  // never read: nothing to compare

  RecordSaved(state, path);
  EXPECT_FALSE(ChangedOnDiskSinceRecorded(state, path));

  // A file that is gone holds nothing to lose.
  std::filesystem::remove(path);
  EXPECT_FALSE(ChangedOnDiskSinceRecorded(state, path));
}

TEST(DiskRecord, TheHashIsOfTheBytesAndTheRecordFollowsTheWrittenName) {
  EXPECT_EQ(ContentHash({}), 0xcbf29ce484222325ULL);  // 64-bit FNV-1a offset basis
  const std::uint8_t a[] = {'a'};
  EXPECT_EQ(ContentHash(a), 0xaf63dc4c8601ec8cULL);  // FNV-1a("a")

  TempFolder folder;
  WriteFile(folder / "plain", PatternImage(2));
  EditingState state;
  ASSERT_TRUE(LoadRom(state, folder / "plain"));
  ASSERT_TRUE(WriteImage(state, folder / "plain"));  // writes plain.nes
  RecordSaved(state, folder / "plain");
  EXPECT_TRUE(IsRecordedFile(state, folder / "plain.nes"));
  WriteFile(folder / "plain.nes", PatternImage(3));
  EXPECT_TRUE(ChangedOnDiskSinceRecorded(state, folder / "plain"));
}

}  // namespace
}  // namespace kestrin
