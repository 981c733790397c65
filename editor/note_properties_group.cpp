#include "note_properties_group.h"

#include <QComboBox>
#include <QLabel>

#include "channel_bytes.h"

namespace kestrin {

namespace {

constexpr int kComboLeft = 72;
constexpr int kComboWidth = 113;
constexpr int kComboHeight = 21;
constexpr int kLabelLeft = 8;

template <std::size_t N>
void Fill(QComboBox* box, const std::array<std::string_view, N>& items, int selected) {
  for (const std::string_view item : items)
    box->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
  box->setCurrentIndex(selected);
}

int PositionOfShownText(const QComboBox* box) {
  return box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

}  // namespace

NotePropertiesGroup::NotePropertiesGroup(QWidget* parent)
    : QGroupBox(QStringLiteral(" Note Properties Byte "), parent),
      Label12_(new QLabel(QStringLiteral("Instrument"), this)),
      CB_Instruments_(new QComboBox(this)),
      Label13_(new QLabel(QStringLiteral("Note length"), this)),
      CB_NoteLength_(new QComboBox(this)) {
  setObjectName(QStringLiteral("GroupBox7"));
  Label12_->setObjectName(QStringLiteral("Label12"));
  Label13_->setObjectName(QStringLiteral("Label13"));
  CB_Instruments_->setObjectName(QStringLiteral("CB_Instruments"));
  CB_NoteLength_->setObjectName(QStringLiteral("CB_NoteLength"));

  Label12_->move(kLabelLeft, 20);
  Label13_->move(kLabelLeft, 44);
  Label12_->adjustSize();
  Label13_->adjustSize();
  for (QComboBox* box : {CB_Instruments_, CB_NoteLength_}) {
    box->setEditable(true);
    // Typed text selects an item or nothing; it never grows the list.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(static_cast<int>(kNoteLengthItems.size()));
  }
  CB_Instruments_->setGeometry(kComboLeft, 16, kComboWidth, kComboHeight);
  CB_NoteLength_->setGeometry(kComboLeft, 40, kComboWidth, kComboHeight);
  Fill(CB_Instruments_, kInstrumentItems, kDefaultInstrumentIndex);
  Fill(CB_NoteLength_, kNoteLengthItems, kDefaultNoteLengthIndex);
  Label12_->setBuddy(CB_Instruments_);
  Label13_->setBuddy(CB_NoteLength_);
}

int NotePropertiesGroup::InstrumentPosition() const { return PositionOfShownText(CB_Instruments_); }
int NotePropertiesGroup::NoteLengthPosition() const { return PositionOfShownText(CB_NoteLength_); }
std::uint8_t NotePropertiesGroup::ComposedByte() const {
  return ComposePropertyByte(InstrumentPosition(), NoteLengthPosition());
}

}  // namespace kestrin
