// Every change the window makes goes through the write path, which records
// it where it is made. Random actions of every kind, part changes, saves,
// undos and redos included, run on the real window; around each, what the
// write path recorded must be exactly what a comparison of everything
// before and after finds, and a new undo step must keep exactly that.
#include <span>
#include <string>

#include "byte_changes.h"
#include "edit_snapshot.h"
#include "random_edits.h"
#include "write_path.h"

namespace kestrin {
namespace {

std::string Describe(const ByteChange& c) {
  static const char* const kTargets[] = {"image", "edit", "stored", "header"};
  return std::string(kTargets[static_cast<int>(c.target)]) + " " + std::to_string(c.stream) + " @" +
         std::to_string(c.position) + ": " + std::to_string(c.before) + "->" + std::to_string(c.after);
}

// Whether `recorded` holds, byte for byte, what comparing the snapshot with
// the state finds. A part load replaces the buffers and the header copy
// whole, which is no change of bytes: then only the image counts.
::testing::AssertionResult RecordedAsCompared(const EditSnapshot& before, const EditingState& after,
                                              std::span<const ByteChange> recorded, bool imageOnly) {
  std::vector<ByteChange> compared = NetChanges(ChangesSince(before, after));
  std::vector<ByteChange> kept = NetChanges(recorded);
  if (imageOnly) {
    for (auto* list : {&compared, &kept})
      std::erase_if(*list, [](const ByteChange& c) { return c.target != ByteTarget::Image; });
  }
  if (compared == kept) return ::testing::AssertionSuccess();
  std::size_t i = 0;
  while (i < compared.size() && i < kept.size() && compared[i] == kept[i]) ++i;
  return ::testing::AssertionFailure()
         << compared.size() << " changes found, " << kept.size() << " recorded; first difference: found "
         << (i < compared.size() ? Describe(compared[i]) : "nothing") << ", recorded "
         << (i < kept.size() ? Describe(kept[i]) : "nothing");
}

class WritePathTest : public testing::RandomEdits {};

TEST_P(WritePathTest, EveryActionChangesExactlyWhatItRecords) {
  EditSnapshot before;
  std::vector<ByteChange> recorded;
  int steps = 0;
  for (int i = 0; i < 300 && !HasFailure(); ++i) {
    TakeSnapshot(State(), before);
    const int index = Stack().index();
    Action action{};
    {
      Recording recording(State());
      action = RandomAction(true).first;
      recorded.assign(recording.Changes().begin(), recording.Changes().end());
    }
    ASSERT_TRUE(RecordedAsCompared(before, State(), recorded, choseAPart))
        << "action " << i << " of kind " << static_cast<int>(action);
    const bool edit = action == Action::Square1 || action == Action::Square2 || action == Action::Header ||
                      action == Action::SongField || action == Action::PartEntry;
    if (edit && !choseAPart && Stack().index() == index + 1) {
      ++steps;
      ASSERT_TRUE(RecordedAsCompared(before, State(), window.History().StepChanges(index), false))
          << "step of action " << i;
    }
  }
  EXPECT_GT(steps, 50);
}

INSTANTIATE_TEST_SUITE_P(Seeds, WritePathTest, ::testing::Range(1u, 7u));

// The comparison above notices a byte written around the write path, in
// each of the four places the editor writes.
class WritePathBypass : public testing::UndoFixture {};

TEST_F(WritePathBypass, AnAssignmentStraightIntoABufferIsCaught) {
  LoadPart(1);
  struct Case {
    const char* where;
    std::uint8_t* byte;
  };
  ChannelBuffers& buffers = *State().channels;
  const Case cases[] = {
      {"image", &State().romImage[static_cast<std::size_t>(StreamAt(0) + 1)]},
      {"edit buffer", &buffers.edit[1][0]},
      {"part buffer", &buffers.stored[2]},
      {"header copy", &State().partHeader[0]},
  };
  EditSnapshot before;
  for (const Case& c : cases) {
    TakeSnapshot(State(), before);
    Recording recording(State());
    SetStreamByte(State(), 0, 1, static_cast<std::uint8_t>(Buffer(0)[1] ^ 0x02));  // through the path
    *c.byte ^= 0x01;                                                              // around it
    EXPECT_FALSE(RecordedAsCompared(before, State(), recording.Changes(), false)) << c.where;
  }
}

}  // namespace
}  // namespace kestrin
