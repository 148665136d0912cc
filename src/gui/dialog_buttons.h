// SPDX-License-Identifier: MIT
#pragma once

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

#include "gui/qt_text.h"

namespace quillstash::gui {

// Adds the right-aligned row of a dialog's OK (the default button) and Cancel
// buttons to `layout`, wired to accept() and reject().
inline void addOkCancelRow(QDialog& dialog, QBoxLayout& layout, int okId, const char* okText, int cancelId,
                           const char* cancelText) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton(QString::fromLatin1(okText), &dialog);
  ok->setObjectName(controlName(okId));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QString::fromLatin1(cancelText), &dialog);
  cancel->setObjectName(controlName(cancelId));
  ok->setToolTip(QDialog::tr("Keep these choices"));
  cancel->setToolTip(QDialog::tr("Close without changing anything"));
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout.addLayout(buttons);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
}

}  // namespace quillstash::gui
