// SPDX-License-Identifier: MIT
#pragma once

// The forum password in the desktop's keyring (Secret Service, KWallet, the
// platform's credential store), never in a file of ours. Each request runs
// on its own and answers with a signal on the calling thread. Built without
// a keyring library, every request fails and available() is false.

#include <QObject>
#include <QString>

namespace quillstash::gui {

class PasswordKeyring : public QObject {
  Q_OBJECT

 public:
  explicit PasswordKeyring(QObject* parent = nullptr) : QObject(parent) {}

  // Whether the program was built with keyring support (a keyring may still
  // be missing on this desktop: store() then fails).
  static bool available();

  // Keyed by the user name; user-interface thread.
  void store(const QString& user, const QString& password);
  void read(const QString& user);
  void forget(const QString& user);

 signals:
  void stored(bool ok, const QString& problem);
  void passwordRead(const QString& password);
};

}  // namespace quillstash::gui
