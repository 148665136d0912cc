// SPDX-License-Identifier: MIT
#include "gui/saving_options_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QIntValidator>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/dialog_buttons.h"
#include "gui/qt_text.h"

namespace quillstash::gui {

namespace {
using Model = SavingOptionsModel;
}  // namespace

SavingOptionsDialog::SavingOptionsDialog(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), model_(store.snapshot()) {
  setObjectName(controlName(1013));
  setWindowTitle(QString::fromLatin1(Model::kTitle));
  auto* layout = new QVBoxLayout(this);

  auto* lengthRow = new QHBoxLayout;
  auto* label = new QLabel(QString::fromLatin1(Model::kMaxCharsText), this);
  label->setObjectName(controlName(Model::kMaxCharsLabel));
  auto* length = new QLineEdit(toQString(model_.maxFileNameChars), this);
  length->setObjectName(controlName(Model::kMaxCharsEdit));
  length->setMaximumWidth(70);
  label->setBuddy(length);
  length->setValidator(
      new QIntValidator(static_cast<int>(Model::kMinChars), static_cast<int>(Model::kMaxChars), length));
  length->setToolTip(
      tr("Longest name taken from a title, %1 to %2 characters").arg(Model::kMinChars).arg(Model::kMaxChars));
  lengthRow->addWidget(label);
  lengthRow->addWidget(length);
  layout->addLayout(lengthRow);
  length_ = length;
  connect(length, &QLineEdit::textChanged, this,
          [this](const QString& text) { model_.maxFileNameChars = toBytes(text); });

  auto addBox = [&](int id, const char* text, bool& field) {
    auto* box = new QCheckBox(QString::fromLatin1(text), this);
    box->setObjectName(controlName(id));
    box->setChecked(field);
    layout->addWidget(box);
    connect(box, &QCheckBox::toggled, this, [&field](bool on) { field = on; });
  };
  addBox(Model::kSaveAttachmentsBox, Model::kSaveAttachmentsText, model_.saveAttachments);
  addBox(Model::kSaveExternalImagesBox, Model::kSaveExternalImagesText, model_.saveExternalImages);
  addBox(Model::kLinkAllImagesBox, Model::kLinkAllImagesText, model_.linkAllImages);
  findChild<QCheckBox*>(controlName(Model::kSaveAttachmentsBox))->setToolTip(tr("Save the files attached to posts"));
  findChild<QCheckBox*>(controlName(Model::kSaveExternalImagesBox))
      ->setToolTip(tr("Save pictures that posts show from other sites"));
  findChild<QCheckBox*>(controlName(Model::kLinkAllImagesBox))
      ->setToolTip(tr("Keep a link to every picture, also those not saved"));

  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setVisible(false);
  layout->addWidget(problem_);
  addOkCancelRow(*this, *layout, Model::kOk, Model::kOkText, Model::kCancel, Model::kCancelText);
}

void SavingOptionsDialog::accept() {
  if (!model_.maxFileNameCharsValid()) {
    problem_->setText(tr("Enter a whole number from %1 to %2.").arg(Model::kMinChars).arg(Model::kMaxChars));
    problem_->setVisible(true);
    length_->setFocus();
    length_->selectAll();
    return;
  }
  store_.replace(model_.accept(store_.snapshot()));
  QDialog::accept();
}

}  // namespace quillstash::gui
