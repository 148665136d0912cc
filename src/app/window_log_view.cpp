// SPDX-License-Identifier: MIT
#include "app/window_log_view.h"

#include <algorithm>

namespace quillstash {

WindowLogView::WindowLogView() : uiThread_(std::this_thread::get_id()) {}

std::size_t WindowLogView::textLength() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_.size();
}

void WindowLogView::select(std::size_t from, std::size_t to) {
  std::lock_guard<std::mutex> lock(mutex_);
  selectionStart_ = std::min(from, text_.size());
  selectionEnd_ = std::min(std::max(to, selectionStart_), text_.size());
}

void WindowLogView::replaceSelection(std::string_view text) {
  std::uint64_t version = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t kept = text_.size() - (selectionEnd_ - selectionStart_);
    std::size_t room = kept < kTextLimit ? kTextLimit - kept : 0;
    if (text.size() > room) text = text.substr(0, room);
    if (selectionStart_ == selectionEnd_ && text.empty()) return;
    // Anything but an append at the end changes what the widget already shows.
    if (selectionStart_ < shownLength_) replaceAll_ = true;
    text_.replace(selectionStart_, selectionEnd_ - selectionStart_, text);
    selectionStart_ += text.size();
    selectionEnd_ = selectionStart_;
    version = ++version_;
  }
  requestDraw();
  if (onUserInterfaceThread()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  drawn_.wait(lock, [&] { return drawnVersion_ >= version || busyDepth_ > 0 || closed_ || !attached_; });
}

void WindowLogView::scrollToCaret() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    scrollPending_ = true;
  }
  requestDraw();
}

void WindowLogView::attach(std::function<void()> requestDraw) {
  std::lock_guard<std::mutex> drawLock(drawMutex_);
  requestDraw_ = std::move(requestDraw);
  std::lock_guard<std::mutex> lock(mutex_);
  attached_ = static_cast<bool>(requestDraw_);
  // A new widget shows nothing yet; a detached one releases every waiter.
  shownLength_ = 0;
  replaceAll_ = true;
  drawPending_ = false;
  drawn_.notify_all();
}

void WindowLogView::requestDraw() {
  if (!onUserInterfaceThread()) {
    // One posted request at a time is enough: it draws everything up to then.
    std::lock_guard<std::mutex> lock(mutex_);
    if (drawPending_) return;
    drawPending_ = true;
  }
  std::lock_guard<std::mutex> drawLock(drawMutex_);
  if (requestDraw_) requestDraw_();
}

WindowLogView::Update WindowLogView::takeUpdate() {
  std::lock_guard<std::mutex> lock(mutex_);
  Update update;
  update.replaceAll = replaceAll_;
  update.text = replaceAll_ ? text_ : text_.substr(std::min(shownLength_, text_.size()));
  update.scrollToEnd = scrollPending_;
  replaceAll_ = false;
  scrollPending_ = false;
  drawPending_ = false;
  shownLength_ = text_.size();
  drawnVersion_ = version_;
  drawn_.notify_all();
  return update;
}

std::string WindowLogView::text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

WindowLogView::BusyScope::BusyScope(WindowLogView& view) : view_(view) {
  std::lock_guard<std::mutex> lock(view_.mutex_);
  ++view_.busyDepth_;
  view_.drawn_.notify_all();
}

WindowLogView::BusyScope::~BusyScope() {
  std::lock_guard<std::mutex> lock(view_.mutex_);
  --view_.busyDepth_;
}

void WindowLogView::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  drawn_.notify_all();
}

}  // namespace quillstash
