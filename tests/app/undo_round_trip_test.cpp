// The history's round trip: from the demo ROM, hundreds of random edits of
// every kind, across songs and parts, with part changes, saves and a few
// undos and redos between them. Undoing everything gives the opened file
// back byte for byte, and a save then stores nothing else; redoing
// everything gives the edited image again.
#include "random_edits.h"

namespace kestrin {
namespace {

using testing::Bytes;

class UndoRoundTripTest : public testing::RandomEdits {};

TEST_P(UndoRoundTripTest, UndoAllGivesTheOpenedFileAndRedoAllTheEditedImage) {
  ChooseSong();
  ChoosePart();
  int edits = 0;
  int saves = 0;
  while (edits < 500) {
    const auto [action, edited] = RandomAction(saves < 4);
    edits += edited;
    saves += action == Action::Save;
  }
  ASSERT_GT(Stack().count(), 0);

  const Bytes edited = Image();
  const int editedIndex = Stack().index();
  while (Stack().canUndo()) Undo();
  EXPECT_TRUE(Image() == original) << "undoing every step left the image changed";
  // Nothing is left waiting in the buffers either.
  Trigger("Save1");
  EXPECT_TRUE(ReadFile(path) == original) << "a save after undoing everything stored edits";

  while (Stack().index() < editedIndex) Redo();
  EXPECT_TRUE(Image() == edited) << "redoing every step did not give the edited image";
}

INSTANTIATE_TEST_SUITE_P(Seeds, UndoRoundTripTest, ::testing::Range(1u, 13u));

}  // namespace
}  // namespace kestrin
