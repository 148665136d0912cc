// SPDX-License-Identifier: MIT
// The desktop program's windows, driven through their widgets on the
// offscreen platform, against a small board served on loopback.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "board_server.h"
#include "boards.h"
#include "gui/advanced_settings_dialog.h"
#include "gui/detected_forums_dialog.h"
#include "gui/log_widget.h"
#include "gui/program.h"
#include "gui/qt_text.h"
#include "gui/saving_options_dialog.h"
#include "platform/process.h"
#include "support/temp_dir.h"

namespace quillstash::gui {

namespace {

using namespace std::chrono_literals;

template <typename T>
T* control(QWidget& parent, int id) {
  return parent.findChild<T*>(controlName(id));
}

demo::BoardShape smallShape(int extraTopics = 0) {
  demo::BoardShape shape;
  shape.forums = {{1, 0, 1, "News", "", false}, {2, 0, 1, "Chat", "", false}, {3, 0, 2, "Help", "", false}};
  shape.topics = {{1, 1, "First news", 2}, {2, 2, "First chat", 2}, {3, 3, "First help", 1}};
  for (int i = 0; i < extraTopics; ++i) shape.topics.push_back({100 + i, 1 + i % 3, "Topic " + std::to_string(i), 8});
  shape.postPadding = extraTopics != 0 ? 4000 : 0;
  shape.showcase = false;
  return shape;
}

// A board on loopback and a fresh desktop program whose output goes to a
// temporary folder.
struct Desktop {
  explicit Desktop(demo::BoardShape shape = smallShape()) : board(std::move(shape)) {
    server.start();
    program = std::make_unique<DesktopProgram>(5s);
  }
  ~Desktop() { program.reset(); }

  QString indexAddress() const { return QStringLiteral("http://127.0.0.1:%1/index.php").arg(server.port()); }
  int requestsFor(const std::string& path) const {
    int count = 0;
    for (const auto& line : server.requestLines()) count += line.find(" " + path) != std::string::npos;
    return count;
  }
  MainWindow& window() { return program->window; }
  void click(int id) { QTest::mouseClick(control<QPushButton>(window(), id), Qt::LeftButton); }
  void typeAddress(const QString& address) {
    QLineEdit* edit = control<QLineEdit>(window(), 100);
    edit->selectAll();
    QTest::keyClicks(edit, address);
  }
  void useTemporaryOutput() { control<QLineEdit>(window(), 101)->setText(QString::fromStdString(output.path())); }
  QString logText() { return window().logWidget()->toPlainText(); }

  demo::ClassicBoard board;
  demo::BoardServer server{[this](const demo::Request& request) { return board.serve(request); }};
  test::TempDir output;
  std::unique_ptr<DesktopProgram> program;
};

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void mainWindowStartsWithEveryControlInPlace();
  void theFirstDownloadPressRetitlesAndGreysAndLaterPressesToggle();
  void selectWithoutAnAddressLogsAndOpensNothing();
  void selectFetchesOnceUntilTheAddressIsEdited();
  void untickingRowTwoMakesTheDownloadSkipForumTwo();
  void cancellingTheForumListKeepsEveryForum();
  void advancedSettingsOpenWithTheDefaults();
  void advancedSettingsRoundTripAndCancel();
  void eachDialogLeavesTheOthersBitsAlone();
  void wildcardsShowsTheHelp();
  void theLogWidgetTrimsAsTheLogDoesAndShowsWorkerLines();
  void closeDuringARunningDownloadEndsAtOnce();
  void trayHidesTheWindowAndAClickBringsItBack();
};

void DesktopTest::mainWindowStartsWithEveryControlInPlace() {
  Desktop desktop;
  MainWindow& w = desktop.window();
  QCOMPARE(w.windowTitle(), QStringLiteral("Quillstash 1.02"));

  struct Expected {
    int id;
    const char* text;
  };
  for (Expected label : {Expected{10, "&Forum address:"}, Expected{12, "Username:"}, Expected{13, "Password:"},
                         Expected{11, "&Output directory:"}}) {
    QLabel* widget = control<QLabel>(w, label.id);
    QVERIFY2(widget != nullptr, label.text);
    QCOMPARE(widget->text(), QString::fromLatin1(label.text));
  }
  for (Expected button : {Expected{5, "Se&lect ..."}, Expected{9, "Lo&gin"}, Expected{3, "\\"},
                          Expected{6, "O&ptions ..."}, Expected{1, "&Download"}, Expected{8, "Ad&vanced ..."},
                          Expected{2, "&Close"}, Expected{4, "&Tray"}}) {
    QPushButton* widget = control<QPushButton>(w, button.id);
    QVERIFY2(widget != nullptr, button.text);
    QCOMPARE(widget->text(), QString::fromLatin1(button.text));
    QVERIFY(widget->isEnabled());
  }
  QVERIFY(control<QPushButton>(w, 1)->isDefault());

  QCOMPARE(control<QLineEdit>(w, 100)->text(), QString());
  QCOMPARE(control<QLineEdit>(w, 100)->maxLength(), 8192);
  QCOMPARE(control<QLineEdit>(w, 101)->maxLength(), 8192);
  QCOMPARE(control<QLineEdit>(w, 102)->maxLength(), 255);
  QCOMPARE(control<QLineEdit>(w, 103)->maxLength(), 255);
  QCOMPARE(control<QLineEdit>(w, 103)->echoMode(), QLineEdit::Password);
  QCOMPARE(control<QLineEdit>(w, 101)->text(), QString::fromStdString(platform::homeDirectory() + "/").replace("//", "/"));

  auto* log = control<QPlainTextEdit>(w, 200);
  QVERIFY(log != nullptr);
  QVERIFY(log->isReadOnly());
  QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  QVERIFY(log->toPlainText().isEmpty());
  QCheckBox* logToFile = control<QCheckBox>(w, 400);
  QCOMPARE(logToFile->text(), QStringLiteral("Save debug messages to &Log"));
  QVERIFY(!logToFile->isChecked());
  logToFile->setChecked(true);
  QVERIFY(desktop.program->session.log().logToFile());

  // Tab order follows the table of the window (labels take no focus).
  int order[] = {100, 5, 102, 103, 9, 101, 3, 6, 200, 400, 1, 8, 2, 4};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget* next = w.findChild<QWidget*>(controlName(order[i - 1]))->nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
    QCOMPARE(next->objectName(), controlName(order[i]));
  }
}

void DesktopTest::theFirstDownloadPressRetitlesAndGreysAndLaterPressesToggle() {
  Desktop desktop;
  desktop.useTemporaryOutput();
  desktop.typeAddress(desktop.indexAddress());
  desktop.click(1);
  MainWindow& w = desktop.window();
  QCOMPARE(w.windowTitle(), QStringLiteral("Quillstash 1.02 - ") + desktop.indexAddress());
  QCOMPARE(control<QPushButton>(w, 1)->text(), QStringLiteral("&Pause"));
  QVERIFY(!control<QPushButton>(w, 3)->isEnabled());
  QVERIFY(!control<QPushButton>(w, 5)->isEnabled());
  QVERIFY(control<QPushButton>(w, 9)->isEnabled());
  const char* expected[] = {"&Start", "&Pause", "&Start"};
  for (const char* text : expected) {
    desktop.click(1);
    QCOMPARE(control<QPushButton>(w, 1)->text(), QString::fromLatin1(text));
  }
  desktop.click(1);  // resume, and let the download end
  QTRY_VERIFY_WITH_TIMEOUT(desktop.program->session.downloadFinished(), 30000);
  QTRY_VERIFY_WITH_TIMEOUT(desktop.logText().contains(QStringLiteral("* Forum downloaded successfully")), 5000);
}

void DesktopTest::selectWithoutAnAddressLogsAndOpensNothing() {
  Desktop desktop;
  int dialogs = 0;
  desktop.window().setDialogRunner([&](QDialog&) { return ++dialogs, int(QDialog::Rejected); });
  desktop.click(5);
  QCOMPARE(desktop.logText(), QStringLiteral("* No address entered\n"));
  QCOMPARE(dialogs, 0);
}

void DesktopTest::selectFetchesOnceUntilTheAddressIsEdited() {
  Desktop desktop;
  QStringList names;
  desktop.window().setDialogRunner([&](QDialog& dialog) {
    auto* list = control<QTreeWidget>(dialog, 400);
    names.clear();
    for (int row = 0; row < list->topLevelItemCount(); ++row) names << list->topLevelItem(row)->text(0);
    return int(QDialog::Rejected);
  });
  desktop.typeAddress(desktop.indexAddress());
  desktop.click(5);
  QCOMPARE(names, (QStringList{"01 News", "02 Chat", "03 Help"}));
  names.clear();
  desktop.click(5);
  QCOMPARE(names, (QStringList{"01 News", "02 Chat", "03 Help"}));
  QCOMPARE(desktop.requestsFor("/index.php"), 1);

  desktop.typeAddress(desktop.indexAddress());
  desktop.click(5);
  QCOMPARE(desktop.requestsFor("/index.php"), 2);
}

void DesktopTest::untickingRowTwoMakesTheDownloadSkipForumTwo() {
  Desktop desktop;
  desktop.useTemporaryOutput();
  bool secondOpeningShowsItUnticked = false;
  int openings = 0;
  desktop.window().setDialogRunner([&](QDialog& dialog) {
    auto* list = control<QTreeWidget>(dialog, 400);
    if (openings++ == 0) {
      list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
      return int(QDialog::Accepted);
    }
    secondOpeningShowsItUnticked = list->topLevelItem(1)->checkState(0) == Qt::Unchecked &&
                                   list->topLevelItem(0)->checkState(0) == Qt::Checked;
    return int(QDialog::Rejected);
  });
  desktop.typeAddress(desktop.indexAddress());
  desktop.click(5);
  desktop.click(5);
  QVERIFY(secondOpeningShowsItUnticked);
  desktop.click(1);
  QTRY_VERIFY_WITH_TIMEOUT(desktop.program->session.downloadFinished(), 30000);
  QCOMPARE(desktop.requestsFor("/viewforum.php?f=2"), 0);
  QVERIFY(desktop.requestsFor("/viewforum.php?f=1") >= 1);
  QVERIFY(desktop.requestsFor("/viewforum.php?f=3") >= 1);
}

void DesktopTest::cancellingTheForumListKeepsEveryForum() {
  Desktop desktop;
  desktop.window().setDialogRunner([&](QDialog& dialog) {
    control<QTreeWidget>(dialog, 400)->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    return int(QDialog::Rejected);
  });
  desktop.typeAddress(desktop.indexAddress());
  desktop.click(5);
  ForumSelection selection = desktop.program->session.forumSelection();
  QVERIFY(selection == allForumsSelected());
}

void DesktopTest::advancedSettingsOpenWithTheDefaults() {
  SettingsStore store;
  AdvancedSettingsDialog dialog(store);
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Advanced settings"));
  QCOMPARE(control<QLineEdit>(dialog, 117)->text(), QStringLiteral("10"));
  QVERIFY(!control<QCheckBox>(dialog, 414)->isChecked());
  QVERIFY(!control<QLineEdit>(dialog, 117)->isEnabled());
  for (int id : {114, 116}) {
    QCOMPARE(control<QLineEdit>(dialog, id)->text(), QStringLiteral("100"));
    QVERIFY(control<QLineEdit>(dialog, id)->isEnabled());
  }
  QVERIFY(control<QCheckBox>(dialog, 415)->isChecked());
  QVERIFY(control<QCheckBox>(dialog, 416)->isChecked());
  QCOMPARE(control<QLineEdit>(dialog, 113)->text(), QStringLiteral("2"));
  QCOMPARE(control<QLineEdit>(dialog, 115)->text(), QStringLiteral("10"));
  QVERIFY(!control<QCheckBox>(dialog, 412)->isChecked());
  QVERIFY(!control<QLineEdit>(dialog, 112)->isEnabled());
  QVERIFY(!control<QCheckBox>(dialog, 413)->isEnabled());
  QVERIFY(control<QCheckBox>(dialog, 413)->isChecked());
  for (int id = 100; id <= 111; ++id) {
    QVERIFY(!control<QCheckBox>(dialog, id + 300)->isChecked());
    QVERIFY(!control<QLineEdit>(dialog, id)->isEnabled());
    QCOMPARE(control<QLineEdit>(dialog, id)->maxLength(), 255);
  }
  QCOMPARE(control<QLineEdit>(dialog, 101)->text(), QStringLiteral("forumdisplay.php?$f=#|"));
  QCOMPARE(control<QLineEdit>(dialog, 118)->text(), QStringLiteral("daysprune=-1"));
  QCOMPARE(control<QCheckBox>(dialog, 414)->text(),
           QStringLiteral("Delay between 2 consecutive downloads from forum (sec.):"));
  for (int group : {11, 50, 51, 52, 53, 54}) QVERIFY(dialog.findChild<QWidget*>(controlName(group)) != nullptr);
  QCOMPARE(control<QPushButton>(dialog, 1)->text(), QStringLiteral("&Ok"));
  QVERIFY(control<QPushButton>(dialog, 1)->isDefault());
  QCOMPARE(control<QPushButton>(dialog, 2)->text(), QStringLiteral("C&ancel"));
  QCOMPARE(control<QPushButton>(dialog, 3)->text(), QStringLiteral("&Wildcards ..."));

  // Ticking the proxy box frees its field and "Only for forum links".
  QTest::mouseClick(control<QCheckBox>(dialog, 412), Qt::LeftButton);
  QVERIFY(control<QLineEdit>(dialog, 112)->isEnabled());
  QVERIFY(control<QCheckBox>(dialog, 413)->isEnabled());
}

void DesktopTest::advancedSettingsRoundTripAndCancel() {
  SettingsStore store;
  {
    AdvancedSettingsDialog dialog(store);
    control<QLineEdit>(dialog, 100)->setText(QStringLiteral("class=\"forumtitle\""));
    control<QCheckBox>(dialog, 400)->setChecked(true);
    control<QCheckBox>(dialog, 400)->setChecked(false);
    control<QLineEdit>(dialog, 117)->setText(QStringLiteral("3"));
    control<QLineEdit>(dialog, 114)->setText(QStringLiteral("0"));
    control<QLineEdit>(dialog, 115)->setText(QStringLiteral("lots"));
    control<QCheckBox>(dialog, 417)->setChecked(true);
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }
  Settings after = store.snapshot();
  QCOMPARE(QString::fromStdString(std::string(after.forumLinkPrefix.view())), QStringLiteral("class=\"forumtitle\""));
  QVERIFY(!after.useForumLinkPrefix);
  QCOMPARE(after.downloadDelayMs, 3000u);
  QCOMPARE(after.connectRetryDelayMs, 0u);
  QCOMPARE(after.receiveRetries, 0u);
  QVERIFY(after.useLinkParameter);
  {
    AdvancedSettingsDialog reopened(store);
    QCOMPARE(control<QLineEdit>(reopened, 100)->text(), QStringLiteral("class=\"forumtitle\""));
    QVERIFY(!control<QLineEdit>(reopened, 100)->isEnabled());
    QVERIFY(control<QLineEdit>(reopened, 118)->isEnabled());

    // Cancel after changes stores nothing.
    control<QLineEdit>(reopened, 113)->setText(QStringLiteral("99"));
    control<QCheckBox>(reopened, 412)->setChecked(true);
    QTest::mouseClick(control<QPushButton>(reopened, 2), Qt::LeftButton);
    QCOMPARE(reopened.result(), int(QDialog::Rejected));
  }
  Settings unchanged = store.snapshot();
  QCOMPARE(unchanged.connectRetries, 2u);
  QVERIFY(!unchanged.useProxy);
}

void DesktopTest::eachDialogLeavesTheOthersBitsAlone() {
  SettingsStore store;
  {
    SavingOptionsDialog options(store);
    QCOMPARE(options.windowTitle(), QStringLiteral("Saving Options"));
    QCOMPARE(control<QLineEdit>(options, 100)->text(), QStringLiteral("50"));
    QCOMPARE(control<QLabel>(options, 10)->text(), QStringLiteral("&Maximum characters in filename:"));
    QVERIFY(control<QCheckBox>(options, 400)->isChecked());
    QVERIFY(control<QCheckBox>(options, 401)->isChecked());
    QVERIFY(!control<QCheckBox>(options, 402)->isChecked());
    control<QCheckBox>(options, 400)->setChecked(false);
    control<QCheckBox>(options, 402)->setChecked(true);
    control<QLineEdit>(options, 100)->setText(QStringLiteral("abc"));
    QTest::mouseClick(control<QPushButton>(options, 1), Qt::LeftButton);
  }
  {
    AdvancedSettingsDialog advanced(store);
    for (int box = 408; box <= 411; ++box) control<QCheckBox>(advanced, box)->setChecked(true);
    QTest::mouseClick(control<QPushButton>(advanced, 1), Qt::LeftButton);
  }
  Settings after = store.snapshot();
  QCOMPARE(after.maxFileNameChars, 0u);
  QVERIFY(!after.saveAttachments);
  QVERIFY(after.saveExternalImages);
  QVERIFY(after.linkAllImages);
  QVERIFY(after.useAuthorPrefix && after.useAuthorSuffix && after.useMessagePrefix && after.useMessageSuffix);
  {
    SavingOptionsDialog options(store);
    control<QCheckBox>(options, 401)->setChecked(false);
    QTest::mouseClick(control<QPushButton>(options, 1), Qt::LeftButton);
  }
  after = store.snapshot();
  QVERIFY(!after.saveExternalImages);
  QVERIFY(after.useAuthorPrefix && after.useAuthorSuffix && after.useMessagePrefix && after.useMessageSuffix);
}

void DesktopTest::wildcardsShowsTheHelp() {
  SettingsStore store;
  AdvancedSettingsDialog dialog(store);
  QString title;
  QString text;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    title = box->windowTitle();
    text = box->text();
    box->accept();
  });
  QTest::mouseClick(control<QPushButton>(dialog, 3), Qt::LeftButton);
  QCOMPARE(title, QStringLiteral("Quillstash 1.02"));
  QVERIFY(text.startsWith(QStringLiteral("To change detection settings you need to view the HTML source of the forum\n")));
  QVERIFY(text.contains(QStringLiteral("\t# = a number (decimal)\n")));
  QVERIFY(text.endsWith(QStringLiteral("not always present")));
}

void DesktopTest::theLogWidgetTrimsAsTheLogDoesAndShowsWorkerLines() {
  Desktop desktop;
  ActivityLog& log = desktop.program->session.log();
  log.logLine(std::string(32760, 'a'));
  log.logLine("0123456789");  // would pass 32,768: the oldest 16,384 characters go first
  QCOMPARE(desktop.logText().size(), qsizetype(32770 - 16384));
  QVERIFY(desktop.logText().endsWith(QStringLiteral("a0123456789")));

  // Lines from another thread reach the widget once this thread draws them.
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) log.logLine("* worker line " + std::to_string(i) + "\r\n");
  });
  QTRY_VERIFY_WITH_TIMEOUT(desktop.logText().endsWith(QStringLiteral("* worker line 2\n")), 5000);
  worker.join();
  QCOMPARE(desktop.logText().count(QStringLiteral("* worker line")), 3);
}

void DesktopTest::closeDuringARunningDownloadEndsAtOnce() {
  Desktop desktop(smallShape(150));
  desktop.useTemporaryOutput();
  desktop.window().show();
  QSignalSpy closed(&desktop.window(), &MainWindow::programClosed);
  desktop.typeAddress(desktop.indexAddress());
  desktop.click(1);
  QTRY_VERIFY_WITH_TIMEOUT(desktop.logText().contains(QStringLiteral("* Saved: ")), 30000);
  QVERIFY(!desktop.program->session.downloadFinished());
  // Without this thread drawing, the job now waits for its next line to be shown.
  std::this_thread::sleep_for(200ms);
  QElapsedTimer timer;
  timer.start();
  desktop.click(2);
  QVERIFY2(timer.elapsed() < 5000, "Close waited for the download");
  QVERIFY(desktop.program->session.downloadFinished());
  QCOMPARE(closed.count(), 1);
  QVERIFY(!desktop.window().isVisible());
  desktop.program.reset();  // tearing the program down after Close is clean too
}

void DesktopTest::trayHidesTheWindowAndAClickBringsItBack() {
  Desktop desktop;
  MainWindow& w = desktop.window();
  w.show();
  for (int i = 0; i < 200; ++i) desktop.program->session.log().logLine("* line " + std::to_string(i) + "\r\n");
  w.logWidget()->verticalScrollBar()->setValue(0);
  desktop.click(4);
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    QVERIFY(w.trayShown());
    QVERIFY(!w.isVisible());
  } else {
    QVERIFY(w.isMinimized());  // no notification area: minimised instead
  }
  w.restoreFromTray();
  QVERIFY(w.isVisible());
  QVERIFY(!w.isMinimized());
  QVERIFY(!w.trayShown());
  QScrollBar* bar = w.logWidget()->verticalScrollBar();
  QTRY_COMPARE(bar->value(), bar->maximum());
}

}  // namespace quillstash::gui

QTEST_MAIN(quillstash::gui::DesktopTest)
#include "desktop_test.moc"
