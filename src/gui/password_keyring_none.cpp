// SPDX-License-Identifier: MIT
// Built without a keyring library: the password is never stored.
#include <QMetaObject>

#include "gui/password_keyring.h"

namespace quillstash::gui {

bool PasswordKeyring::available() { return false; }

void PasswordKeyring::store(const QString&, const QString&) {
  QMetaObject::invokeMethod(
      this, [this] { emit stored(false, tr("this program was built without keyring support")); }, Qt::QueuedConnection);
}

void PasswordKeyring::read(const QString&) {}

void PasswordKeyring::forget(const QString&) {}

}  // namespace quillstash::gui
