// SPDX-License-Identifier: MIT
#include "gui/log_widget.h"

#include <QMetaObject>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>

#include "gui/qt_text.h"

namespace quillstash::gui {

LogWidget::LogWidget(WindowLogView& view, QWidget* parent) : QPlainTextEdit(parent), view_(view) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QScrollBar* bar = verticalScrollBar();
  // A new range (lines added, or wrapped anew by a resize) comes before the
  // value is bounded to it, so the end is kept before the value moves.
  connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
    if (following_) bar->setValue(maximum);
  });
  connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) { following_ = value >= bar->maximum(); });
  view_.attach([this] {
    if (QThread::currentThread() == thread()) {
      draw();
    } else {
      QMetaObject::invokeMethod(
          this, [this] { draw(); }, Qt::QueuedConnection);
    }
  });
}

LogWidget::~LogWidget() { view_.attach({}); }

void LogWidget::draw() {
  WindowLogView::Update update = view_.takeUpdate();
  QString text = displayLines(update.text);
  if (update.replaceAll) {
    setPlainText(text);
  } else if (!text.isEmpty()) {
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
  }
  if (update.scrollToEnd || update.replaceAll || following_) scrollToEnd();
}

void LogWidget::scrollToEnd() {
  moveCursor(QTextCursor::End);
  ensureCursorVisible();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  following_ = true;
}

}  // namespace quillstash::gui
