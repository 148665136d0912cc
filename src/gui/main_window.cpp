// SPDX-License-Identifier: MIT
#include "gui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/advanced_settings_dialog.h"
#include "gui/detected_forums_dialog.h"
#include "gui/log_widget.h"
#include "gui/password_keyring.h"
#include "gui/qt_text.h"
#include "gui/remembered_settings.h"
#include "gui/saving_options_dialog.h"

// The program icon is compiled into this static library; its resources must
// be registered by name, from the global namespace, before first use.
static void registerProgramResources() { Q_INIT_RESOURCE(quillstash); }

namespace quillstash::gui {

namespace {

using Model = MainWindowModel;

QString text(const char* latin1) { return QString::fromLatin1(latin1); }

constexpr int kPollMs = 200;

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
  // Buttons are auto-default, so Enter on a focused button presses that
  // button; elsewhere Enter presses Download, the default.
  auto makeButton = [&](int id, const char* caption) {
    auto* button = new QPushButton(text(caption), this);
    button->setObjectName(controlName(id));
    button->setAutoDefault(true);
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
  rememberPassword_ = new QCheckBox(tr("Remem&ber password"), this);
  rememberPassword_->setObjectName(QStringLiteral("rememberPassword"));
  keyring_ = new PasswordKeyring(this);
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
  browseButton_->setIcon(
      QIcon::fromTheme(QStringLiteral("folder-open"), style()->standardIcon(QStyle::SP_DirOpenIcon)));
  browseButton_->setAccessibleName(tr("Choose the output folder"));
  browseButton_->setFixedWidth(browseButton_->sizeHint().height() + 8);

  address_->setToolTip(tr("Address of the forum's index page, e.g. http://forum.example.org/index.php"));
  selectButton_->setToolTip(tr("Read the forum's index page and choose which forums to download"));
  user_->setToolTip(tr("Your user name on the forum, for members-only forums (optional)"));
  password_->setToolTip(tr("Your password on the forum (optional)"));
  rememberPassword_->setToolTip(PasswordKeyring::available()
                                    ? tr("Keep the password in the desktop's keyring (never in a plain file)")
                                    : tr("Not available: this program was built without keyring support"));
  rememberPassword_->setEnabled(PasswordKeyring::available());
  loginButton->setToolTip(tr("Log in to the forum with this user name and password"));
  folder_->setToolTip(tr("Folder in which the forum's own folder is made"));
  browseButton_->setToolTip(tr("Choose the output folder"));
  optionsButton->setToolTip(tr("What to save: file name length, attachments, images"));
  log_->setToolTip(tr("What the program is doing"));
  logToFile_->setToolTip(tr("Also write every line of the log to a file in your state folder"));
  downloadButton_->setToolTip(tr("Start the download; while it runs, pause and resume it"));
  advancedButton->setToolTip(tr("Proxy, delays, retries and how forums, topics and posts are detected"));
  closeButton->setToolTip(tr("Quit the program"));
  trayButton->setToolTip(tr("Hide the window to the notification area"));

  counts_ = new QLabel(this);
  counts_->setObjectName(QStringLiteral("progressCounts"));
  counts_->setToolTip(tr("Forums and topics done, out of those found so far"));
  rate_ = new QLabel(this);
  rate_->setObjectName(QStringLiteral("progressRate"));
  rate_->setToolTip(tr("Time since the start, pages and files fetched per second, bytes received"));
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setToolTip(tr("Share of the forums found so far that are done"));
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("runSummary"));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  summary_->setToolTip(tr("How the last download ended"));
  openFolder_ = makeButton(0, "Open &archive folder");
  openFolder_->setObjectName(QStringLiteral("openArchiveFolder"));
  openFolder_->setToolTip(tr("Show the output folder in the file manager"));
  openFolder_->setIcon(QIcon::fromTheme(QStringLiteral("folder-open"), style()->standardIcon(QStyle::SP_DirOpenIcon)));
  openReport_ = makeButton(0, "Open &report");
  openReport_->setObjectName(QStringLiteral("openReport"));
  openReport_->setToolTip(tr("Show what the archive holds and what is missing, in the browser"));

  auto* grid = new QGridLayout;
  grid->addWidget(addressLabel, 0, 0);
  grid->addWidget(address_, 0, 1, 1, 4);
  grid->addWidget(selectButton_, 0, 5);
  grid->addWidget(userLabel, 1, 0);
  grid->addWidget(user_, 1, 1);
  grid->addWidget(passwordLabel, 1, 2);
  grid->addWidget(password_, 1, 3);
  grid->addWidget(rememberPassword_, 1, 4);
  grid->addWidget(loginButton, 1, 5);
  grid->addWidget(folderLabel, 2, 0);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(folder_, 1);
  folderRow->addWidget(browseButton_);
  grid->addLayout(folderRow, 2, 1, 1, 4);
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

  auto* progressRow = new QHBoxLayout;
  progressRow->addWidget(counts_, 1);
  progressRow->addWidget(rate_);
  auto* endRow = new QHBoxLayout;
  endRow->addWidget(summary_, 1);
  endRow->addWidget(openFolder_);
  endRow->addWidget(openReport_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(log_, 1);
  layout->addLayout(progressRow);
  layout->addWidget(bar_);
  layout->addLayout(endRow);
  layout->addLayout(bottom);
  resize(620, 480);
  for (QWidget* widget :
       {static_cast<QWidget*>(counts_), static_cast<QWidget*>(rate_), static_cast<QWidget*>(bar_),
        static_cast<QWidget*>(summary_), static_cast<QWidget*>(openFolder_), static_cast<QWidget*>(openReport_)}) {
    widget->setVisible(false);
  }

  QWidget* order[] = {address_,   selectButton_,   user_,          password_,   rememberPassword_, loginButton,
                      folder_,    browseButton_,   optionsButton,  log_,        openFolder_,       openReport_,
                      logToFile_, downloadButton_, advancedButton, closeButton, trayButton};
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
  connect(rememberPassword_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) {
      storePassword();
    } else if (!user_->text().isEmpty()) {
      keyring_->forget(user_->text());
    }
    if (remembered_ != nullptr) remembered_->setValue(QStringLiteral("window/rememberPassword"), on);
  });
  connect(keyring_, &PasswordKeyring::stored, this, [this](bool ok, const QString& problem) {
    if (ok) return;
    // Nowhere safe to keep it: say so, and keep nothing.
    model_.session().log().logLine("[ X ] The password was not remembered: " + toBytes(problem) + "\r\n");
    QSignalBlocker quiet(rememberPassword_);
    rememberPassword_->setChecked(false);
    if (remembered_ != nullptr) remembered_->setValue(QStringLiteral("window/rememberPassword"), false);
  });
  connect(keyring_, &PasswordKeyring::passwordRead, this, [this](const QString& password) {
    if (password_->text().isEmpty()) password_->setText(password);
  });
  connect(browseButton_, &QPushButton::clicked, this, &MainWindow::browse);
  connect(optionsButton, &QPushButton::clicked, this, &MainWindow::options);
  connect(advancedButton, &QPushButton::clicked, this, &MainWindow::advanced);
  connect(closeButton, &QPushButton::clicked, this, &MainWindow::closeProgram);
  connect(trayButton, &QPushButton::clicked, this, &MainWindow::toTray);
  connect(openFolder_, &QPushButton::clicked, this, &MainWindow::openArchiveFolder);
  connect(openReport_, &QPushButton::clicked, this, [this] { emit reportRequested(reportPage_); });
  poll_ = new QTimer(this);
  poll_->setInterval(kPollMs);
  connect(poll_, &QTimer::timeout, this, &MainWindow::poll);
  poll_->start();
  refresh();
}

MainWindow::~MainWindow() { model_.close(); }

void MainWindow::refresh() {
  setWindowTitle(toQString(model_.windowTitle()));
  downloadButton_->setText(text(model_.downloadButtonText()));
  downloadButton_->setEnabled(model_.downloadEnabled());
  browseButton_->setEnabled(model_.browseEnabled());
  selectButton_->setEnabled(model_.selectEnabled());
  folder_->setReadOnly(!model_.browseEnabled());
  if (tray_ != nullptr) tray_->setToolTip(toQString(model_.trayTip()));
}

void MainWindow::poll() {
  if (closing_) return;
  if (model_.session().downloadStarted()) {
    MainWindowModel::ProgressView view = model_.progress();
    counts_->setText(toQString(view.counts));
    rate_->setText(toQString(view.rate));
    bar_->setValue(view.percent);
    for (QWidget* widget :
         {static_cast<QWidget*>(counts_), static_cast<QWidget*>(rate_), static_cast<QWidget*>(bar_)}) {
      widget->setVisible(true);
    }
  }
  if (model_.pollDownloadEnd()) runEnded();
  if (!model_.selectPending()) {
    MainWindowModel::SelectResult result = model_.finishSelect();
    if (result.showDialog) showSelectResult(std::move(result));
  }
  refresh();
}

void MainWindow::runEnded() {
  MainWindowModel::ProgressView view = model_.progress();
  bar_->setValue(view.percent);
  summary_->setText(toQString(view.summary));
  summary_->setVisible(true);
  openFolder_->setVisible(true);
  reportPage_ = toQString(view.reportPage);
  openReport_->setVisible(!reportPage_.isEmpty());
  refresh();
  // Out of sight: say so in the notification area, or, where it shows no
  // messages, bring the window back so that the end is seen.
  if (!trayShown_ && !isMinimized()) return;
  runEndNotice_ = RunEndNotice{toQString(model_.windowTitle()), toQString(view.summary), false};
  if (trayShown_ && tray_ != nullptr && QSystemTrayIcon::supportsMessages()) {
    tray_->showMessage(runEndNotice_.title, runEndNotice_.text, QSystemTrayIcon::Information);
    runEndNotice_.byTray = true;
    return;
  }
  restoreFromTray();
  QApplication::alert(this);
}

void MainWindow::openArchiveFolder() {
  QString folder = folder_->text();
  emit archiveFolderRequested(folder);
}

void MainWindow::download() {
  if (closing_ || !model_.downloadEnabled()) return;
  if (model_.runState() == RunState::kIdle) {
    summary_->setVisible(false);
    openFolder_->setVisible(false);
    openReport_->setVisible(false);
    rememberState();
  }
  model_.pressDownload();
  poll();
}

void MainWindow::select() {
  if (closing_) return;
  MainWindowModel::SelectResult result = model_.pressSelect();
  refresh();
  // A fetch runs on its own thread; the timer shows its answer.
  if (result.showDialog) showSelectResult(std::move(result));
}

void MainWindow::showSelectResult(MainWindowModel::SelectResult result) {
  if (closing_) return;
  DetectedForumsDialog dialog(std::move(result.forums), this);
  if (runDialog_(dialog) == QDialog::Accepted) model_.confirmForums(dialog.model());
}

void MainWindow::login() {
  if (closing_) return;
  model_.pressLogin();
  storePassword();
}

void MainWindow::storePassword() {
  if (rememberPassword_->isChecked() && !user_->text().isEmpty() && !password_->text().isEmpty()) {
    keyring_->store(user_->text(), password_->text());
  }
}

void MainWindow::browse() {
  if (closing_ || !model_.browseEnabled()) return;
  // The desktop's own folder chooser (its portal or native dialog) where
  // the platform has one.
  QString chosen = QFileDialog::getExistingDirectory(this, tr("Choose the output folder"), folder_->text(),
                                                     QFileDialog::ShowDirsOnly);
  // A cancelled browser leaves the field as it was.
  if (!chosen.isEmpty()) folder_->setText(QDir::toNativeSeparators(chosen));
}

void MainWindow::options() {
  SavingOptionsDialog dialog(model_.session().settings(), this);
  if (runDialog_(dialog) == QDialog::Accepted) rememberState();
}

void MainWindow::advanced() {
  AdvancedSettingsDialog dialog(model_.session().settings(), this);
  if (runDialog_(dialog) == QDialog::Accepted) rememberState();
}

void MainWindow::rememberIn(QSettings& remembered) {
  remembered_ = &remembered;
  restoreOptions(remembered, model_.session().settings());
  QString address = remembered.value(QStringLiteral("window/address")).toString();
  address_->setText(address);
  model_.editForumAddress(toBytes(address));
  if (QString folder = remembered.value(QStringLiteral("window/folder")).toString(); !folder.isEmpty()) {
    folder_->setText(folder);
  }
  user_->setText(remembered.value(QStringLiteral("window/user")).toString());
  restoreGeometry(remembered.value(QStringLiteral("window/geometry")).toByteArray());
  if (PasswordKeyring::available() && remembered.value(QStringLiteral("window/rememberPassword")).toBool()) {
    QSignalBlocker quiet(rememberPassword_);
    rememberPassword_->setChecked(true);
    if (!user_->text().isEmpty()) keyring_->read(user_->text());
  }
}

void MainWindow::rememberState() {
  if (remembered_ == nullptr) return;
  remembered_->setValue(QStringLiteral("window/address"), address_->text());
  remembered_->setValue(QStringLiteral("window/folder"), folder_->text());
  remembered_->setValue(QStringLiteral("window/user"), user_->text());
  remembered_->setValue(QStringLiteral("window/geometry"), saveGeometry());
  rememberOptions(*remembered_, model_.session().settings().snapshot());
}

QSystemTrayIcon* MainWindow::trayIcon() {
  if (tray_ == nullptr) {
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(toQString(model_.trayTip()));
    // Every kind of activation brings the window back, after the icon has
    // finished handling its own click: hiding the icon from inside its
    // signal pulls it away under the platform's feet.
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason) {
      QMetaObject::invokeMethod(this, &MainWindow::restoreFromTray, Qt::QueuedConnection);
    });
  }
  return tray_;
}

void MainWindow::toTray() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    // No notification area on this desktop: minimise instead.
    showMinimized();
    return;
  }
  trayIcon()->setToolTip(toQString(model_.trayTip()));
  tray_->show();
  trayShown_ = true;
  hide();
}

void MainWindow::restoreFromTray() {
  if (closing_) return;
  if (tray_ != nullptr) tray_->hide();
  trayShown_ = false;
  showNormal();
  raise();
  activateWindow();
  log_->scrollToEnd();
}

bool MainWindow::closeProgram() {
  if (closing_) return true;
  if (model_.runState() != RunState::kIdle && !model_.session().downloadFinished()) {
    QMessageBox ask(QMessageBox::Question, toQString(model_.windowTitle()),
                    tr("A download is running. Stop it and quit?\n\n"
                       "Topics saved so far stay in the archive; the topic being fetched is not kept."),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName(QStringLiteral("confirmQuit"));
    ask.setDefaultButton(QMessageBox::No);
    ask.button(QMessageBox::Yes)->setText(tr("&Stop and quit"));
    ask.button(QMessageBox::No)->setText(tr("&Keep downloading"));
    if (runDialog_(ask) != QMessageBox::Yes) return false;
  }
  rememberState();
  closing_ = true;
  poll_->stop();
  if (tray_ != nullptr) tray_->hide();
  model_.close();
  QDialog::done(QDialog::Rejected);
  emit programClosed();
  return true;
}

void MainWindow::reject() { closeProgram(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  if (closeProgram()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace quillstash::gui
