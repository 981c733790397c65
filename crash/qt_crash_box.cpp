#include "qt_crash_box.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "crash_texts.h"
#include "shell_texts.h"

namespace kestrin {

namespace {

// Wide enough for the report's path on one line in most homes.
constexpr int kBoxMinimumWidth = 560;

QPushButton* AddButton(QHBoxLayout* row, const char* name, const QString& text) {
  auto* button = new QPushButton(text);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  row->addWidget(button);
  return button;
}

QLabel* AddLabel(QVBoxLayout* column, const char* name, const QString& text) {
  auto* label = new QLabel(text);
  label->setObjectName(QString::fromLatin1(name));
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(label);
  return label;
}

}  // namespace

void ShowReportView(const QString& reportText, QWidget* parent) {
  QDialog view(parent);
  view.setObjectName(QStringLiteral("CrashReportView"));
  view.setWindowTitle(crash_texts::kReportViewTitle);
  auto* column = new QVBoxLayout(&view);
  auto* text = new QPlainTextEdit(reportText);
  text->setObjectName(QStringLiteral("ReportText"));
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  column->addWidget(text);
  auto* row = new QHBoxLayout;
  row->addStretch();
  QPushButton* copy = AddButton(row, "CopyButton", crash_texts::kCopy);
  QPushButton* close = AddButton(row, "CloseViewButton", crash_texts::kClose);
  column->addLayout(row);
  QObject::connect(copy, &QPushButton::clicked, &view,
                   [&reportText] { QGuiApplication::clipboard()->setText(reportText); });
  QObject::connect(close, &QPushButton::clicked, &view, &QDialog::accept);
  view.resize(760, 520);
  view.exec();
}

CrashChoice QtCrashBox::Show(const CrashBoxContent& content, CrashBoxActions& actions) {
  QDialog box;
  box.setObjectName(QStringLiteral("CrashBox"));
  box.setWindowTitle(shell_texts::kProgramName);
  box.setWindowModality(Qt::ApplicationModal);
  box.setMinimumWidth(kBoxMinimumWidth);

  auto* top = new QHBoxLayout(&box);
  auto* icon = new QLabel;
  const int iconSize = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
  icon->setPixmap(box.style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(iconSize, iconSize));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  auto* column = new QVBoxLayout;
  top->addLayout(column, 1);
  AddLabel(column, "CrashMessage", content.message);
  if (!content.lossNote.isEmpty()) AddLabel(column, "LossNote", content.lossNote);
  AddLabel(column, "ReportNote", content.reportNote);
  AddLabel(column, "AttachmentsNote", content.attachments);
  if (!content.restartNote.isEmpty()) AddLabel(column, "RestartNote", content.restartNote);
  QLabel* sendResult = AddLabel(column, "SendResult", QString());
  sendResult->hide();

  auto* row = new QHBoxLayout;
  QPushButton* send = AddButton(row, "SendReportButton", crash_texts::kSendReport);
  QPushButton* show = AddButton(row, "ShowReportButton", crash_texts::kShowReport);
  row->addStretch();
  QPushButton* goOn = AddButton(row, "ContinueButton", crash_texts::kContinue);
  QPushButton* restart = AddButton(row, "RestartButton", crash_texts::kRestart);
  QPushButton* close = AddButton(row, "CloseButton", crash_texts::kClose);
  column->addLayout(row);
  goOn->setEnabled(content.canContinue);
  // Enter takes the gentlest way out that is offered.
  QPushButton* preferred = content.canContinue ? goOn : close;
  preferred->setDefault(true);
  preferred->setFocus();

  CrashChoice choice = content.canContinue ? CrashChoice::Continue : CrashChoice::Close;
  const auto choose = [&box, &choice](CrashChoice chosen) {
    choice = chosen;
    box.accept();
  };
  QObject::connect(goOn, &QPushButton::clicked, &box, [&] { choose(CrashChoice::Continue); });
  QObject::connect(restart, &QPushButton::clicked, &box, [&] { choose(CrashChoice::Restart); });
  QObject::connect(close, &QPushButton::clicked, &box, [&] { choose(CrashChoice::Close); });
  QObject::connect(send, &QPushButton::clicked, &box, [&] {
    sendResult->setText(actions.SendReport());
    sendResult->show();
    box.adjustSize();  // room for the new line
  });
  QObject::connect(show, &QPushButton::clicked, &box, [&] { ShowReportView(content.reportText, &box); });
  // Escape or the title bar's close button: the gentlest way out, as Enter.
  box.exec();
  return choice;
}

}  // namespace kestrin
