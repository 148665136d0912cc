// SPDX-License-Identifier: MIT
// quillstash-screenshots: opens each window of the desktop program against
// the bundled demo board on loopback and saves a picture of it, using Qt's
// own grab, into the folder given as the only argument: once in the light
// colours the platform gives, once more in dark ones ("_dark" names), which
// this tool alone sets, since the virtual display has no desktop theme.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <cstdio>

#include "board_server.h"
#include "boards.h"
#include "gui/advanced_settings_dialog.h"
#include "gui/detected_forums_dialog.h"
#include "gui/log_widget.h"
#include "gui/program.h"
#include "gui/qt_text.h"
#include "gui/saving_options_dialog.h"

namespace {

using quillstash::gui::controlName;

void settle(int milliseconds = 150) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The widget's picture under a plain title bar with its icon and title, since
// a grab holds only what the window draws itself.
QImage framed(QWidget& widget) {
  QPixmap content = widget.grab();
  const int bar = 28;
  QImage image(content.width() + 2, content.height() + bar + 1, QImage::Format_RGB32);
  image.fill(QColor(0x3c, 0x4a, 0x5e));
  QPainter painter(&image);
  QIcon icon = widget.windowIcon();
  int left = 8;
  if (!icon.isNull()) {
    painter.drawPixmap(left, (bar - 20) / 2, icon.pixmap(20, 20));
    left += 28;
  }
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(left, 0, image.width() - left - 8, bar), Qt::AlignVCenter | Qt::AlignLeft,
                   widget.windowTitle());
  painter.drawPixmap(1, bar, content);
  return image;
}

QString gSuffix;  // "" or "_dark": the picture names of the scheme being drawn

bool save(QWidget& widget, const QDir& folder, const char* name) {
  settle();
  QString path = folder.filePath(QString::fromLatin1(name).replace(QStringLiteral(".png"), gSuffix + ".png"));
  bool saved = framed(widget).save(path, "PNG");
  std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
  return saved;
}

// Processes events until `done` holds or `milliseconds` have passed.
template <typename Done>
void waitFor(Done done, int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A dark palette like the ones dark desktop themes give.
QPalette darkPalette() {
  QPalette palette;
  const QColor window(0x2b, 0x2b, 0x2e), base(0x1e, 0x1e, 0x21), text(0xe8, 0xe8, 0xea);
  const QColor disabled(0x80, 0x80, 0x86), highlight(0x3d, 0x7a, 0xd6);
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, window);
  palette.setColor(QPalette::ToolTipBase, base);
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::PlaceholderText, disabled);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, QColor(0x38, 0x38, 0x3c));
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::BrightText, Qt::white);
  palette.setColor(QPalette::Highlight, highlight);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Link, highlight.lighter(130));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, disabled);
  }
  return palette;
}

// Every window once, in the current palette.
bool takePictures(const QDir& folder, const QString& address) {
  QTemporaryDir output;
  bool ok = true;
  quillstash::gui::DesktopProgram program;
  quillstash::gui::MainWindow& window = program.window;
  window.setWindowIcon(QIcon(QStringLiteral(":/quillstash/quillstash.png")));
  window.show();
  ok &= save(window, folder, "main_window_start.png");

  window.findChild<QLineEdit*>(controlName(100))->setText(address);
  program.model.editForumAddress(quillstash::gui::toBytes(address));
  window.findChild<QLineEdit*>(controlName(101))->setText(output.path());
  bool listed = false;
  window.setDialogRunner([&](QDialog& dialog) {
    dialog.show();
    ok &= save(dialog, folder, "detected_forums.png");
    listed = true;
    return int(QDialog::Rejected);
  });
  window.select();
  waitFor([&] { return listed; }, 20000);

  {
    quillstash::gui::AdvancedSettingsDialog dialog(program.session.settings(), &window);
    dialog.show();
    ok &= save(dialog, folder, "advanced_settings.png");
  }
  {
    quillstash::gui::SavingOptionsDialog dialog(program.session.settings(), &window);
    dialog.show();
    ok &= save(dialog, folder, "saving_options.png");
  }

  window.download();
  waitFor([&] { return program.logView.text().find("* Saved: ") != std::string::npos; }, 20000);
  window.download();  // paused, so that the picture shows "&Start"
  settle(300);
  window.logWidget()->scrollToEnd();
  ok &= save(window, folder, "main_window.png");
  window.download();  // resumed, to its end and its summary
  waitFor([&] { return program.session.downloadFinished(); }, 120000);
  settle(500);
  window.logWidget()->scrollToEnd();
  ok &= save(window, folder, "main_window_done.png");
  window.setDialogRunner([](QDialog&) { return int(QMessageBox::Yes); });
  window.closeProgram();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillstash-screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(QStringLiteral("."))) return 1;
  // A fresh start: nothing remembered from the user's own runs, nothing written there.
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
  qputenv("XDG_STATE_HOME", QFile::encodeName(home.filePath(QStringLiteral("state"))));

  quillstash::demo::ClassicBoard board(quillstash::demo::demoShape());
  quillstash::demo::BoardServer server(
      [&board](const quillstash::demo::Request& request) { return board.serve(request); });
  if (!server.start()) return 1;
  QString address = QStringLiteral("http://127.0.0.1:%1/index.php").arg(server.port());

  bool ok = takePictures(folder, address);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(darkPalette());
  gSuffix = QStringLiteral("_dark");
  QDir::root().remove(home.filePath(QStringLiteral("config/quillstash/quillstash.conf")));
  ok &= takePictures(folder, address);
  server.stop();
  return ok ? 0 : 1;
}
