// SPDX-License-Identifier: MIT
#include "gui/advanced_settings_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QIntValidator>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QVBoxLayout>

#include "gui/qt_text.h"

namespace quillstash::gui {

namespace {

using Model = AdvancedSettingsModel;

const Model::CheckBox& checkBoxInfo(int id) {
  for (const auto& box : Model::checkBoxes()) {
    if (box.id == id) return box;
  }
  return Model::checkBoxes().front();
}

QGroupBox* makeGroup(int id, QWidget* parent) {
  for (const auto& group : Model::groups()) {
    if (group.id == id) {
      auto* box = new QGroupBox(QString::fromLatin1(group.title), parent);
      box->setObjectName(controlName(id));
      return box;
    }
  }
  return nullptr;
}

}  // namespace

AdvancedSettingsDialog::AdvancedSettingsDialog(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), model_(store.snapshot()) {
  setObjectName(controlName(1012));
  setWindowTitle(QString::fromLatin1(Model::kTitle));

  auto makeBox = [&](int id, QWidget* owner) {
    auto* box = new QCheckBox(QString::fromLatin1(checkBoxInfo(id).label), owner);
    box->setObjectName(controlName(id));
    box->setChecked(model_.isChecked(id));
    boxes_[id] = box;
    connect(box, &QCheckBox::toggled, this, [this, id](bool on) {
      model_.setChecked(id, on);
      refreshEnabled();
    });
    return box;
  };
  auto makeEdit = [&](int id, QWidget* owner) {
    auto* edit = new QLineEdit(toQString(model_.text(id)), owner);
    edit->setObjectName(controlName(id));
    edit->setMaxLength(static_cast<int>(Model::kTextLimit));
    edits_[id] = edit;
    connect(edit, &QLineEdit::textChanged, this,
            [this, id](const QString& text) { model_.setText(id, toBytes(text)); });
    return edit;
  };

  auto* outer = new QVBoxLayout(this);
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("settingsScroll"));
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  auto* page = new QWidget(scroll);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);

  // Proxy and forum delay.
  auto* proxyRow = new QHBoxLayout;
  proxyRow->addWidget(makeBox(Model::kUseProxyBox, page));
  proxyRow->addWidget(makeEdit(Model::kProxyEdit, page), 1);
  proxyRow->addWidget(makeBox(Model::kForumLinksOnlyBox, page));
  layout->addLayout(proxyRow);
  auto* delayRow = new QHBoxLayout;
  delayRow->addWidget(makeBox(Model::kDownloadDelayBox, page));
  QLineEdit* delayEdit = makeEdit(Model::kDownloadDelayEdit, page);
  delayEdit->setMaximumWidth(80);
  delayRow->addWidget(delayEdit);
  delayRow->addStretch(1);
  layout->addLayout(delayRow);

  // Requests and https trust.
  auto* agentRow = new QHBoxLayout;
  agentRow->addWidget(new QLabel(QString::fromLatin1(Model::kUserAgentLabel), this));
  agentRow->addWidget(makeEdit(Model::kUserAgentEdit, this), 1);
  agentRow->addWidget(makeBox(Model::kHttp10Box, this));
  layout->addLayout(agentRow);
  auto* trustRow = new QHBoxLayout;
  trustRow->addWidget(new QLabel(QString::fromLatin1(Model::kCaFileLabel), this));
  trustRow->addWidget(makeEdit(Model::kCaFileEdit, this), 1);
  trustRow->addWidget(makeBox(Model::kSkipCertificateCheckBox, this));
  layout->addLayout(trustRow);

  // Retries and their delays.
  auto* retryRow = new QHBoxLayout;
  auto addRetryGroup = [&](int groupId, int retriesEdit, int delayBox, int delayEdit) {
    QGroupBox* group = makeGroup(groupId, page);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QString::fromLatin1(Model::kMaximumRetriesLabel), group), 0, 0);
    grid->addWidget(makeEdit(retriesEdit, group), 0, 1);
    grid->addWidget(makeBox(delayBox, group), 1, 0);
    grid->addWidget(makeEdit(delayEdit, group), 1, 1);
    retryRow->addWidget(group);
  };
  addRetryGroup(Model::kConnectionGroup, Model::kConnectRetriesEdit, Model::kConnectDelayBox, Model::kConnectDelayEdit);
  addRetryGroup(Model::kReceiveGroup, Model::kReceiveRetriesEdit, Model::kReceiveDelayBox, Model::kReceiveDelayEdit);
  layout->addLayout(retryRow);

  // Time limits of each fetch.
  auto* limits = new QGridLayout;
  int limitRow = 0;
  for (const auto& field : Model::limitFields()) {
    limits->addWidget(new QLabel(QString::fromLatin1(field.label), this), limitRow, 0);
    QLineEdit* edit = makeEdit(field.id, this);
    edit->setMaximumWidth(80);
    limits->addWidget(edit, limitRow++, 1);
  }
  limits->addWidget(new QLabel(QString::fromLatin1(Model::kMaxFileSizeLabel), this), limitRow, 0);
  QLineEdit* maxFileSize = makeEdit(Model::kMaxFileSizeEdit, this);
  maxFileSize->setMaximumWidth(80);
  limits->addWidget(maxFileSize, limitRow++, 1);
  limits->addWidget(new QLabel(QString::fromLatin1(Model::kConnectionsLabel), this), limitRow, 0);
  QLineEdit* connections = makeEdit(Model::kConnectionsEdit, this);
  connections->setMaximumWidth(80);
  limits->addWidget(connections, limitRow, 1);
  limits->setColumnStretch(2, 1);
  layout->addLayout(limits);

  // Detection: forums, topics, posts, and the link parameter.
  QGroupBox* detection = makeGroup(Model::kDetectionGroup, page);
  auto* detectionLayout = new QVBoxLayout(detection);
  auto addDetectionGroup = [&](int groupId, int firstBox) {
    QGroupBox* group = makeGroup(groupId, detection);
    auto* grid = new QGridLayout(group);
    for (int row = 0; row < 4; ++row) {
      int box = firstBox + row;
      grid->addWidget(makeBox(box, group), row, 0);
      grid->addWidget(makeEdit(checkBoxInfo(box).edit, group), row, 1);
    }
    grid->setColumnStretch(1, 1);
    detectionLayout->addWidget(group);
  };
  addDetectionGroup(Model::kForumsGroup, 400);
  addDetectionGroup(Model::kTopicsGroup, 404);
  addDetectionGroup(Model::kPostsGroup, 408);
  auto* parameterRow = new QHBoxLayout;
  parameterRow->addWidget(makeBox(Model::kLinkParameterBox, detection));
  parameterRow->addWidget(makeEdit(Model::kLinkParameterEdit, detection), 1);
  detectionLayout->addLayout(parameterRow);
  layout->addWidget(detection);
  layout->addStretch(1);
  scroll->setWidget(page);
  outer->addWidget(scroll, 1);

  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setWordWrap(true);
  problem_->setVisible(false);
  outer->addWidget(problem_);

  // The number fields take digits only (the forum delay a decimal point
  // too), within the model's limits.
  for (int id : Model::numberFields()) {
    const Model::NumberLimits limits = Model::numberLimits(id);
    QLineEdit* edit = edits_[id];
    if (limits.seconds) {
      edit->setValidator(
          new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,4}(\\.\\d{0,3})?")), edit));
      edit->setToolTip(tr("Seconds, from 0 to %1; decimals allowed (1.5)").arg(limits.max));
    } else {
      edit->setValidator(new QIntValidator(static_cast<int>(limits.min), static_cast<int>(limits.max), edit));
      edit->setToolTip(tr("A whole number from %1 to %2").arg(limits.min).arg(limits.max));
    }
  }

  // The forum engine and a profile file that teaches the program another one.
  auto* engineRow = new QHBoxLayout;
  engineRow->addWidget(new QLabel(QString::fromLatin1(Model::kEngineLabel), this));
  auto* engine = new QComboBox(this);
  engine->setObjectName(controlName(Model::kEngineCombo));
  for (const Model::EngineEntry& entry : model_.engines()) engine->addItem(toQString(entry.label));
  engine->setCurrentIndex(static_cast<int>(model_.engineIndex()));
  connect(engine, &QComboBox::currentIndexChanged, this,
          [this](int index) { model_.setEngineIndex(static_cast<std::size_t>(index < 0 ? 0 : index)); });
  engineRow->addWidget(engine);
  engineRow->addWidget(new QLabel(QString::fromLatin1(Model::kProfileFileLabel), this));
  engineRow->addWidget(makeEdit(Model::kProfileFileEdit, this), 1);
  layout->addLayout(engineRow);

  // Buttons.
  auto* buttons = new QHBoxLayout;
  auto makeButton = [&](int id, const char* text) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(controlName(id));
    buttons->addWidget(button);
    return button;
  };
  QPushButton* ok = makeButton(Model::kOk, Model::kOkText);
  ok->setDefault(true);
  QPushButton* cancel = makeButton(Model::kCancel, Model::kCancelText);
  buttons->addStretch(1);
  QPushButton* wildcards = makeButton(Model::kWildcards, Model::kWildcardsText);
  outer->addLayout(buttons);
  ok->setToolTip(tr("Keep these settings"));
  cancel->setToolTip(tr("Close without changing anything"));
  wildcards->setToolTip(tr("What the wildcards in the detection strings mean"));
  for (auto& [id, box] : boxes_) box->setToolTip(tr("Switch this setting on"));
  for (auto& [id, edit] : edits_) {
    if (edit->toolTip().isEmpty()) edit->setToolTip(tr("Used when the box beside it is ticked"));
  }
  boxes_[Model::kUseProxyBox]->setToolTip(tr("Fetch through a proxy server (host:port)"));
  boxes_[Model::kForumLinksOnlyBox]->setToolTip(tr("Attachments and images are fetched directly"));
  boxes_[Model::kDownloadDelayBox]->setToolTip(tr("Wait after each forum page, to spare the server"));
  connect(ok, &QPushButton::clicked, this, &AdvancedSettingsDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &AdvancedSettingsDialog::reject);
  connect(wildcards, &QPushButton::clicked, this, &AdvancedSettingsDialog::showWildcardsHelp);

  refreshEnabled();
}

void AdvancedSettingsDialog::refreshEnabled() {
  for (auto& [id, edit] : edits_) edit->setEnabled(model_.isEnabled(id));
  boxes_[Model::kForumLinksOnlyBox]->setEnabled(model_.isEnabled(Model::kForumLinksOnlyBox));
}

void AdvancedSettingsDialog::accept() {
  if (int invalid = model_.invalidNumberField(); invalid != 0) {
    const Model::NumberLimits limits = Model::numberLimits(invalid);
    problem_->setText(limits.seconds ? tr("Enter a number of seconds from 0 to %1.").arg(limits.max)
                                     : tr("Enter a whole number from %1 to %2.").arg(limits.min).arg(limits.max));
    problem_->setVisible(true);
    edits_[invalid]->setEnabled(true);
    edits_[invalid]->setFocus();
    edits_[invalid]->selectAll();
    return;
  }
  if (const std::string_view problem = model_.proxyProblem(); !problem.empty()) {
    problem_->setText(QString::fromLatin1(problem.data(), static_cast<qsizetype>(problem.size())));
    problem_->setVisible(true);
    edits_[Model::kProxyEdit]->setFocus();
    edits_[Model::kProxyEdit]->selectAll();
    return;
  }
  // A box counts only when fully ticked; the model mirrors every click, the
  // texts every keystroke (greyed fields included).
  store_.replace(model_.accept(store_.snapshot()));
  QDialog::accept();
}

void AdvancedSettingsDialog::showWildcardsHelp() {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(Model::kMessageTitle), displayLines(Model::wildcardsHelp()),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("wildcardsHelp"));
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace quillstash::gui
