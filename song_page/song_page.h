#pragma once
// The page "Song and part selection": choosing a song, its first, last and
// loop part, its part list, and the header of the selected part.

#include <QWidget>
#include <cstdint>

#include "edit_place.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;

namespace kestrin {

struct EditorContext;
enum class TypingBox;
class PartListBox;

class SongPage : public QWidget {
  Q_OBJECT
 public:
  explicit SongPage(EditorContext& context, QWidget* parent = nullptr);

  // Reads the song the drop-down shows from the image and fills the page;
  // also the page's refresh after every edit of a song.
  void CB_SongSelectChange();

  // Key handlers get the Qt key code; only Enter commits.
  void E_firstPartKeyPress(int key);
  void E_lastPartKeyPress(int key);
  void E_loopPartKeyPress(int key);
  void E_loopPartClick();

  void LB_PartsClick();
  void E_PartsKeyPress(int key);
  void E_PartsClick();

  void E_ph1Change();
  void E_ph2Change();
  void E_ph4Change();
  void E_ph5Change();
  void E_ph6Change();
  void E_ph7Change();
  void E_ph1Click();
  void E_ph2Click();

  // After an undo or redo: the header boxes, the song boxes and the part
  // list show the image again; the selected line stays selected.
  void ShowImageAgain();
  // The song whose boxes and part list the page shows (numbered as on the
  // status line), or -1 before the first song was read.
  std::int32_t ShownSong() const { return songRead_ ? shownSong_ : -1; }
  // Brings an edit's box to the user: it takes the focus, and a line of
  // the part list scrolls into view (selecting none, which would load a
  // part).
  void ShowPlace(const EditPlace& place);

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  enum class SongField { First, Last, Loop };

  void BuildSongGroups();
  void BuildPartGroups();
  void ConnectHandlers();
  void SetTabOrder();

  int SelectedSongPosition() const;
  int SelectedPartRow() const;
  void OnSongTextEdited();
  void ShowStartOfSongText();
  void FitSongListWidth();
  void FillSongBoxes();
  void FillPartList();
  void CommitSongField(SongField field, int key);
  void WarnAboutSongOrder(SongField field);
  void WriteHeaderByte(int byteNumber, std::uint8_t value);
  void HeaderByteChange(const QLineEdit* box, const char* name, int byteNumber, const QString& step,
                        TypingBox typing);
  // The place of an edit of the song itself in box `name`, or of line `row`
  // (from 0) of its part list.
  EditPlace SongPlace(const char* name, int row = -1) const;
  bool HeaderLoaded() const;
  void FillHeaderBoxes();

  EditorContext& context_;
  // The commits write at positions that only a song reading records.
  bool songRead_ = false;
  std::int32_t shownSong_ = -1;
  // Set while the page itself rewrites a control, so no user handler runs.
  bool updating_ = false;
  // Set while an undo or redo fills the header boxes: nothing is written.
  bool refreshing_ = false;
  // The song was just read for an index change; the `activated` that ends
  // the same pick must not read it again.
  bool indexChangeRan_ = false;

  QGroupBox* GroupBox4_ = nullptr;
  QComboBox* CB_SongSelect_ = nullptr;
  QGroupBox* GroupBox2_ = nullptr;
  QLineEdit* E_firstPart_ = nullptr;
  QLineEdit* E_lastPart_ = nullptr;
  QLineEdit* E_loopPart_ = nullptr;
  QGroupBox* GroupBox3_ = nullptr;
  PartListBox* LB_Parts_ = nullptr;
  QLineEdit* E_Parts_ = nullptr;
  QGroupBox* GroupBox1_ = nullptr;
  QLineEdit* E_ph1_ = nullptr;
  QLineEdit* E_ph2_ = nullptr;
  QLineEdit* E_ph4_ = nullptr;
  QLineEdit* E_ph5_ = nullptr;
  QLineEdit* E_ph6_ = nullptr;
  QLineEdit* E_ph7_ = nullptr;
};

}  // namespace kestrin
