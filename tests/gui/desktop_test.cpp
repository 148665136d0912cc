// SPDX-License-Identifier: MIT
// The desktop program's windows, driven through their widgets on the
// offscreen platform, against a small board served on loopback.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QProgressBar>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
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
#include "gui/remembered_settings.h"
#include "gui/saving_options_dialog.h"
#include "platform/files.h"
#include "platform/process.h"
#include "support/http_test_server.h"
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
    // The program's own files (debug log, remembered settings) go to a fresh folder.
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(home.file("state")));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.file("config")));
    program = std::make_unique<DesktopProgram>(5s);
    program->window.setDialogRunner([this](QDialog& dialog) {
      ++dialogs;
      return answer(dialog);
    });
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
  // Select, and the Detected Forums dialog it opens once its fetch has ended.
  void selectAndWait() {
    int before = dialogs;
    click(5);
    QTRY_VERIFY_WITH_TIMEOUT(dialogs > before, 10000);
  }

  // Every dialog the window opens is answered here.
  int dialogs = 0;
  std::function<int(QDialog&)> answer = [](QDialog&) { return int(QDialog::Rejected); };

  test::TempDir home;
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
  void everyControlHasATooltipAndAnAltKeyOfItsOwn();
  void aRunShowsItsProgressEndsWithASummaryAndCanRunAgain();
  void selectWithoutAnAddressLogsAndOpensNothing();
  void selectFetchesOnceUntilTheAddressIsEditedOrALoginEnds();
  void selectAgainstASilentServerLeavesTheWindowFreeAndCloseEndsIt();
  void enterPressesTheFocusedButtonAndDownloadOtherwise();
  void untickingRowTwoMakesTheDownloadSkipForumTwo();
  void cancellingTheForumListKeepsEveryForum();
  void detectedForumsNestsSubForumsAndSelectsAllOrNone();
  void advancedSettingsOpenWithTheDefaults();
  void advancedSettingsRoundTripAndCancel();
  void numberFieldsTakeOnlyNumbersAndAdvancedFitsASmallScreen();
  void eachDialogLeavesTheOthersBitsAlone();
  void wildcardsShowsTheHelp();
  void theLogWidgetTrimsAsTheLogDoesAndShowsWorkerLines();
  void closeDuringARunningDownloadAsksThenEndsAtOnce();
  void trayActivationOfEveryKindBringsTheWindowBack();
  void fieldsOptionsAndPlaceSurviveARestartButNotThePassword();
  void aRunEndingOutOfSightIsToldByTheTrayOrByTheWindowComingBack();
  void theWindowTakesTheApplicationsDarkPalette();
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
  for (Expected button :
       {Expected{5, "Se&lect ..."}, Expected{9, "Lo&gin"}, Expected{3, ""}, Expected{6, "Optio&ns ..."},
        Expected{1, "&Download"}, Expected{8, "Ad&vanced ..."}, Expected{2, "&Close"}, Expected{4, "&Tray"}}) {
    QPushButton* widget = control<QPushButton>(w, button.id);
    QVERIFY2(widget != nullptr, button.text);
    QCOMPARE(widget->text(), QString::fromLatin1(button.text));
    QVERIFY(widget->isEnabled());
  }
  QVERIFY(control<QPushButton>(w, 1)->isDefault());
  QVERIFY(!control<QPushButton>(w, 3)->icon().isNull());  // the folder button shows a folder

  QCOMPARE(control<QLineEdit>(w, 100)->text(), QString());
  QCOMPARE(control<QLineEdit>(w, 100)->maxLength(), 8192);
  QCOMPARE(control<QLineEdit>(w, 101)->maxLength(), 8192);
  QCOMPARE(control<QLineEdit>(w, 102)->maxLength(), 255);
  QCOMPARE(control<QLineEdit>(w, 103)->maxLength(), 255);
  QCOMPARE(control<QLineEdit>(w, 103)->echoMode(), QLineEdit::Password);
  QCOMPARE(control<QLineEdit>(w, 101)->text(),
           QString::fromStdString(platform::homeDirectory() + "/").replace("//", "/"));

  auto* log = control<QPlainTextEdit>(w, 200);
  QVERIFY(log != nullptr);
  QVERIFY(log->isReadOnly());
  QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  QVERIFY(log->toPlainText().isEmpty());
  QCheckBox* logToFile = control<QCheckBox>(w, 400);
  QCOMPARE(logToFile->text(), QStringLiteral("Save debug &messages to Log"));
  QVERIFY(!logToFile->isChecked());
  logToFile->setChecked(true);
  QVERIFY(desktop.program->session.log().logToFile());
  // The debug log goes to the user's state folder, made when missing.
  const std::string logFile = desktop.home.file("state") + "/quillstash/quillstash.log";
  QCOMPARE(desktop.program->session.log().logFilePath(), logFile);
  desktop.program->session.log().logLine("* into the file\r\n");
  QVERIFY(platform::pathExists(logFile.c_str()));

  // Tab order follows the table of the window (labels take no focus).
  int order[] = {100, 5, 102, 103, 9, 101, 3, 6, 200, 400, 1, 8, 2, 4};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget* next = w.findChild<QWidget*>(controlName(order[i - 1]))->nextInFocusChain();
    // Controls added beside the original ones (they carry names, not ids) are passed over.
    while (next->focusPolicy() == Qt::NoFocus || next->isHidden() || !next->objectName().startsWith("id")) {
      next = next->nextInFocusChain();
    }
    QCOMPARE(next->objectName(), controlName(order[i]));
  }
}

namespace {

// The Alt keys of a window: the letter after each single '&' of its buttons,
// group boxes and of the labels that pass focus on to a buddy.
QStringList altKeys(QWidget& window, const QStringList& extraTexts = {}) {
  QStringList texts = extraTexts;
  for (auto* button : window.findChildren<QAbstractButton*>()) texts << button->text();
  for (auto* group : window.findChildren<QGroupBox*>()) texts << group->title();
  for (auto* label : window.findChildren<QLabel*>()) {
    if (label->buddy() != nullptr) texts << label->text();
  }
  QStringList keys;
  for (const QString& text : texts) {
    for (qsizetype i = text.indexOf(QLatin1Char('&')); i >= 0 && i + 1 < text.size();
         i = text.indexOf(QLatin1Char('&'), i + 2)) {
      if (text[i + 1] != QLatin1Char('&')) keys << text.mid(i + 1, 1).toLower();
    }
  }
  return keys;
}

// Names of the controls a user works with that have no tooltip.
QStringList withoutTooltip(QWidget& window) {
  QStringList missing;
  for (auto* widget : window.findChildren<QWidget*>()) {
    bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                   qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QTreeWidget*>(widget) ||
                   qobject_cast<QProgressBar*>(widget);
    if (control && widget->toolTip().isEmpty()) missing << widget->objectName();
  }
  return missing;
}

}  // namespace

void DesktopTest::everyControlHasATooltipAndAnAltKeyOfItsOwn() {
  Desktop desktop;
  SettingsStore store;
  AdvancedSettingsDialog advanced(store);
  SavingOptionsDialog options(store);
  DetectedForumsDialog forums({{"01 News", "http://a/viewforum.php?f=1", true}});
  struct Window {
    QWidget* widget;
    QStringList extraTexts;
  };
  // The Download button's other two texts share the window's keys too.
  for (const Window& window : {Window{&desktop.window(), {QStringLiteral("&Pause"), QStringLiteral("&Start")}},
                               Window{&advanced, {}}, Window{&options, {}}, Window{&forums, {}}}) {
    QStringList keys = altKeys(*window.widget, window.extraTexts);
    QVERIFY2(keys.size() >= 2, qPrintable(window.widget->objectName()));
    QStringList unique = keys;
    unique.removeDuplicates();
    QVERIFY2(unique.size() == keys.size(),
             qPrintable(window.widget->objectName() + QStringLiteral(": ") + keys.join(' ')));
    QStringList missing = withoutTooltip(*window.widget);
    QVERIFY2(missing.isEmpty(), qPrintable(window.widget->objectName() + QStringLiteral(": ") + missing.join(' ')));
  }
}

void DesktopTest::aRunShowsItsProgressEndsWithASummaryAndCanRunAgain() {
  Desktop desktop;
  desktop.useTemporaryOutput();
  desktop.typeAddress(desktop.indexAddress());
  MainWindow& w = desktop.window();
  QSignalSpy opened(&w, &MainWindow::archiveFolderRequested);
  auto* openFolder = w.findChild<QPushButton*>(QStringLiteral("openArchiveFolder"));
  const QString title = QStringLiteral("Quillstash 1.02 - ") + desktop.indexAddress();

  desktop.click(1);
  QCOMPARE(w.windowTitle(), QStringLiteral("Running - ") + title);
  QCOMPARE(control<QPushButton>(w, 1)->text(), QStringLiteral("&Pause"));
  QVERIFY(!control<QPushButton>(w, 3)->isEnabled());
  QVERIFY(!control<QPushButton>(w, 5)->isEnabled());
  QVERIFY(control<QPushButton>(w, 9)->isEnabled());
  desktop.click(1);
  QCOMPARE(control<QPushButton>(w, 1)->text(), QStringLiteral("&Start"));
  QCOMPARE(w.windowTitle(), QStringLiteral("Paused - ") + title);
  desktop.click(1);
  QCOMPARE(control<QPushButton>(w, 1)->text(), QStringLiteral("&Pause"));

  // The end: Download starts a new run, Select and the folder work again,
  // and the summary says what was saved.
  for (int run = 1; run <= 2; ++run) {
    QTRY_COMPARE_WITH_TIMEOUT(control<QPushButton>(w, 1)->text(), QStringLiteral("&Download"), 30000);
    QCOMPARE(w.windowTitle(), QStringLiteral("Done - ") + title);
    QVERIFY(control<QPushButton>(w, 3)->isEnabled());
    QVERIFY(control<QPushButton>(w, 5)->isEnabled());
    // The second run refreshes the archive of the first: nothing changed, so
    // no topic is fetched again.
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("progressCounts"))->text(),
             run == 1 ? QStringLiteral("Forums: 3 of 3 done    Topics: 3 of 3 saved")
                      : QStringLiteral("Forums: 3 of 3 done    Topics: 0 of 0 saved"));
    QCOMPARE(w.findChild<QProgressBar*>(QStringLiteral("progressBar"))->value(), 100);
    QVERIFY(w.findChild<QLabel*>(QStringLiteral("progressRate"))->text().startsWith(QStringLiteral("Elapsed 0:0")));
    QString summary = w.findChild<QLabel*>(QStringLiteral("runSummary"))->text();
    QVERIFY2(summary.startsWith(run == 1 ? QStringLiteral("Done: 3 forums, 3 topics saved, ")
                                         : QStringLiteral("Done: 3 forums, 0 topics saved, ")),
             qPrintable(summary));
    QVERIFY(!openFolder->isHidden());
    QCOMPARE(desktop.requestsFor("/index.php"), run);
    if (run == 1) desktop.click(1);
  }
  QTest::mouseClick(openFolder, Qt::LeftButton);
  QCOMPARE(opened.count(), 1);
  QCOMPARE(opened.front().front().toString(), QString::fromStdString(desktop.output.path()));
  // The report of the run is offered and is a page in the archive.
  auto* openReport = w.findChild<QPushButton*>(QStringLiteral("openReport"));
  QVERIFY(!openReport->isHidden());
  QSignalSpy reported(&w, &MainWindow::reportRequested);
  QTest::mouseClick(openReport, Qt::LeftButton);
  QCOMPARE(reported.count(), 1);
  const QString page = reported.front().front().toString();
  QVERIFY2(
      page.startsWith(QString::fromStdString(desktop.output.path())) && page.endsWith(QStringLiteral("report.html")),
      qPrintable(page));
  QVERIFY2(QFileInfo(page).isFile(), qPrintable(page));

  // A start that fails (the folder cannot be made) ends too, and the next one runs.
  control<QLineEdit>(w, 101)->setText(QString::fromStdString(desktop.output.file("a-file/")));
  platform::writeWholeFile(desktop.output.file("a-file").c_str(), "x", 1);
  desktop.click(1);
  QTRY_COMPARE_WITH_TIMEOUT(w.windowTitle(), QStringLiteral("Not finished - ") + title, 30000);
  QCOMPARE(control<QPushButton>(w, 1)->text(), QStringLiteral("&Download"));
  desktop.useTemporaryOutput();
  desktop.click(1);
  QTRY_COMPARE_WITH_TIMEOUT(w.windowTitle(), QStringLiteral("Done - ") + title, 30000);
}

void DesktopTest::selectWithoutAnAddressLogsAndOpensNothing() {
  Desktop desktop;
  desktop.click(5);
  QCOMPARE(desktop.logText(), QStringLiteral("* No address entered\n"));
  desktop.window().poll();
  QCOMPARE(desktop.dialogs, 0);
}

void DesktopTest::selectFetchesOnceUntilTheAddressIsEditedOrALoginEnds() {
  demo::BoardShape shape = smallShape();
  shape.forums.push_back({4, 0, 3, "Lounge", "", true});  // seen by members only
  Desktop desktop(shape);
  QStringList names;
  desktop.answer = [&](QDialog& dialog) {
    auto* list = control<QTreeWidget>(dialog, 400);
    names.clear();
    for (int row = 0; row < list->topLevelItemCount(); ++row) names << list->topLevelItem(row)->text(0);
    return int(QDialog::Rejected);
  };
  desktop.typeAddress(desktop.indexAddress());
  desktop.selectAndWait();
  QCOMPARE(names, (QStringList{"01 News", "02 Chat", "03 Help"}));
  names.clear();
  desktop.selectAndWait();
  QCOMPARE(names, (QStringList{"01 News", "02 Chat", "03 Help"}));
  QCOMPARE(desktop.requestsFor("/index.php"), 1);

  desktop.typeAddress(desktop.indexAddress());
  desktop.selectAndWait();
  QCOMPARE(desktop.requestsFor("/index.php"), 2);

  // After a login the list is read again, with what members see.
  control<QLineEdit>(desktop.window(), 102)->setText(QStringLiteral("keeper"));
  control<QLineEdit>(desktop.window(), 103)->setText(QStringLiteral("lantern"));
  desktop.click(9);
  QTRY_COMPARE_WITH_TIMEOUT(desktop.program->session.loginsEnded(), 1, 10000);
  const int before = desktop.requestsFor("/index.php");
  desktop.selectAndWait();
  QCOMPARE(desktop.requestsFor("/index.php"), before + 1);
  QCOMPARE(names, (QStringList{"01 News", "02 Chat", "03 Help", "04 Lounge"}));
}

void DesktopTest::selectAgainstASilentServerLeavesTheWindowFreeAndCloseEndsIt() {
  test::HttpTestServer silent;
  test::ScriptedResponse never = test::ScriptedResponse::ok("");
  never.stallBeforeAnswer = 60s;
  silent.route("/index.php", never);
  Desktop desktop;
  MainWindow& w = desktop.window();
  w.show();
  QSignalSpy closed(&w, &MainWindow::programClosed);
  desktop.typeAddress(QString::fromStdString(silent.base() + "/index.php"));
  QElapsedTimer timer;
  timer.start();
  desktop.click(5);
  QVERIFY2(timer.elapsed() < 1000, "Select waited for the server");
  QVERIFY(silent.waitForRequests(1, 5s));
  // The window goes on: its events are handled while the fetch waits.
  bool handled = false;
  QTimer::singleShot(50, &w, [&] { handled = true; });
  QTRY_VERIFY_WITH_TIMEOUT(handled, 2000);
  QVERIFY(!control<QPushButton>(w, 5)->isEnabled());  // one Select at a time
  QVERIFY(!control<QPushButton>(w, 1)->isEnabled());  // and no download meanwhile
  timer.restart();
  desktop.click(2);
  QVERIFY2(timer.elapsed() < 1000, "Close waited for the fetch");
  QCOMPARE(closed.count(), 1);
  QCOMPARE(desktop.dialogs, 0);
}

void DesktopTest::enterPressesTheFocusedButtonAndDownloadOtherwise() {
  Desktop desktop;
  desktop.useTemporaryOutput();
  MainWindow& w = desktop.window();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  control<QPushButton>(w, 5)->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCOMPARE(desktop.logText(), QStringLiteral("* No address entered\n"));  // Select ran
  QVERIFY(!desktop.program->session.downloadStarted());

  desktop.typeAddress(desktop.indexAddress());
  control<QLineEdit>(w, 100)->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QVERIFY(desktop.program->session.downloadStarted());
  QTRY_VERIFY_WITH_TIMEOUT(desktop.program->session.downloadFinished(), 30000);
}

void DesktopTest::untickingRowTwoMakesTheDownloadSkipForumTwo() {
  Desktop desktop;
  desktop.useTemporaryOutput();
  bool secondOpeningShowsItUnticked = false;
  int openings = 0;
  desktop.answer = [&](QDialog& dialog) {
    auto* list = control<QTreeWidget>(dialog, 400);
    if (openings++ == 0) {
      list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
      return int(QDialog::Accepted);
    }
    secondOpeningShowsItUnticked =
        list->topLevelItem(1)->checkState(0) == Qt::Unchecked && list->topLevelItem(0)->checkState(0) == Qt::Checked;
    return int(QDialog::Rejected);
  };
  desktop.typeAddress(desktop.indexAddress());
  desktop.selectAndWait();
  desktop.selectAndWait();
  QVERIFY(secondOpeningShowsItUnticked);
  // Select reads each forum's first page for its sub-forums; the download
  // must not come back for the unticked one.
  const int secondBefore = desktop.requestsFor("/viewforum.php?f=2");
  const int firstBefore = desktop.requestsFor("/viewforum.php?f=1");
  desktop.click(1);
  QTRY_VERIFY_WITH_TIMEOUT(desktop.program->session.downloadFinished(), 30000);
  QCOMPARE(desktop.requestsFor("/viewforum.php?f=2"), secondBefore);
  QVERIFY(desktop.requestsFor("/viewforum.php?f=1") > firstBefore);
  QVERIFY(desktop.requestsFor("/viewforum.php?f=3") >= 1);
}

void DesktopTest::cancellingTheForumListKeepsEveryForum() {
  Desktop desktop;
  desktop.answer = [&](QDialog& dialog) {
    control<QTreeWidget>(dialog, 400)->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    return int(QDialog::Rejected);
  };
  desktop.typeAddress(desktop.indexAddress());
  desktop.selectAndWait();
  ForumSelection selection = desktop.program->session.forumSelection();
  QVERIFY(selection == allForumsSelected());
}

void DesktopTest::detectedForumsNestsSubForumsAndSelectsAllOrNone() {
  DetectedForumsDialog dialog({{"01 News", "n", true, -1, 1},
                               {"01 Archive", "a", true, 0, 1},
                               {"01 Dusty", "d", true, 1, 1},
                               {"02 Chat", "c", false, -1, 2}});
  QTreeWidget* list = dialog.list();
  QCOMPARE(list->topLevelItemCount(), 2);
  QTreeWidgetItem* news = list->topLevelItem(0);
  QCOMPARE(news->childCount(), 1);
  QCOMPARE(news->child(0)->text(0), QStringLiteral("01 Archive"));
  QTreeWidgetItem* dusty = news->child(0)->child(0);
  QCOMPARE(dusty->text(0), QStringLiteral("01 Dusty"));
  // An unticked forum deep down shows the forums above it partly ticked.
  dusty->setCheckState(0, Qt::Unchecked);
  QCOMPARE(news->checkState(0), Qt::PartiallyChecked);
  QCOMPARE(news->child(0)->checkState(0), Qt::PartiallyChecked);
  QCOMPARE(dialog.model().acceptLeftOut({}), std::vector<std::string>{"d"});
  // Ticking a sub-forum ticks the forums above it; a forum's box carries all below it.
  list->topLevelItem(1)->setCheckState(0, Qt::Checked);
  news->setCheckState(0, Qt::Unchecked);
  dusty->setCheckState(0, Qt::Checked);
  QCOMPARE(news->checkState(0), Qt::Checked);
  news->setCheckState(0, Qt::Unchecked);
  QCOMPARE(news->child(0)->checkState(0), Qt::Unchecked);
  QCOMPARE(dusty->checkState(0), Qt::Unchecked);
  QVERIFY(!dialog.model().rows()[1].checked);
  QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("selectAll")), Qt::LeftButton);
  for (QTreeWidgetItemIterator it(list); *it != nullptr; ++it) QCOMPARE((*it)->checkState(0), Qt::Checked);
  QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("selectNone")), Qt::LeftButton);
  for (QTreeWidgetItemIterator it(list); *it != nullptr; ++it) QCOMPARE((*it)->checkState(0), Qt::Unchecked);
  list->topLevelItem(1)->setCheckState(0, Qt::Checked);
  ForumSelection selection = dialog.model().accept(allForumsSelected());
  QCOMPARE(int(selection[0]), 0);
  QCOMPARE(int(selection[1]), 1);  // the index page's second forum: sub-forums are not numbered
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
    control<QLineEdit>(dialog, 115)->setText(QStringLiteral("7"));
    control<QCheckBox>(dialog, 417)->setChecked(true);
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }
  Settings after = store.snapshot();
  QCOMPARE(QString::fromStdString(std::string(after.forumLinkPrefix.view())), QStringLiteral("class=\"forumtitle\""));
  QVERIFY(!after.useForumLinkPrefix);
  QCOMPARE(after.downloadDelayMs, 3000u);
  QCOMPARE(after.connectRetryDelayMs, 0u);
  QCOMPARE(after.receiveRetries, 7u);
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

void DesktopTest::numberFieldsTakeOnlyNumbersAndAdvancedFitsASmallScreen() {
  SettingsStore store;
  {
    AdvancedSettingsDialog dialog(store);
    // At 1366x768 with 150% scaling the screen holds 910x512 logical pixels.
    QVERIFY2(dialog.sizeHint().width() <= 1366 / 1.5 && dialog.sizeHint().height() <= 768 / 1.5,
             qPrintable(QStringLiteral("%1x%2").arg(dialog.sizeHint().width()).arg(dialog.sizeHint().height())));
    auto* retries = control<QLineEdit>(dialog, 115);
    retries->selectAll();
    QTest::keyClicks(retries, QStringLiteral("lots"));
    QCOMPARE(retries->text(), QStringLiteral("10"));  // letters are not taken
    retries->selectAll();
    QTest::keyClicks(retries, QStringLiteral("5"));
    auto* delay = control<QLineEdit>(dialog, 117);
    delay->setEnabled(true);
    delay->selectAll();
    QTest::keyClicks(delay, QStringLiteral("1.5"));
    QCOMPARE(delay->text(), QStringLiteral("1.5"));
    // A field left empty (or holding too much) keeps the dialog open.
    control<QLineEdit>(dialog, 113)->clear();
    control<QLineEdit>(dialog, 114)->setText(QStringLiteral("999999999"));
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.result(), 0);
    QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("problem"))->isHidden());
    QCOMPARE(store.snapshot().receiveRetries, 10u);
    control<QLineEdit>(dialog, 113)->setText(QStringLiteral("3"));
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.result(), 0);  // 114 still out of range
    control<QLineEdit>(dialog, 114)->setText(QStringLiteral("250"));
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }
  Settings after = store.snapshot();
  QCOMPARE(after.receiveRetries, 5u);
  QCOMPARE(after.connectRetries, 3u);
  QCOMPARE(after.connectRetryDelayMs, 250u);
  QCOMPARE(after.downloadDelayMs, 1500u);
  {
    SavingOptionsDialog options(store);
    auto* length = control<QLineEdit>(options, 100);
    length->selectAll();
    QTest::keyClicks(length, QStringLiteral("abc"));
    QCOMPARE(length->text(), QStringLiteral("50"));
    length->clear();
    QTest::mouseClick(control<QPushButton>(options, 1), Qt::LeftButton);
    QCOMPARE(options.result(), 0);
    QTest::keyClicks(length, QStringLiteral("80"));
    QTest::mouseClick(control<QPushButton>(options, 1), Qt::LeftButton);
    QCOMPARE(options.result(), int(QDialog::Accepted));
  }
  QCOMPARE(store.snapshot().maxFileNameChars, 80u);
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
    control<QLineEdit>(options, 100)->setText(QStringLiteral("60"));
    QTest::mouseClick(control<QPushButton>(options, 1), Qt::LeftButton);
  }
  {
    AdvancedSettingsDialog advanced(store);
    for (int box = 408; box <= 411; ++box) control<QCheckBox>(advanced, box)->setChecked(true);
    QTest::mouseClick(control<QPushButton>(advanced, 1), Qt::LeftButton);
  }
  Settings after = store.snapshot();
  QCOMPARE(after.maxFileNameChars, 60u);
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
  QVERIFY(
      text.startsWith(QStringLiteral("To change detection settings you need to view the HTML source of the forum\n")));
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

  // The view keeps to the end of the log when a resize wraps it anew.
  MainWindow& w = desktop.window();
  w.show();
  for (int i = 0; i < 100; ++i)
    log.logLine("* a line long enough to wrap in a narrow window " + std::to_string(i) + "\r\n");
  QScrollBar* bar = w.logWidget()->verticalScrollBar();
  QTRY_COMPARE(bar->value(), bar->maximum());
  for (QSize size : {QSize(420, 380), QSize(900, 700), QSize(500, 420)}) {
    w.resize(size);
    QTest::qWait(20);
    QTRY_COMPARE(bar->value(), bar->maximum());
  }
}

void DesktopTest::closeDuringARunningDownloadAsksThenEndsAtOnce() {
  Desktop desktop(smallShape(150));
  desktop.useTemporaryOutput();
  desktop.window().show();
  QSignalSpy closed(&desktop.window(), &MainWindow::programClosed);
  QStringList asked;
  int reply = QMessageBox::No;
  desktop.answer = [&](QDialog& dialog) {
    asked << dialog.objectName();
    return reply;
  };
  desktop.typeAddress(desktop.indexAddress());
  desktop.click(1);
  QTRY_VERIFY_WITH_TIMEOUT(desktop.logText().contains(QStringLiteral("* Saved: ")), 30000);
  QVERIFY(!desktop.program->session.downloadFinished());

  // Close, Escape and the close box each ask; "Keep downloading" keeps it.
  desktop.click(2);
  QTest::keyClick(&desktop.window(), Qt::Key_Escape);
  desktop.window().close();
  QCOMPARE(asked, (QStringList{"confirmQuit", "confirmQuit", "confirmQuit"}));
  QCOMPARE(closed.count(), 0);
  QVERIFY(desktop.window().isVisible());
  QVERIFY(!desktop.program->session.downloadFinished());

  // Without this thread drawing, the job now waits for its next line to be shown.
  std::this_thread::sleep_for(200ms);
  reply = QMessageBox::Yes;
  QElapsedTimer timer;
  timer.start();
  desktop.click(2);
  QVERIFY2(timer.elapsed() < 5000, "Close waited for the download");
  QVERIFY(desktop.program->session.downloadFinished());
  QVERIFY(!desktop.program->session.downloadSucceeded());
  QCOMPARE(closed.count(), 1);
  QVERIFY(!desktop.window().isVisible());
  desktop.program.reset();  // tearing the program down after Close is clean too
}

void DesktopTest::trayActivationOfEveryKindBringsTheWindowBack() {
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
  // The icon's signal returns before the window comes back and the icon goes:
  // hiding the icon while it handles its own click pulls it from under it.
  QSystemTrayIcon* tray = w.trayIcon();
  for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context,
                      QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}) {
    w.hide();
    emit tray->activated(reason);
    QVERIFY(!w.isVisible());
    QTRY_VERIFY(w.isVisible());
    QVERIFY(!w.isMinimized());
    QVERIFY(!w.trayShown());
  }
  QScrollBar* bar = w.logWidget()->verticalScrollBar();
  QTRY_COMPARE(bar->value(), bar->maximum());
}

void DesktopTest::fieldsOptionsAndPlaceSurviveARestartButNotThePassword() {
  Desktop desktop;
  MainWindow& w = desktop.window();
  desktop.typeAddress(QStringLiteral("http://127.0.0.1:9/index.php"));
  desktop.useTemporaryOutput();
  control<QLineEdit>(w, 102)->setText(QStringLiteral("keeper"));
  control<QLineEdit>(w, 103)->setText(QStringLiteral("secret-lantern"));
  desktop.answer = [](QDialog& dialog) {
    if (auto* length = control<QLineEdit>(dialog, 100); length != nullptr && dialog.objectName() == controlName(1013)) {
      length->setText(QStringLiteral("60"));
      control<QCheckBox>(dialog, 400)->setChecked(false);
    } else {
      control<QCheckBox>(dialog, 412)->setChecked(true);
      control<QLineEdit>(dialog, 112)->setText(QStringLiteral("proxy.example:3128"));
      control<QLineEdit>(dialog, 117)->setText(QStringLiteral("2.5"));
      control<QLineEdit>(dialog, 121)->setText(QStringLiteral("90"));
      control<QLineEdit>(dialog, 126)->setText(QStringLiteral("5"));
    }
    dialog.accept();
    return dialog.result();
  };
  desktop.click(6);
  desktop.click(8);
  // The password goes to the desktop's keyring or nowhere: without a keyring
  // the window says so and the box is cleared.
  auto* rememberPassword = w.findChild<QCheckBox*>(QStringLiteral("rememberPassword"));
  if (rememberPassword->isEnabled()) {
    rememberPassword->setChecked(true);
    if (QTest::qWaitFor([&] { return desktop.logText().contains(QStringLiteral("password was not remembered")); },
                        10000)) {
      QVERIFY(!rememberPassword->isChecked());
    }
  }
  w.show();
  w.resize(700, 530);
  desktop.click(2);

  desktop.program = std::make_unique<DesktopProgram>(5s);
  MainWindow& again = desktop.program->window;
  QCOMPARE(control<QLineEdit>(again, 100)->text(), QStringLiteral("http://127.0.0.1:9/index.php"));
  QCOMPARE(desktop.program->model.forumAddress(), std::string("http://127.0.0.1:9/index.php"));
  QCOMPARE(control<QLineEdit>(again, 101)->text(), QString::fromStdString(desktop.output.path()));
  QCOMPARE(control<QLineEdit>(again, 102)->text(), QStringLiteral("keeper"));
  QCOMPARE(control<QLineEdit>(again, 103)->text(), QString());
  QCOMPARE(again.size(), QSize(700, 530));
  Settings options = desktop.program->session.settings().snapshot();
  QCOMPARE(options.maxFileNameChars, 60u);
  QVERIFY(!options.saveAttachments);
  QVERIFY(options.useProxy);
  QCOMPARE(QString::fromStdString(std::string(options.proxyAddress.view())), QStringLiteral("proxy.example:3128"));
  QCOMPARE(options.downloadDelayMs, 2500u);
  QCOMPARE(options.fetchDeadlineS, 90u);
  QCOMPARE(options.maxFileBytes, std::uint64_t{5} << 20);
  QCOMPARE(options.receiveRetries, 10u);  // untouched options keep their defaults

  QFile file(rememberedSettingsPath());
  QVERIFY(file.open(QIODevice::ReadOnly));
  QVERIFY(!file.readAll().contains("secret-lantern"));
}

void DesktopTest::aRunEndingOutOfSightIsToldByTheTrayOrByTheWindowComingBack() {
  Desktop desktop;
  MainWindow& w = desktop.window();
  w.show();
  desktop.typeAddress(desktop.indexAddress());
  desktop.useTemporaryOutput();
  desktop.click(4);  // to the notification area, or minimised where there is none
  QVERIFY(w.trayShown() || w.isMinimized());
  w.download();
  QTRY_VERIFY_WITH_TIMEOUT(desktop.program->session.downloadFinished(), 30000);
  QTRY_VERIFY(!w.lastRunEndNotice().title.isEmpty());
  const MainWindow::RunEndNotice& notice = w.lastRunEndNotice();
  QVERIFY2(notice.title.startsWith(QStringLiteral("Done - ")), qPrintable(notice.title));
  QVERIFY2(notice.text.startsWith(QStringLiteral("Done: 3 forums, 3 topics saved")), qPrintable(notice.text));
  if (!notice.byTray) {
    // No messages in the notification area: the window itself comes back.
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMinimized());
    QVERIFY(!w.trayShown());
  }
}

void DesktopTest::theWindowTakesTheApplicationsDarkPalette() {
  Desktop desktop;
  MainWindow& w = desktop.window();
  w.show();
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    dark.setColor(group, QPalette::Window, QColor(0x2b, 0x2b, 0x2e));
    dark.setColor(group, QPalette::Base, QColor(0x1e, 0x1e, 0x21));
    dark.setColor(group, QPalette::Button, QColor(0x38, 0x38, 0x3c));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
      dark.setColor(group, role, QColor(0xe8, 0xe8, 0xea));
  }
  QApplication::setPalette(dark);  // as a desktop switching to its dark scheme does
  // The change reaches the widgets through the event loop, as on a desktop.
  QTRY_COMPARE(w.logWidget()->palette().color(QPalette::Base), QColor(0x1e, 0x1e, 0x21));
  // The middle of the empty log, and the far end of an empty progress bar and
  // of the counts label, are drawn in the scheme's colours.
  auto darkAt = [](QWidget* widget, double x, double y) {
    const QImage image = widget->grab().toImage();
    const QColor pixel = image.pixelColor(int(image.width() * x), int(image.height() * y));
    return pixel.lightness() < 80;
  };
  QVERIFY(darkAt(w.logWidget(), 0.5, 0.5));
  auto* bar = w.findChild<QProgressBar*>(QStringLiteral("progressBar"));
  auto* counts = w.findChild<QLabel*>(QStringLiteral("progressCounts"));
  QVERIFY(bar != nullptr && counts != nullptr);
  QVERIFY(darkAt(bar, 0.9, 0.5));
  QVERIFY(darkAt(counts, 0.98, 0.5));
  QVERIFY(darkAt(&w, 0.02, 0.98));
  QCOMPARE(w.logWidget()->palette().color(QPalette::Text), QColor(0xe8, 0xe8, 0xea));
  QApplication::setPalette(light);
  QTRY_VERIFY(!darkAt(w.logWidget(), 0.5, 0.5));  // and back
}

}  // namespace quillstash::gui

QTEST_MAIN(quillstash::gui::DesktopTest)
#include "desktop_test.moc"
