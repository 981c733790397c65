// The real crash box and report view, driven by their own buttons and keys
// while their event loops run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <utility>
#include <vector>

#include "process_launcher.h"
#include "qt_crash_box.h"
#include "when_shown.h"

namespace kestrin {
namespace {

using testing::WhenShown;

QPushButton* Button(QWidget& window, const char* name) {
  auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
  if (button == nullptr) ADD_FAILURE() << "no button " << name;
  return button;
}

QString ButtonText(QWidget& window, const char* name) {
  QPushButton* button = Button(window, name);
  return button != nullptr ? button->text() : QString();
}

// Clicks the button; without it, closes the window so that the test ends.
void Click(QWidget& window, const char* name) {
  if (QPushButton* button = Button(window, name)) {
    QTest::mouseClick(button, Qt::LeftButton);
  } else {
    window.close();
  }
}

class SendAnswers final : public CrashBoxActions {
 public:
  QString SendReport() override {
    ++sends;
    return QStringLiteral("The mail is ready.");
  }
  int sends = 0;
};

CrashBoxContent AfterAnException() {
  CrashBoxContent content;
  content.message = QStringLiteral("<b>bad</b> happened");
  content.lossNote = QStringLiteral("Edits kept.");
  content.reportNote = QStringLiteral("The report was saved to /root/.local/state/kestrin-music-editor/bugreport.txt.");
  content.attachments = QStringLiteral("Attaches r.txt.");
  content.restartNote = QStringLiteral("Restart failed.");
  content.reportText = QStringLiteral("line one\nline two");
  content.canContinue = true;
  return content;
}

CrashBoxContent AfterASignal() {
  CrashBoxContent content = AfterAnException();
  content.lossNote.clear();
  content.restartNote.clear();
  content.canContinue = false;
  return content;
}

struct BoxLooks {
  const char* label;
  CrashBoxContent content;
  std::vector<std::pair<QString, QString>> lines;  // label name, text, top to bottom
  const char* defaultButton;
};

TEST(QtCrashBox, ShowsItsLinesSelectableAndItsButtons) {
  const BoxLooks cases[] = {
      {"after an exception",
       AfterAnException(),
       {{"CrashMessage", "<b>bad</b> happened"},
        {"LossNote", "Edits kept."},
        {"ReportNote", "The report was saved to /root/.local/state/kestrin-music-editor/bugreport.txt."},
        {"AttachmentsNote", "Attaches r.txt."},
        {"RestartNote", "Restart failed."}},
       "ContinueButton"},
      {"after a signal",
       AfterASignal(),
       {{"CrashMessage", "<b>bad</b> happened"},
        {"ReportNote", "The report was saved to /root/.local/state/kestrin-music-editor/bugreport.txt."},
        {"AttachmentsNote", "Attaches r.txt."}},
       "CloseButton"},
  };
  const std::pair<const char*, const char*> buttons[] = {{"SendReportButton", "Send report"},
                                                         {"ShowReportButton", "Show report"},
                                                         {"ContinueButton", "Continue"},
                                                         {"RestartButton", "Restart"},
                                                         {"CloseButton", "Close"}};
  for (const BoxLooks& looks : cases) {
    SCOPED_TRACE(looks.label);
    const auto shown = WhenShown(QStringLiteral("CrashBox"), [&](QWidget& box) {
      EXPECT_EQ(box.windowTitle(), QStringLiteral("Kestrin Music Editor"));
      std::vector<std::pair<QString, QString>> lines;
      for (QLabel* label : box.findChildren<QLabel*>()) {
        if (label->objectName().isEmpty() || !label->isVisible()) continue;
        lines.emplace_back(label->objectName(), label->text());
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        EXPECT_TRUE(label->textInteractionFlags() & Qt::TextSelectableByMouse) << label->objectName().toStdString();
        EXPECT_TRUE(label->wordWrap()) << label->objectName().toStdString();
      }
      EXPECT_EQ(lines, looks.lines);
      // Wide enough to show where the report went on one line.
      if (auto* note = box.findChild<QLabel*>(QStringLiteral("ReportNote"))) {
        EXPECT_LT(note->fontMetrics().horizontalAdvance(note->text()), 480) << "this font needs a shorter sample";
        EXPECT_LT(note->height(), 2 * note->fontMetrics().lineSpacing()) << "the line wraps at " << note->width();
      }
      for (const auto& [name, text] : buttons) EXPECT_EQ(ButtonText(box, name), QString::fromLatin1(text)) << name;
      QPushButton* goOn = Button(box, "ContinueButton");
      EXPECT_TRUE(goOn != nullptr && goOn->isEnabled() == looks.content.canContinue);
      QPushButton* preferred = Button(box, looks.defaultButton);
      EXPECT_TRUE(preferred != nullptr && preferred->isDefault());
      Click(box, "CloseButton");
    });
    SendAnswers actions;
    QtCrashBox().Show(looks.content, actions);
  }
}

struct ChoiceCase {
  const char* label;
  CrashBoxContent content;
  const char* button;  // clicked; with a key, the key is pressed on it instead
  Qt::Key key;
  CrashChoice expected;
};

TEST(QtCrashBox, EachWayOutGivesItsChoice) {
  const ChoiceCase cases[] = {
      {"Continue", AfterAnException(), "ContinueButton", Qt::Key_unknown, CrashChoice::Continue},
      {"Restart", AfterAnException(), "RestartButton", Qt::Key_unknown, CrashChoice::Restart},
      {"Close", AfterAnException(), "CloseButton", Qt::Key_unknown, CrashChoice::Close},
      {"Restart after a signal", AfterASignal(), "RestartButton", Qt::Key_unknown, CrashChoice::Restart},
      {"Enter after an exception", AfterAnException(), nullptr, Qt::Key_Return, CrashChoice::Continue},
      {"Enter after a signal", AfterASignal(), nullptr, Qt::Key_Return, CrashChoice::Close},
      {"Enter on Restart after an exception", AfterAnException(), "RestartButton", Qt::Key_Return,
       CrashChoice::Continue},
      {"Escape after an exception", AfterAnException(), nullptr, Qt::Key_Escape, CrashChoice::Continue},
      {"Escape after a signal", AfterASignal(), nullptr, Qt::Key_Escape, CrashChoice::Close},
  };
  for (const ChoiceCase& way : cases) {
    SCOPED_TRACE(way.label);
    const auto shown = WhenShown(QStringLiteral("CrashBox"), [&](QWidget& box) {
      if (way.key == Qt::Key_unknown) {
        Click(box, way.button);
      } else if (way.button != nullptr) {
        QTest::keyClick(Button(box, way.button), way.key);
      } else {
        QTest::keyClick(&box, way.key);
      }
    });
    SendAnswers actions;
    EXPECT_EQ(QtCrashBox().Show(way.content, actions), way.expected);
  }
}

TEST(QtCrashBox, SendReportShowsWhatBecameOfTheMailAndStaysOpen) {
  SendAnswers actions;
  bool stillOpen = false;
  const auto shown = WhenShown(QStringLiteral("CrashBox"), [&](QWidget& box) {
    Click(box, "SendReportButton");
    auto* result = box.findChild<QLabel*>(QStringLiteral("SendResult"));
    EXPECT_TRUE(result != nullptr && result->isVisible());
    EXPECT_EQ(result != nullptr ? result->text() : QString(), QStringLiteral("The mail is ready."));
    stillOpen = box.isVisible();
    Click(box, "CloseButton");
  });
  EXPECT_EQ(QtCrashBox().Show(AfterAnException(), actions), CrashChoice::Close);
  EXPECT_EQ(actions.sends, 1);
  EXPECT_TRUE(stillOpen);
}

TEST(QtCrashBox, ShowReportShowsTheWholeReportToReadSelectAndCopy) {
  const CrashBoxContent content = AfterAnException();
  const auto shown = WhenShown(QStringLiteral("CrashBox"), [&](QWidget& box) {
    const auto shownView = WhenShown(QStringLiteral("CrashReportView"), [&](QWidget& view) {
      EXPECT_EQ(view.windowTitle(), QStringLiteral("Crash report"));
      auto* text = view.findChild<QPlainTextEdit*>(QStringLiteral("ReportText"));
      EXPECT_NE(text, nullptr);
      if (text != nullptr) {
        EXPECT_EQ(text->toPlainText(), QStringLiteral("line one\nline two"));
        EXPECT_TRUE(text->isReadOnly());
        EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_TRUE(text->textInteractionFlags() & Qt::TextSelectableByMouse);
        EXPECT_TRUE(text->textInteractionFlags() & Qt::TextSelectableByKeyboard);
      }
      EXPECT_EQ(ButtonText(view, "CopyButton"), QStringLiteral("Copy"));
      EXPECT_EQ(ButtonText(view, "CloseViewButton"), QStringLiteral("Close"));
      // The two keep to the right.
      const QPushButton* copy = Button(view, "CopyButton");
      EXPECT_GT(copy != nullptr ? copy->x() : 0, view.width() / 2);
      QGuiApplication::clipboard()->clear();
      Click(view, "CopyButton");
      EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("line one\nline two"));
      Click(view, "CloseViewButton");
    });
    Click(box, "ShowReportButton");
    Click(box, "ContinueButton");
  });
  SendAnswers actions;
  EXPECT_EQ(QtCrashBox().Show(content, actions), CrashChoice::Continue);
}

// What the mail query reads: the output of a program that ran to a good end,
// and nothing from one that failed, was killed or could not start.
TEST(QtProcessLauncher, OutputOnlyFromAProgramThatEndedWell) {
  const struct {
    const char* script;
    const char* expected;
  } cases[] = {
      {"printf 'mailer.desktop\\n'", "mailer.desktop\n"},
      {"printf 'half'; exit 3", ""},
      {"printf 'half'; kill -9 $$", ""},
  };
  QtProcessLauncher launcher;
  for (const auto& c : cases) {
    EXPECT_EQ(launcher.Output(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromLatin1(c.script)}),
              QString::fromLatin1(c.expected))
        << c.script;
  }
  EXPECT_EQ(launcher.Output(QStringLiteral("/nonexistent/kestrin-no-program"), {}), QString());
}

}  // namespace
}  // namespace kestrin
