#pragma once
// The page "Options": grid colours, sizes and the backup question switch.

#include <QWidget>

namespace kestrin {

struct EditorContext;

class OptionsPage : public QWidget {
  Q_OBJECT
 public:
  explicit OptionsPage(EditorContext& context, QWidget* parent = nullptr);

 private:
  EditorContext& context_;
};

}  // namespace kestrin
