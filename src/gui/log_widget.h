// SPDX-License-Identifier: MIT
#pragma once

#include <QPlainTextEdit>

#include "app/window_log_view.h"

namespace quillstash::gui {

// The activity log of the main window: a read-only text with a vertical
// scroll bar that shows what its WindowLogView holds. Lines logged on other
// threads are drawn on the widget's thread; see WindowLogView for the waits.
// While the view shows the end of the log it keeps showing it, also when a
// resize wraps the lines anew; scrolling up stops that until the end is
// shown again.
class LogWidget : public QPlainTextEdit {
  Q_OBJECT

 public:
  // The caller keeps `view` alive longer than the widget.
  explicit LogWidget(WindowLogView& view, QWidget* parent = nullptr);
  ~LogWidget() override;

  // Puts the caret at the end of the log and scrolls it into view.
  void scrollToEnd();

 private:
  void draw();

  WindowLogView& view_;
  bool following_ = true;
};

}  // namespace quillstash::gui
