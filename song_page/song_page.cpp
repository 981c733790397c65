#include "song_page.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QShowEvent>
#include <algorithm>
#include <utility>

#include "box_events.h"
#include "dialog_service.h"
#include "edit_history.h"
#include "editing_state.h"
#include "editor_context.h"
#include "group_fit.h"
#include "guarded_slot.h"
#include "history_keys.h"
#include "parse_hex.h"
#include "part_list_box.h"
#include "part_streams.h"
#include "shell_texts.h"
#include "song_list.h"
#include "song_page_texts.h"
#include "song_tables.h"
#include "status_line.h"
#include "typed_length_validator.h"
#include "write_path.h"

namespace kestrin {

namespace texts = song_page_texts;

namespace {

// Room between neighbouring group boxes and after the last one.
constexpr int kGroupGap = 7;
constexpr int kPageMargin = 4;

QString Hex(std::int32_t value) { return QString::number(value, 16).toUpper(); }

// Header bytes always show two digits.
QString HeaderByteText(std::uint8_t value) {
  return value < 0x10 ? QStringLiteral("0") + Hex(value) : Hex(value);
}

std::int32_t ParseBox(const QLineEdit* box) { return ParseHex(box->text().toStdString()); }

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& title, QRect geometry) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(QString::fromLatin1(name));
  group->setGeometry(geometry);
  return group;
}

QLineEdit* MakeBox(QWidget* parent, const char* name, QRect geometry, int maxLength,
                   const QString& text) {
  auto* box = new QLineEdit(text, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(geometry);
  box->setMaxLength(maxLength);
  return box;
}

void MakeLabel(QWidget* parent, const QString& text, QPoint at) {
  auto* label = new QLabel(text, parent);
  label->move(at);
  label->adjustSize();
}

}  // namespace

SongPage::SongPage(EditorContext& context, QWidget* parent) : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("T_Song"));
  BuildSongGroups();
  BuildPartGroups();
  ConnectHandlers();
  SetTabOrder();
  setMinimumSize(357, 173);
}

void SongPage::BuildSongGroups() {
  GroupBox4_ = MakeGroup(this, "GroupBox4", QStringLiteral(" Select the song to edit "),
                         QRect(4, 4, 129, 45));
  CB_SongSelect_ = new QComboBox(GroupBox4_);
  CB_SongSelect_->setObjectName(QStringLiteral("CB_SongSelect"));
  CB_SongSelect_->setGeometry(8, 16, 113, 21);
  CB_SongSelect_->setEditable(true);
  // Typing only edits the text: no completion, no new items.
  CB_SongSelect_->setCompleter(nullptr);
  CB_SongSelect_->setInsertPolicy(QComboBox::NoInsert);
  for (const SongListItem& item : kSongList) {
    CB_SongSelect_->addItem(QString::fromLatin1(item.text.data(),
                                                static_cast<qsizetype>(item.text.size())));
  }
  CB_SongSelect_->setCurrentIndex(-1);
  CB_SongSelect_->setEditText(CB_SongSelect_->itemText(0));
  CB_SongSelect_->lineEdit()->setCursorPosition(0);
  FitSongListWidth();

  GroupBox2_ = MakeGroup(this, "GroupBox2", QStringLiteral(" Song properties "),
                         QRect(4, 52, 129, 117));
  E_firstPart_ = MakeBox(GroupBox2_, "E_firstPart", QRect(8, 20, 25, 21), 2, texts::kZeroText);
  E_lastPart_ = MakeBox(GroupBox2_, "E_lastPart", QRect(8, 54, 25, 21), 2, texts::kZeroText);
  E_loopPart_ = MakeBox(GroupBox2_, "E_loopPart", QRect(8, 88, 25, 21), 2, texts::kZeroText);
  MakeLabel(GroupBox2_, QStringLiteral("First part"), QPoint(36, 24));
  MakeLabel(GroupBox2_, QStringLiteral("Last part"), QPoint(36, 58));
  MakeLabel(GroupBox2_, QStringLiteral("Loop part"), QPoint(36, 92));
}

void SongPage::BuildPartGroups() {
  GroupBox3_ = MakeGroup(this, "GroupBox3", QStringLiteral(" Parts List "),
                         QRect(140, 4, 81, 165));
  LB_Parts_ = new PartListBox(GroupBox3_);
  LB_Parts_->setObjectName(QStringLiteral("LB_Parts"));
  LB_Parts_->setGeometry(8, 16, 65, 117);
  auto* parts = new QLineEdit(texts::kPartsStartText, GroupBox3_);
  parts->setObjectName(QStringLiteral("E_Parts"));
  parts->setGeometry(8, 136, 65, 21);
  // A maximum length would cut the start-up text; cap only what is typed.
  parts->setValidator(new TypedLengthValidator(2, parts));
  E_Parts_ = parts;

  GroupBox1_ = MakeGroup(this, "GroupBox1", QStringLiteral(" Part Header "),
                         QRect(228, 4, 125, 165));
  E_ph1_ = MakeBox(GroupBox1_, "E_ph1", QRect(4, 16, 25, 21), 2, texts::kZeroText);
  E_ph2_ = MakeBox(GroupBox1_, "E_ph2", QRect(4, 40, 40, 21), 4, texts::kZeroText);
  E_ph4_ = MakeBox(GroupBox1_, "E_ph4", QRect(4, 64, 25, 21), 2, texts::kZeroText);
  E_ph5_ = MakeBox(GroupBox1_, "E_ph5", QRect(4, 88, 25, 21), 2, texts::kZeroText);
  E_ph6_ = MakeBox(GroupBox1_, "E_ph6", QRect(4, 112, 25, 21), 2, texts::kZeroText);
  E_ph7_ = MakeBox(GroupBox1_, "E_ph7", QRect(4, 136, 25, 21), 2, texts::kZeroText);
  MakeLabel(GroupBox1_, QStringLiteral("Tempo"), QPoint(48, 20));
  MakeLabel(GroupBox1_, QStringLiteral("Part Address"), QPoint(48, 44));
  MakeLabel(GroupBox1_, QStringLiteral("Square2 offset"), QPoint(48, 68));
  MakeLabel(GroupBox1_, QStringLiteral("Triangle offset"), QPoint(48, 92));
  MakeLabel(GroupBox1_, QStringLiteral("Noise offset"), QPoint(48, 116));
  MakeLabel(GroupBox1_, QStringLiteral("DMC offset"), QPoint(48, 140));
}

void SongPage::ConnectHandlers() {
  // A pick from the list (mouse or arrow keys) changes the index, then raises
  // `activated`; picking the shown item again raises `activated` alone, and
  // must still re-read the song (another file may have been opened since).
  // Typing raises `textEdited`. The page's own updates run nothing.
  // When editing ends (focus leaves the box, or Enter) Qt selects the item
  // whose text the box holds. Nobody picked that item: the song must not
  // be read again, nor the item silently become the selected song.
  QObject::disconnect(CB_SongSelect_->lineEdit(), &QLineEdit::editingFinished, CB_SongSelect_,
                      nullptr);
  connect(CB_SongSelect_, &QComboBox::currentIndexChanged, this, GuardedSlot([this] {
    if (updating_) return;
    indexChangeRan_ = true;
    ShowStartOfSongText();  // while the song is read, too; `activated` follows
    CB_SongSelectChange();
  }));
  connect(CB_SongSelect_, &QComboBox::activated, this, GuardedSlot([this] {
    ShowStartOfSongText();
    if (updating_ || std::exchange(indexChangeRan_, false)) return;
    CB_SongSelectChange();
  }));
  connect(CB_SongSelect_->lineEdit(), &QLineEdit::textEdited, this,
          GuardedSlot([this] { OnSongTextEdited(); }));

  new BoxEvents(E_firstPart_, [this](int key) { E_firstPartKeyPress(key); }, {});
  new BoxEvents(E_lastPart_, [this](int key) { E_lastPartKeyPress(key); }, {});
  new BoxEvents(E_loopPart_, [this](int key) { E_loopPartKeyPress(key); },
                [this] { E_loopPartClick(); });

  connect(LB_Parts_, &QListWidget::itemSelectionChanged, this, GuardedSlot([this] {
    if (!updating_) LB_PartsClick();
  }));
  connect(LB_Parts_, &PartListBox::SelectedLineClicked, this, GuardedSlot([this] { LB_PartsClick(); }));
  new BoxEvents(E_Parts_, [this](int key) { E_PartsKeyPress(key); }, [this] { E_PartsClick(); });

  connect(E_ph1_, &QLineEdit::textChanged, this, GuardedSlot([this] { E_ph1Change(); }));
  connect(E_ph2_, &QLineEdit::textChanged, this, GuardedSlot([this] { E_ph2Change(); }));
  connect(E_ph4_, &QLineEdit::textChanged, this, GuardedSlot([this] { E_ph4Change(); }));
  connect(E_ph5_, &QLineEdit::textChanged, this, GuardedSlot([this] { E_ph5Change(); }));
  connect(E_ph6_, &QLineEdit::textChanged, this, GuardedSlot([this] { E_ph6Change(); }));
  connect(E_ph7_, &QLineEdit::textChanged, this, GuardedSlot([this] { E_ph7Change(); }));
  new BoxEvents(E_ph1_, {}, [this] { E_ph1Click(); });
  new BoxEvents(E_ph2_, {}, [this] { E_ph2Click(); });

  // Leaving a header box ends its typing step. Undo and redo keys go to the
  // window's history, not to the boxes' own text undo.
  for (QLineEdit* box : {E_ph1_, E_ph2_, E_ph4_, E_ph5_, E_ph6_, E_ph7_}) {
    connect(box, &QLineEdit::editingFinished, this, GuardedSlot([this] {
      if (context_.history) context_.history->EndTyping();
    }));
  }
  for (QLineEdit* box : {E_firstPart_, E_lastPart_, E_loopPart_, E_Parts_, E_ph1_, E_ph2_, E_ph4_, E_ph5_,
                         E_ph6_, E_ph7_, CB_SongSelect_->lineEdit()}) {
    LeaveHistoryKeysToWindow(box);
  }
}

void SongPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  for (QGroupBox* group : {GroupBox4_, GroupBox2_, GroupBox3_, GroupBox1_}) WidenToFitText(*group);
  // The two left groups stay one column.
  const int leftColumn = std::max(GroupBox4_->width(), GroupBox2_->width());
  for (QGroupBox* group : {GroupBox4_, GroupBox2_}) {
    group->setMinimumWidth(leftColumn);
    group->resize(leftColumn, group->height());
  }
  // One column: what keeps the Parts List after GroupBox4 keeps it after GroupBox2.
  KeepAfter(*GroupBox4_, *GroupBox3_, kGroupGap);
  KeepAfter(*GroupBox3_, *GroupBox1_, kGroupGap);
  const QRect used = childrenRect();
  setMinimumSize(minimumSize().expandedTo(
      QSize(used.x() + used.width() + kPageMargin, used.y() + used.height() + kPageMargin)));
  FitSongListWidth();
}

void SongPage::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) FitSongListWidth();
}

void SongPage::SetTabOrder() {
  QWidget* const order[] = {E_firstPart_, E_lastPart_, E_loopPart_,    E_ph1_,
                            E_ph2_,       E_ph4_,      E_ph5_,         E_ph6_,
                            E_ph7_,       CB_SongSelect_, LB_Parts_,   E_Parts_};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

// The drop-down list shows every title whole, though the box is narrower.
void SongPage::FitSongListWidth() {
  QAbstractItemView* list = CB_SongSelect_->view();
  list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() +
                        2 * list->frameWidth());
}

// ---- Song selection and song properties ----

// Titles are wider than the box: show their start, where the number is.
// The picked text stays selected, so typing replaces it.
void SongPage::ShowStartOfSongText() {
  QLineEdit* line = CB_SongSelect_->lineEdit();
  const auto length = static_cast<int>(line->text().size());
  line->setSelection(length, -length);
}

int SongPage::SelectedSongPosition() const { return CB_SongSelect_->currentIndex(); }

void SongPage::OnSongTextEdited() {
  indexChangeRan_ = false;
  // A typed text selects no item, as at start-up; keep what was typed.
  if (CB_SongSelect_->currentIndex() != -1) {
    QLineEdit* line = CB_SongSelect_->lineEdit();
    const QString typed = line->text();
    const int cursor = line->cursorPosition();
    updating_ = true;
    CB_SongSelect_->setCurrentIndex(-1);
    CB_SongSelect_->setEditText(typed);
    line->setCursorPosition(cursor);
    updating_ = false;
  }
  CB_SongSelectChange();
}

void SongPage::CB_SongSelectChange() {
  EditingState& state = context_.state;
  if (!state.fileLoaded) {
    context_.status.Set(texts::kOpenFileFirst);
    return;
  }
  const std::optional<SongChoice> song = SongAtPosition(SelectedSongPosition());
  if (!song) return;

  state.songSet = song->set;
  songRead_ = true;
  shownSong_ = song->songNumber;
  if (!GetSongParts(state, song->set, song->tableIndex)) {
    // The three part numbers were read; show them so the user can repair
    // the song, and drop the old song's lines, which would load the wrong
    // parts now.
    FillSongBoxes();
    updating_ = true;
    LB_Parts_->clear();
    updating_ = false;
    context_.status.Set(texts::kGetSongPartsFailed);
    return;
  }
  FillSongBoxes();
  FillPartList();
  context_.status.Set(texts::kSelectedSong.arg(Hex(song->songNumber)));
}

void SongPage::FillSongBoxes() {
  const EditingState& state = context_.state;
  E_firstPart_->setText(Hex(state.firstPart));
  E_lastPart_->setText(Hex(state.lastPart));
  E_loopPart_->setText(Hex(state.loopPart));
}

void SongPage::FillPartList() {
  updating_ = true;
  LB_Parts_->clear();
  for (const std::int32_t entry : context_.state.songPartList) LB_Parts_->addItem(Hex(entry));
  updating_ = false;
}

void SongPage::E_firstPartKeyPress(int key) { CommitSongField(SongField::First, key); }
void SongPage::E_lastPartKeyPress(int key) { CommitSongField(SongField::Last, key); }
void SongPage::E_loopPartKeyPress(int key) { CommitSongField(SongField::Loop, key); }

void SongPage::CommitSongField(SongField field, int key) {
  if (!IsEnterKey(key)) return;
  EditingState& state = context_.state;
  if (!state.fileLoaded) return;
  const QLineEdit* box = field == SongField::First  ? E_firstPart_
                         : field == SongField::Last ? E_lastPart_
                                                    : E_loopPart_;
  if (box->text().isEmpty()) return;
  if (!songRead_) {
    context_.status.Set(texts::kSelectSongFirst);
    return;
  }

  const std::uint8_t value = LowByte(ParseBox(box));
  std::int32_t& part = field == SongField::First  ? state.firstPart
                       : field == SongField::Last ? state.lastPart
                                                  : state.loopPart;
  const std::int32_t position = field == SongField::First  ? state.firstPartPosition
                                : field == SongField::Last ? state.lastPartPosition
                                                           : state.loopPartPosition;
  const QString& step = field == SongField::First  ? shell_texts::kFirstPartStep
                        : field == SongField::Last ? shell_texts::kLastPartStep
                                                   : shell_texts::kLoopPartStep;
  const char* name = field == SongField::First  ? "E_firstPart"
                     : field == SongField::Last ? "E_lastPart"
                                                : "E_loopPart";
  bool written = false;
  RecordEdit(context_, step, SongPlace(name), [&] { written = SetImageByte(state, position, value); });
  if (!written) return;
  part = value;

  CB_SongSelectChange();
  WarnAboutSongOrder(field);
}

void SongPage::WarnAboutSongOrder(SongField field) {
  const EditingState& state = context_.state;
  const std::optional<std::uint8_t> first = ImageByte(state, state.firstPartPosition);
  const std::optional<std::uint8_t> last = ImageByte(state, state.lastPartPosition);
  const std::optional<std::uint8_t> loop = ImageByte(state, state.loopPartPosition);
  if (!first || !last || !loop) return;

  QString warning;
  switch (field) {
    case SongField::First:
      if (*last < *first) warning = texts::kFirstAboveLast;
      break;
    case SongField::Last:
      if (*last < *first) warning = texts::kLastBelowFirst;
      break;
    case SongField::Loop:
      if (*loop < *first || *loop > *last) warning = texts::kLoopOutOfBounds;
      break;
  }
  if (!warning.isEmpty()) {
    context_.dialogs.ShowMessage(warning, texts::kWarningTitle, MessageStyle::OkWarning);
  }
}

void SongPage::E_loopPartClick() { context_.status.Set(texts::kLoopPartHint); }

// ---- Part list and part header ----

int SongPage::SelectedPartRow() const {
  const QList<QListWidgetItem*> selected = LB_Parts_->selectedItems();
  return selected.isEmpty() ? -1 : LB_Parts_->row(selected.front());
}

void SongPage::LB_PartsClick() {
  EditingState& state = context_.state;
  if (!state.fileLoaded) {
    context_.status.Set(texts::kLoadFileFirst);
    return;
  }
  const int row = SelectedPartRow();
  if (row < 0) return;

  // Loading another part replaces the edit buffers; store what the channel
  // pages changed there first so no edit is lost. The write-back stores only
  // bytes that differ from what it stored last, so with no edits it writes
  // nothing.
  bool stored = false;
  RecordIntoLastStep(context_, [&] { stored = WriteBack(state); });
  if (!stored) {
    context_.dialogs.ShowMessage(texts::kWriteBackError, texts::kWriteBackErrorTitle,
                                 MessageStyle::OkError);
  }

  const std::int32_t part = state.firstPart + row;
  if (!LoadPart(state, part)) {
    context_.dialogs.ShowMessage(texts::kLoadError, texts::kLoadErrorTitle, MessageStyle::OkError);
    return;
  }
  // The header boxes' writes while they are filled belong to the new part.
  if (context_.history) context_.history->PartLoaded(SongLine{shownSong_, row + 1, state.songSet, part});
  FillHeaderBoxes();

  if (!CopyChannels(state)) {
    // The copy dropped the old buffers: nothing is left for the channel
    // pages to edit.
    state.partLoaded = false;
    context_.dialogs.ShowMessage(texts::kCopyError, texts::kCopyErrorTitle, MessageStyle::OkError);
    return;
  }
  state.partLoaded = true;
  E_Parts_->setText(LB_Parts_->item(row)->text());
}

void SongPage::FillHeaderBoxes() {
  const PartHeader& header = context_.state.partHeader;
  E_ph1_->setText(HeaderByteText(header[0]));
  E_ph2_->setText(Hex(header[1] + 256 * header[2]));
  E_ph4_->setText(HeaderByteText(header[3]));
  E_ph5_->setText(HeaderByteText(header[4]));
  E_ph6_->setText(HeaderByteText(header[5]));
  E_ph7_->setText(HeaderByteText(header[6]));
}

void SongPage::E_PartsKeyPress(int key) {
  EditingState& state = context_.state;
  if (!state.fileLoaded || !IsEnterKey(key)) return;
  const int row = SelectedPartRow();
  if (row < 0) {
    context_.status.Set(texts::kSelectPartFirst);
    return;
  }
  // The game reads an entry of 0 as no part; refuse every text that would
  // store it.
  const std::uint8_t entry = LowByte(ParseBox(E_Parts_));
  if (entry == 0) {
    context_.status.Set(texts::kInvalidNumber);
    return;
  }
  const std::int32_t position = PartTableEntryPosition(state.songSet, state.firstPart + row);
  if (position < 0) return;
  bool written = false;
  RecordEdit(context_, shell_texts::kPartListEntryStep, SongPlace("E_Parts", row),
             [&] { written = SetImageByte(state, position, entry); });
  if (!written) return;
  CB_SongSelectChange();
}

void SongPage::E_PartsClick() { context_.status.Set(texts::kPartsHint); }

// The header boxes write at the header position, which only a part load sets
// (and forgetting the part clears); before that they must not touch the image.
bool SongPage::HeaderLoaded() const {
  const EditingState& state = context_.state;
  return !refreshing_ && state.fileLoaded && state.headerPosition >= kMusicBankFirst;
}

void SongPage::WriteHeaderByte(int byteNumber, std::uint8_t value) {
  EditingState& state = context_.state;
  if (!SetImageByte(state, state.headerPosition + byteNumber, value)) return;
  SetHeaderCopyByte(state, byteNumber, value);
}

EditPlace SongPage::SongPlace(const char* name, int row) const {
  // A line of the list belongs to the song: it is shown where the song is.
  return EditPlace{SongLine{shownSong_, row + 1, context_.state.songSet, -1}, name};
}

namespace {

// Header byte written by each one-byte header box.
constexpr int kTempoByte = 0;
constexpr int kSquare2OffsetByte = 3;
constexpr int kTriangleOffsetByte = 4;
constexpr int kNoiseOffsetByte = 5;
constexpr int kDmcOffsetByte = 6;

}  // namespace

void SongPage::HeaderByteChange(const QLineEdit* box, const char* name, int byteNumber, const QString& step,
                                TypingBox typing) {
  if (!HeaderLoaded()) return;
  RecordEdit(
      context_, step, LoadedPartPlace(context_, name), [&] { WriteHeaderByte(byteNumber, LowByte(ParseBox(box))); },
      typing);
}

void SongPage::E_ph1Change() {
  HeaderByteChange(E_ph1_, "E_ph1", kTempoByte, shell_texts::kTempoStep, TypingBox::Tempo);
}
void SongPage::E_ph4Change() {
  HeaderByteChange(E_ph4_, "E_ph4", kSquare2OffsetByte, shell_texts::kSquare2OffsetStep, TypingBox::Square2Offset);
}
void SongPage::E_ph5Change() {
  HeaderByteChange(E_ph5_, "E_ph5", kTriangleOffsetByte, shell_texts::kTriangleOffsetStep,
                   TypingBox::TriangleOffset);
}
void SongPage::E_ph6Change() {
  HeaderByteChange(E_ph6_, "E_ph6", kNoiseOffsetByte, shell_texts::kNoiseOffsetStep, TypingBox::NoiseOffset);
}
void SongPage::E_ph7Change() {
  HeaderByteChange(E_ph7_, "E_ph7", kDmcOffsetByte, shell_texts::kDmcOffsetStep, TypingBox::DmcOffset);
}

void SongPage::E_ph2Change() {
  if (!HeaderLoaded()) return;
  const std::int32_t address = ParseBox(E_ph2_);
  RecordEdit(
      context_, shell_texts::kPartAddressStep, LoadedPartPlace(context_, "E_ph2"),
      [&] {
        // Division truncates toward zero, so a negative text splits as C does.
        WriteHeaderByte(1, LowByte(address % 256));
        WriteHeaderByte(2, LowByte(address / 256));
      },
      TypingBox::PartAddress);
}

void SongPage::ShowImageAgain() {
  if (HeaderLoaded()) {
    refreshing_ = true;
    FillHeaderBoxes();
    refreshing_ = false;
  }
  if (!context_.state.fileLoaded || !songRead_) return;
  // Read the song again, keeping the line the user had selected.
  const int row = SelectedPartRow();
  CB_SongSelectChange();
  if (row >= 0 && row < LB_Parts_->count()) {
    updating_ = true;
    LB_Parts_->setCurrentRow(row);
    updating_ = false;
  }
}

void SongPage::ShowPlace(const EditPlace& place) {
  const bool listLine = place.where.part < 0 && place.where.line > 0;
  if (listLine && place.where.line <= LB_Parts_->count())
    LB_Parts_->scrollToItem(LB_Parts_->item(place.where.line - 1));
  if (auto* box = findChild<QLineEdit*>(QString::fromLatin1(place.control))) box->setFocus();
}

void SongPage::E_ph1Click() { context_.status.Set(texts::kTempoHint); }
void SongPage::E_ph2Click() { context_.status.Set(texts::kPartAddressHint); }

}  // namespace kestrin
