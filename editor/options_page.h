#pragma once
// The page "Options": grid colours, sizes and the backup question switch.
// The page only mirrors the editor settings; showing it refreshes every
// control from them, and every control writes its setting at once.

#include <QColor>
#include <QWidget>

#include "editor_settings.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;

namespace kestrin {

struct EditorContext;
class ColorSwatch;

class OptionsPage : public QWidget {
  Q_OBJECT
 public:
  explicit OptionsPage(EditorContext& context, QWidget* parent = nullptr);

  void T_OptionsShow();

  void S_NoteColorMouseDown();
  void S_MuteColorMouseDown();
  void S_PropColorMouseDown();
  void S_LoopColorMouseDown();
  void S_BlankColorMouseDown();
  void S_FixedColorMouseDown();

  void E_PitchLightIntChange();
  void E_CaseHeightChange();
  void E_PropCaseLengthChange();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  ColorSwatch* AddSwatch(const char* name, const QString& caption, int top, int captionTop);
  QLineEdit* AddNumberBox(const char* name, const QString& caption, int top);
  void ChooseColor(ColorSwatch& swatch, ColorWord& setting);

  EditorContext& context_;
  // The colour dialog opens at the colour confirmed in it last, whichever
  // swatch that was for.
  QColor lastConfirmedColor_{Qt::black};

  QGroupBox* GroupBox5_;
  QGroupBox* GroupBox6_;
  ColorSwatch* S_NoteColor_;
  ColorSwatch* S_MuteColor_;
  ColorSwatch* S_PropColor_;
  ColorSwatch* S_LoopColor_;
  ColorSwatch* S_FixedColor_;
  ColorSwatch* S_BlankColor_;
  QCheckBox* Chk_AskBackup_;
  QLineEdit* E_PitchLightInt_;
  QLineEdit* E_CaseHeight_;
  QLineEdit* E_PropCaseLength_;
};

}  // namespace kestrin
