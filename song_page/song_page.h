#pragma once
// The page "Song and part selection": choosing a song, its first, last and
// loop part, its part list, and the header of the selected part.

#include <QWidget>

namespace kestrin {

struct EditorContext;

class SongPage : public QWidget {
  Q_OBJECT
 public:
  explicit SongPage(EditorContext& context, QWidget* parent = nullptr);

 private:
  EditorContext& context_;
};

}  // namespace kestrin
