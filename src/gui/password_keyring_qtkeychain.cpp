// SPDX-License-Identifier: MIT
#include <qt6keychain/keychain.h>

#include "gui/password_keyring.h"

namespace quillstash::gui {

namespace {
const QString kService = QStringLiteral("quillstash");
}  // namespace

bool PasswordKeyring::available() { return true; }

void PasswordKeyring::store(const QString& user, const QString& password) {
  auto* job = new QKeychain::WritePasswordJob(kService, this);
  job->setInsecureFallback(false);  // a keyring or nothing: never a plain file
  job->setKey(user);
  job->setTextData(password);
  connect(job, &QKeychain::Job::finished, this,
          [this](QKeychain::Job* done) { emit stored(done->error() == QKeychain::NoError, done->errorString()); });
  job->start();
}

void PasswordKeyring::read(const QString& user) {
  auto* job = new QKeychain::ReadPasswordJob(kService, this);
  job->setInsecureFallback(false);
  job->setKey(user);
  connect(job, &QKeychain::Job::finished, this, [this, job](QKeychain::Job*) {
    if (job->error() == QKeychain::NoError) emit passwordRead(job->textData());
  });
  job->start();
}

void PasswordKeyring::forget(const QString& user) {
  auto* job = new QKeychain::DeletePasswordJob(kService, this);
  job->setInsecureFallback(false);
  job->setKey(user);
  job->start();
}

}  // namespace quillstash::gui
