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
  view_.attach([this] {
    if (QThread::currentThread() == thread()) {
      draw();
    } else {
      QMetaObject::invokeMethod(this, [this] { draw(); }, Qt::QueuedConnection);
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
  if (update.scrollToEnd || update.replaceAll) scrollToEnd();
}

void LogWidget::scrollToEnd() {
  moveCursor(QTextCursor::End);
  ensureCursorVisible();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace quillstash::gui
