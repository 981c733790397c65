#pragma once
// The group " Note Properties Byte ": the instrument and note length combo
// boxes whose positions make up the byte a note-properties click writes.

#include <QGroupBox>
#include <cstdint>

class QComboBox;
class QLabel;

namespace kestrin {

class NotePropertiesGroup : public QGroupBox {
  Q_OBJECT
 public:
  explicit NotePropertiesGroup(QWidget* parent = nullptr);

  // Position of the item the box's text names, or -1 when the typed text
  // matches no item.
  int InstrumentPosition() const;
  int NoteLengthPosition() const;
  std::uint8_t ComposedByte() const;

 private:
  QLabel* Label12_;
  QComboBox* CB_Instruments_;
  QLabel* Label13_;
  QComboBox* CB_NoteLength_;
};

}  // namespace kestrin
