// SPDX-License-Identifier: MIT
// The desktop program: one main window, closed to end the program. It reads
// no command-line arguments of its own (Qt takes its usual ones).
#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QIcon>

#include "gui/program.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillstash"));
  QApplication::setDesktopFileName(QStringLiteral("quillstash"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillstash/quillstash.png")));
  // The window may sit in the notification area with no window shown.
  QApplication::setQuitOnLastWindowClosed(false);

  quillstash::gui::DesktopProgram program;
  QObject::connect(&program.window, &quillstash::gui::MainWindow::programClosed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  QObject::connect(&program.window, &quillstash::gui::MainWindow::archiveFolderRequested,
                   [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); });
  QObject::connect(&program.window, &quillstash::gui::MainWindow::reportRequested,
                   [](const QString& page) { QDesktopServices::openUrl(QUrl::fromLocalFile(page)); });
  program.window.show();
  app.exec();
  return 0;
}
