#include "edit_mode_group.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include "editor_context.h"
#include "editor_settings.h"
#include "guarded_slot.h"
#include "light_rim.h"
#include "status_line.h"

namespace kestrin {

namespace {

constexpr int kButtonSize = 32;
constexpr int kPictureSize = 24;
constexpr int kButtonTop = 25;
constexpr int kNoteLeft = 8;
constexpr int kMuteLeft = 48;
constexpr int kPropLeft = 88;

const QColor kInk = Qt::black;
const QColor kShade(0x80, 0x80, 0x80);

QImage BlankPicture() {
  QImage image(kPictureSize, kPictureSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// Two eighth notes joined by a beam.
QImage BeamedNotesPicture() {
  QImage image = BlankPicture();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  for (const qreal x : {7.0, 17.0}) {
    p.save();
    p.translate(x - 2.5, x == 7.0 ? 19.0 : 17.0);
    p.rotate(-20);
    p.drawEllipse(QRectF(-3.5, -2.5, 7, 5));
    p.restore();
  }
  p.drawRect(QRectF(7, 5, 1.6, 14));
  p.drawRect(QRectF(17, 3, 1.6, 14));
  QPainterPath beam;
  beam.moveTo(7, 5);
  beam.lineTo(18.6, 3);
  beam.lineTo(18.6, 6);
  beam.lineTo(7, 8);
  beam.closeSubpath();
  p.drawPath(beam);
  return image;
}

// A circle crossed by a diagonal stroke.
QImage CrossedCirclePicture() {
  QImage image = BlankPicture();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kInk, 2.2));
  p.drawEllipse(QRectF(4, 4, 16, 16));
  p.setPen(QPen(kShade, 2.2));
  p.drawLine(QPointF(6.5, 17.5), QPointF(17.5, 6.5));
  return image;
}

// A treble clef beside four staff lines.
QImage ClefPicture() {
  QImage image = BlankPicture();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kShade, 1));
  for (int i = 0; i < 4; ++i) {
    const qreal y = 7.5 + 4 * i;
    p.drawLine(QPointF(2, y), QPointF(22, y));
  }
  QPainterPath clef;
  clef.moveTo(9, 22);
  clef.cubicTo(12, 22, 11, 16, 10, 10);
  clef.cubicTo(9, 4, 12, 1, 13, 3);
  clef.cubicTo(14, 6, 6, 10, 5, 15);
  clef.cubicTo(4, 20, 13, 21, 13, 16);
  clef.cubicTo(13, 12, 7, 13, 9, 17);
  p.setPen(QPen(kInk, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(clef);
  return image;
}

}  // namespace

EditModeGroup::EditModeGroup(EditorContext& context, QWidget* parent)
    : QGroupBox(QStringLiteral(" Edit Mode "), parent),
      context_(context),
      NoteButton_(MakeButton("NoteButton", kNoteLeft, BeamedNotesPicture(), kNoteButtonTip)),
      MuteButton_(MakeButton("MuteButton", kMuteLeft, CrossedCirclePicture(), kMuteButtonTip)),
      PropButton_(MakeButton("PropButton", kPropLeft, ClefPicture(), kPropButtonTip)) {
  setObjectName(QStringLiteral("GroupBox8"));
  NoteButton_->setChecked(context_.settings.editMode == EditMode::Note);
  MuteButton_->setChecked(context_.settings.editMode == EditMode::Mute);
  PropButton_->setChecked(context_.settings.editMode == EditMode::Property);
  connect(NoteButton_, &QToolButton::clicked, this, GuardedSlot(this, &EditModeGroup::NoteButtonClick));
  connect(MuteButton_, &QToolButton::clicked, this, GuardedSlot(this, &EditModeGroup::MuteButtonClick));
  connect(PropButton_, &QToolButton::clicked, this, GuardedSlot(this, &EditModeGroup::PropButtonClick));
}

QToolButton* EditModeGroup::MakeButton(const char* name, int left, const QImage& picture, const QString& tip) {
  auto* button = new QToolButton(this);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(tip);
  button->setCheckable(true);
  button->setAutoExclusive(true);
  button->setGeometry(left, kButtonTop, kButtonSize, kButtonSize);
  button->setIcon(QIcon(QPixmap::fromImage(WithLightRim(picture))));
  button->setIconSize(QSize(kPictureSize, kPictureSize));
  return button;
}

void EditModeGroup::NoteButtonClick() {
  NoteButton_->setChecked(true);
  context_.settings.editMode = EditMode::Note;
  context_.status.Set(kNoteModeText);
}

void EditModeGroup::MuteButtonClick() {
  MuteButton_->setChecked(true);
  context_.settings.editMode = EditMode::Mute;
  context_.status.Set(kMuteModeText);
}

void EditModeGroup::PropButtonClick() {
  PropButton_->setChecked(true);
  context_.settings.editMode = EditMode::Property;
  context_.status.Set(kPropModeText);
}

}  // namespace kestrin
