#include "note_properties_group.h"

#include <QComboBox>
#include <QLabel>

#include "channel_bytes.h"

namespace kestrin {

NotePropertiesGroup::NotePropertiesGroup(QWidget* parent)
    : QGroupBox(QStringLiteral(" Note Properties Byte "), parent),
      Label12_(new QLabel(QStringLiteral("Instrument"), this)),
      CB_Instruments_(new QComboBox(this)),
      Label13_(new QLabel(QStringLiteral("Note length"), this)),
      CB_NoteLength_(new QComboBox(this)) {
  setObjectName(QStringLiteral("GroupBox7"));
}

int NotePropertiesGroup::InstrumentPosition() const { return kDefaultInstrumentIndex; }
int NotePropertiesGroup::NoteLengthPosition() const { return kDefaultNoteLengthIndex; }
std::uint8_t NotePropertiesGroup::ComposedByte() const {
  return ComposePropertyByte(InstrumentPosition(), NoteLengthPosition());
}

}  // namespace kestrin
