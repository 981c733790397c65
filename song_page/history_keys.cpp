#include "history_keys.h"

#include <QKeyEvent>
#include <QObject>
#include <QWidget>

namespace kestrin {
namespace {

class HistoryKeys : public QObject {
 public:
  explicit HistoryKeys(QWidget* box) : QObject(box) { box->installEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!key->matches(QKeySequence::Undo) && !key->matches(QKeySequence::Redo) &&
        !(key->key() == Qt::Key_Y && key->modifiers() == Qt::ControlModifier)) {
      return false;
    }
    // Not accepted: the window's shortcut takes the key.
    event->ignore();
    return true;
  }
};

}  // namespace

void LeaveHistoryKeysToWindow(QWidget* box) { new HistoryKeys(box); }

}  // namespace kestrin
