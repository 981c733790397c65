#include "options_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>

#include "color_swatch.h"
#include "dialog_service.h"
#include "editor_context.h"
#include "group_fit.h"
#include "guarded_slot.h"
#include "qt_color_word.h"
#include "settings_number.h"

namespace kestrin {

namespace {

// Text the number boxes hold before the page is first shown.
const QString kLayoutNumberText = QStringLiteral("FF");
constexpr int kPitchLightMaxLength = 2;

QLabel* AddCaption(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

}  // namespace

OptionsPage::OptionsPage(EditorContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      GroupBox5_(new QGroupBox(QStringLiteral(" Colors "), this)),
      GroupBox6_(new QGroupBox(QStringLiteral(" Editor options "), this)) {
  setObjectName(QStringLiteral("T_Options"));

  GroupBox5_->setObjectName(QStringLiteral("GroupBox5"));
  GroupBox5_->setGeometry(4, 4, 145, 169);
  S_NoteColor_ = AddSwatch("S_NoteColor", QStringLiteral("Note color"), 16, 20);
  S_MuteColor_ = AddSwatch("S_MuteColor", QStringLiteral("Silence Color"), 41, 44);
  S_PropColor_ = AddSwatch("S_PropColor", QStringLiteral("Note Properties Color"), 65, 68);
  S_LoopColor_ = AddSwatch("S_LoopColor", QStringLiteral("Loop/end Color"), 89, 92);
  S_FixedColor_ = AddSwatch("S_FixedColor", QStringLiteral("Notes Index Color"), 113, 116);
  S_BlankColor_ = AddSwatch("S_BlankColor", QStringLiteral("Empty Case Color"), 137, 140);

  GroupBox6_->setObjectName(QStringLiteral("GroupBox6"));
  GroupBox6_->setGeometry(152, 4, 185, 169);
  Chk_AskBackup_ = new QCheckBox(QStringLiteral("Ask for backup file creation"), GroupBox6_);
  Chk_AskBackup_->setObjectName(QStringLiteral("Chk_AskBackup"));
  Chk_AskBackup_->setGeometry(8, 20, 153, 17);
  Chk_AskBackup_->setChecked(context_.settings.askBackup);
  E_PitchLightInt_ =
      AddNumberBox("E_PitchLightInt", QStringLiteral("Added color intensity for pitch"), 40);
  E_PitchLightInt_->setMaxLength(kPitchLightMaxLength);
  E_CaseHeight_ = AddNumberBox("E_CaseHeight", QStringLiteral("Case height"), 64);
  E_PropCaseLength_ = AddNumberBox("E_PropCaseLength", QStringLiteral("Properties case length"), 88);

  // Connected only after the layout text is in place: "FF" must not reach
  // the settings, which keep their start values until the user edits them.
  connect(S_NoteColor_, &ColorSwatch::Pressed, this, GuardedSlot(this, &OptionsPage::S_NoteColorMouseDown));
  connect(S_MuteColor_, &ColorSwatch::Pressed, this, GuardedSlot(this, &OptionsPage::S_MuteColorMouseDown));
  connect(S_PropColor_, &ColorSwatch::Pressed, this, GuardedSlot(this, &OptionsPage::S_PropColorMouseDown));
  connect(S_LoopColor_, &ColorSwatch::Pressed, this, GuardedSlot(this, &OptionsPage::S_LoopColorMouseDown));
  connect(S_FixedColor_, &ColorSwatch::Pressed, this, GuardedSlot(this, &OptionsPage::S_FixedColorMouseDown));
  connect(S_BlankColor_, &ColorSwatch::Pressed, this, GuardedSlot(this, &OptionsPage::S_BlankColorMouseDown));
  connect(Chk_AskBackup_, &QCheckBox::toggled, this,
          GuardedSlot([this](bool checked) { context_.settings.askBackup = checked; }));
  connect(E_PitchLightInt_, &QLineEdit::textChanged, this, GuardedSlot(this, &OptionsPage::E_PitchLightIntChange));
  connect(E_CaseHeight_, &QLineEdit::textChanged, this, GuardedSlot(this, &OptionsPage::E_CaseHeightChange));
  connect(E_PropCaseLength_, &QLineEdit::textChanged, this,
          GuardedSlot(this, &OptionsPage::E_PropCaseLengthChange));
}

ColorSwatch* OptionsPage::AddSwatch(const char* name, const QString& caption, int top,
                                    int captionTop) {
  auto* swatch = new ColorSwatch(GroupBox5_);
  swatch->setObjectName(QString::fromLatin1(name));
  swatch->setGeometry(8, top, 20, 20);
  swatch->setToolTip(SwatchToolTip(caption));
  AddCaption(GroupBox5_, caption, 36, captionTop);
  return swatch;
}

QLineEdit* OptionsPage::AddNumberBox(const char* name, const QString& caption, int top) {
  auto* box = new QLineEdit(kLayoutNumberText, GroupBox6_);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(8, top, 21, 21);
  AddCaption(GroupBox6_, caption, 36, top + 4);
  return box;
}

void OptionsPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  WidenToFitText(*GroupBox5_);
  WidenToFitText(*GroupBox6_);
  KeepAfter(*GroupBox5_, *GroupBox6_, 3);
  // A window coming back from being minimised is no turn to this page.
  if (!event->spontaneous()) T_OptionsShow();
}

void OptionsPage::T_OptionsShow() {
  const EditorSettings& settings = context_.settings;
  S_FixedColor_->SetColor(ToQColor(settings.notesIndexColor));
  S_BlankColor_->SetColor(ToQColor(settings.emptyCaseColor));
  S_LoopColor_->SetColor(ToQColor(settings.loopEndColor));
  S_PropColor_->SetColor(ToQColor(settings.notePropertiesColor));
  S_MuteColor_->SetColor(ToQColor(settings.silenceColor));
  S_NoteColor_->SetColor(ToQColor(settings.noteColor));
  Chk_AskBackup_->setChecked(settings.askBackup);
  // Each text parses back to the value it shows, so the change handlers
  // these raise leave the settings as they are.
  E_PitchLightInt_->setText(QString::number(settings.pitchLightIntensity));
  E_CaseHeight_->setText(QString::number(settings.caseHeight));
  E_PropCaseLength_->setText(QString::number(settings.propCaseLength));
}

void OptionsPage::ChooseColor(ColorSwatch& swatch, ColorWord& setting) {
  const std::optional<QColor> chosen = context_.dialogs.AskColor(lastConfirmedColor_);
  if (!chosen || !chosen->isValid()) return;
  lastConfirmedColor_ = *chosen;
  swatch.SetColor(ToQColor(ToColorWord(*chosen)));
  setting = ToColorWord(*chosen);
}

void OptionsPage::S_NoteColorMouseDown() { ChooseColor(*S_NoteColor_, context_.settings.noteColor); }
void OptionsPage::S_MuteColorMouseDown() {
  ChooseColor(*S_MuteColor_, context_.settings.silenceColor);
}
void OptionsPage::S_PropColorMouseDown() {
  ChooseColor(*S_PropColor_, context_.settings.notePropertiesColor);
}
void OptionsPage::S_LoopColorMouseDown() {
  ChooseColor(*S_LoopColor_, context_.settings.loopEndColor);
}
void OptionsPage::S_BlankColorMouseDown() {
  ChooseColor(*S_BlankColor_, context_.settings.emptyCaseColor);
}
void OptionsPage::S_FixedColorMouseDown() {
  ChooseColor(*S_FixedColor_, context_.settings.notesIndexColor);
}

void OptionsPage::E_PitchLightIntChange() {
  context_.settings.pitchLightIntensity =
      PitchLightIntensityFromText(E_PitchLightInt_->text().toStdString());
}

void OptionsPage::E_CaseHeightChange() {
  context_.settings.caseHeight = CaseHeightFromText(E_CaseHeight_->text().toStdString());
}

void OptionsPage::E_PropCaseLengthChange() {
  context_.settings.propCaseLength =
      PropCaseLengthFromText(E_PropCaseLength_->text().toStdString());
}

}  // namespace kestrin
