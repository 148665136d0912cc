// SPDX-License-Identifier: MIT
// quillstash-screenshots: opens each window of the desktop program against
// the bundled demo board on loopback and saves a picture of it, using Qt's
// own grab, into the folder given as the only argument.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QLineEdit>
#include <QPixmap>
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

bool save(QWidget& widget, const QDir& folder, const char* name) {
  settle();
  QString path = folder.filePath(QString::fromLatin1(name));
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

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillstash-screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(QStringLiteral("."))) return 1;
  QTemporaryDir output;

  quillstash::demo::ClassicBoard board(quillstash::demo::demoShape());
  quillstash::demo::BoardServer server([&board](const quillstash::demo::Request& request) { return board.serve(request); });
  if (!server.start()) return 1;
  QString address = QStringLiteral("http://127.0.0.1:%1/index.php").arg(server.port());

  bool ok = true;
  {
    quillstash::gui::DesktopProgram program;
    quillstash::gui::MainWindow& window = program.window;
    window.setWindowIcon(QIcon(QStringLiteral(":/quillstash/quillstash.png")));
    window.show();
    ok &= save(window, folder, "main_window_start.png");

    window.findChild<QLineEdit*>(controlName(100))->setText(address);
    program.model.editForumAddress(quillstash::gui::toBytes(address));
    window.findChild<QLineEdit*>(controlName(101))->setText(output.path());
    window.setDialogRunner([&](QDialog& dialog) {
      dialog.show();
      ok &= save(dialog, folder, "detected_forums.png");
      return int(QDialog::Rejected);
    });
    window.select();

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
    settle(800);
    window.download();  // paused, so that the picture shows "&Start"
    settle(300);
    window.logWidget()->scrollToEnd();
    ok &= save(window, folder, "main_window.png");
    window.closeProgram();
  }
  server.stop();
  return ok ? 0 : 1;
}
