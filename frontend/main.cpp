// brannock: the desktop front end. Creates the session (which reads the
// settings store), shows the start-up picture while the window is built,
// and runs the window; the session writes the settings back when it is
// destroyed after the window.
//
//   brannock                    the program
//   brannock --screenshots DIR  saves a picture of each page into DIR and
//                               exits (works without a display)
//   brannock --exit-when-shown  shows the window and presses "Exit"
//                               (a check that the program starts)
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Artwork.h"
#include "BrannockWindow.h"
#include "QtDialogs.h"
#include "Screenshots.h"
#include "System/Platform/Registry.h"
#include "kernel/session/CommunicationFrame.h"
#include "logic/FrontEndStrings.h"

namespace {

const char kUsage[] =
    "Usage: brannock [--screenshots DIR [MIF...] | --exit-when-shown]\n"
    "The desktop front end of Halvex Morvane for FrameMaker.\n"
    "  --screenshots DIR [MIF...]\n"
    "                      save a picture of each page into DIR and exit; MIF files\n"
    "                      given are converted first (into a temporary folder) so the\n"
    "                      results list is filled. Needs no display (draws offscreen)\n"
    "                      and leaves the stored settings alone.\n"
    "  --exit-when-shown   show the window, then press Exit\n";

bool HaveDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string screenshots;
  std::vector<std::string> mifFiles;
  bool exitWhenShown = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--screenshots") && i + 1 < argc) {
      screenshots = argv[++i];
      while (i + 1 < argc && argv[i + 1][0] != '-') mifFiles.push_back(argv[++i]);
    } else if (!std::strcmp(argv[i], "--exit-when-shown")) {
      exitWhenShown = true;
    } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fprintf(stderr, "brannock: unknown argument '%s'\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (!screenshots.empty()) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  } else if (!HaveDisplay()) {
    std::fputs("brannock: no display. Start it in a desktop session, under xvfb-run, or use the\n"
               "morvane command line; 'brannock --screenshots DIR' works without a display.\n",
               stderr);
    return 1;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("brannock"));
  const QString title = QString::fromUtf8(brannock::LoadString(brannock::Text::APP_NAME));
  QApplication::setWindowIcon(QIcon(BrannockIcon(64)));
  QSplashScreen splash(SplashPicture(title, QString::fromUtf8(brannock::LoadString(brannock::Text::APP_VERSION))));
  if (screenshots.empty()) {
    splash.show();
    QApplication::processEvents();
  }

  // Pictures are taken with default settings in a store of their own, so
  // the user's settings are neither shown nor changed.
  std::unique_ptr<QTemporaryDir> work;
  std::string org, translated;
  if (!screenshots.empty()) {
    work = std::make_unique<QTemporaryDir>();
    if (!work->isValid()) return 1;
    Platform::Registry::SetStoreFile(work->path().toStdString() + "/registry.reg");
    org = work->path().toStdString() + "/kwx-org/";
    translated = work->path().toStdString() + "/for-translation/";
    QDir().mkpath(QString::fromStdString(org));
    QDir().mkpath(QString::fromStdString(translated));
  }

  CQ_Morvane_CommunicationFrame session(brannock::LoadString(brannock::Text::APP_NAME), brannock::LoadString(brannock::Text::APP_VERSION), true);
  ScreenshotDialogs pictureDialogs(mifFiles, org, translated);
  QtDialogs dialogs;
  int status = 0;
  {
    BrannockWindow window(session, screenshots.empty() ? static_cast<brannock::Dialogs&>(dialogs) : pictureDialogs,
                          QCoreApplication::applicationFilePath().toStdString());
    dialogs.SetParent(&window);
    if (!screenshots.empty()) {
      status = SaveScreenshots(window, pictureDialogs, splash.pixmap(), screenshots) ? 0 : 1;
      window.Shutdown();
    } else {
      window.show();
      splash.finish(&window);
      if (exitWhenShown) {
        QTimer::singleShot(300, &window, [&window] {
          if (!window.isVisible()) {
            std::fputs("brannock: the window did not show\n", stderr);
            QApplication::exit(3);
            return;
          }
          window.ExitButton()->click();
        });
      }
      status = QApplication::exec();
    }
  }
  return status;
}
