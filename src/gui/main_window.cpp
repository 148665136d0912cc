// SPDX-License-Identifier: MIT
#include "gui/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include "gui/advanced_settings_dialog.h"
#include "gui/detected_forums_dialog.h"
#include "gui/log_widget.h"
#include "gui/qt_text.h"
#include "gui/saving_options_dialog.h"

// The program icon is compiled into this static library; its resources must
// be registered by name, from the global namespace, before first use.
static void registerProgramResources() { Q_INIT_RESOURCE(quillstash); }

namespace quillstash::gui {

namespace {

using Model = MainWindowModel;

QString text(const char* latin1) { return QString::fromLatin1(latin1); }

}  // namespace

MainWindow::MainWindow(MainWindowModel& model, WindowLogView& logView, QWidget* parent)
    : QDialog(parent), model_(model), runDialog_([](QDialog& dialog) { return dialog.exec(); }) {
  setObjectName(controlName(1010));
  registerProgramResources();
  setWindowIcon(QIcon(QStringLiteral(":/quillstash/quillstash.png")));
  setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
  setSizeGripEnabled(true);

  auto makeLabel = [&](int id, const char* caption) {
    auto* label = new QLabel(text(caption), this);
    label->setObjectName(controlName(id));
    return label;
  };
  auto makeEdit = [&](int id, std::size_t limit) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(controlName(id));
    edit->setMaxLength(static_cast<int>(limit));
    return edit;
  };
  auto makeButton = [&](int id, const char* caption) {
    auto* button = new QPushButton(text(caption), this);
    button->setObjectName(controlName(id));
    button->setAutoDefault(false);
    return button;
  };

  // Controls in tab order.
  QLabel* addressLabel = makeLabel(Model::kAddressLabel, Model::kAddressText);
  address_ = makeEdit(Model::kAddressEdit, Model::kAddressLimit);
  selectButton_ = makeButton(Model::kSelect, Model::kSelectText);
  QLabel* userLabel = makeLabel(Model::kUserLabel, Model::kUserText);
  user_ = makeEdit(Model::kUserEdit, Model::kLoginLimit);
  QLabel* passwordLabel = makeLabel(Model::kPasswordLabel, Model::kPasswordText);
  password_ = makeEdit(Model::kPasswordEdit, Model::kLoginLimit);
  password_->setEchoMode(QLineEdit::Password);
  QPushButton* loginButton = makeButton(Model::kLogin, Model::kLoginText);
  QLabel* folderLabel = makeLabel(Model::kFolderLabel, Model::kFolderText);
  folder_ = makeEdit(Model::kFolderEdit, Model::kAddressLimit);
  browseButton_ = makeButton(Model::kBrowse, Model::kBrowseText);
  QPushButton* optionsButton = makeButton(Model::kOptions, Model::kOptionsText);
  log_ = new LogWidget(logView, this);
  log_->setObjectName(controlName(Model::kLog));
  logToFile_ = new QCheckBox(text(Model::kLogToFileText), this);
  logToFile_->setObjectName(controlName(Model::kLogToFile));
  downloadButton_ = makeButton(Model::kDownload, Model::kDownloadText);
  downloadButton_->setDefault(true);
  QPushButton* advancedButton = makeButton(Model::kAdvanced, Model::kAdvancedText);
  QPushButton* closeButton = makeButton(Model::kClose, Model::kCloseText);
  QPushButton* trayButton = makeButton(Model::kTray, Model::kTrayText);

  addressLabel->setBuddy(address_);
  userLabel->setBuddy(user_);
  passwordLabel->setBuddy(password_);
  folderLabel->setBuddy(folder_);
  browseButton_->setFixedWidth(browseButton_->sizeHint().height() + 8);

  auto* grid = new QGridLayout;
  grid->addWidget(addressLabel, 0, 0);
  grid->addWidget(address_, 0, 1, 1, 4);
  grid->addWidget(selectButton_, 0, 5);
  grid->addWidget(userLabel, 1, 0);
  grid->addWidget(user_, 1, 1);
  grid->addWidget(passwordLabel, 1, 2);
  grid->addWidget(password_, 1, 3, 1, 2);
  grid->addWidget(loginButton, 1, 5);
  grid->addWidget(folderLabel, 2, 0);
  grid->addWidget(folder_, 2, 1, 1, 3);
  grid->addWidget(browseButton_, 2, 4);
  grid->addWidget(optionsButton, 2, 5);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(logToFile_);
  bottom->addStretch(1);
  bottom->addWidget(downloadButton_);
  bottom->addWidget(advancedButton);
  bottom->addWidget(closeButton);
  bottom->addWidget(trayButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(log_, 1);
  layout->addLayout(bottom);
  resize(620, 420);

  QWidget* order[] = {address_, selectButton_, user_,    password_,      loginButton,    folder_,     browseButton_,
                      optionsButton, log_,    logToFile_, downloadButton_, advancedButton, closeButton, trayButton};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  folder_->setText(toQString(model_.outputDirectory()));
  connect(address_, &QLineEdit::textEdited, this, [this](const QString& t) { model_.editForumAddress(toBytes(t)); });
  connect(folder_, &QLineEdit::textChanged, this, [this](const QString& t) { model_.setOutputDirectory(toBytes(t)); });
  connect(user_, &QLineEdit::textChanged, this, [this](const QString& t) { model_.setUserName(toBytes(t)); });
  connect(password_, &QLineEdit::textChanged, this, [this](const QString& t) { model_.setPassword(toBytes(t)); });
  connect(logToFile_, &QCheckBox::toggled, this, [this](bool on) { model_.setLogToFile(on); });
  connect(downloadButton_, &QPushButton::clicked, this, &MainWindow::download);
  connect(selectButton_, &QPushButton::clicked, this, &MainWindow::select);
  connect(loginButton, &QPushButton::clicked, this, &MainWindow::login);
  connect(browseButton_, &QPushButton::clicked, this, &MainWindow::browse);
  connect(optionsButton, &QPushButton::clicked, this, &MainWindow::options);
  connect(advancedButton, &QPushButton::clicked, this, &MainWindow::advanced);
  connect(closeButton, &QPushButton::clicked, this, &MainWindow::closeProgram);
  connect(trayButton, &QPushButton::clicked, this, &MainWindow::toTray);
  refresh();
}

MainWindow::~MainWindow() { model_.close(); }

void MainWindow::refresh() {
  setWindowTitle(toQString(model_.title()));
  downloadButton_->setText(text(model_.downloadButtonText()));
  browseButton_->setEnabled(model_.browseEnabled());
  selectButton_->setEnabled(model_.selectEnabled());
}

void MainWindow::download() {
  if (closing_) return;
  model_.pressDownload();
  refresh();
}

void MainWindow::select() {
  if (closing_) return;
  MainWindowModel::SelectResult result = model_.pressSelect();
  if (!result.showDialog) return;
  DetectedForumsDialog dialog(std::move(result.forums), this);
  if (runDialog_(dialog) == QDialog::Accepted) model_.confirmForums(dialog.model());
}

void MainWindow::login() {
  if (!closing_) model_.pressLogin();
}

void MainWindow::browse() {
  if (closing_ || !model_.browseEnabled()) return;
  QString chosen = QFileDialog::getExistingDirectory(this, QString(), folder_->text());
  // A cancelled browser leaves the field as it was.
  if (!chosen.isEmpty()) folder_->setText(QDir::toNativeSeparators(chosen));
}

void MainWindow::options() {
  SavingOptionsDialog dialog(model_.session().settings(), this);
  runDialog_(dialog);
}

void MainWindow::advanced() {
  AdvancedSettingsDialog dialog(model_.session().settings(), this);
  runDialog_(dialog);
}

void MainWindow::toTray() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    // No notification area on this desktop: minimise instead.
    showMinimized();
    return;
  }
  if (tray_ == nullptr) {
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
      if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick ||
          reason == QSystemTrayIcon::Context) {
        restoreFromTray();
      }
    });
  }
  tray_->setToolTip(toQString(model_.trayTip()));
  tray_->show();
  trayShown_ = true;
  hide();
}

void MainWindow::restoreFromTray() {
  if (tray_ != nullptr) tray_->hide();
  trayShown_ = false;
  showNormal();
  raise();
  activateWindow();
  log_->scrollToEnd();
}

void MainWindow::closeProgram() {
  if (closing_) return;
  closing_ = true;
  if (tray_ != nullptr) tray_->hide();
  model_.close();
  QDialog::done(QDialog::Rejected);
  emit programClosed();
}

void MainWindow::reject() { closeProgram(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  closeProgram();
  event->accept();
}

}  // namespace quillstash::gui
