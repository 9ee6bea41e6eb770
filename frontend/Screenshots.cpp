// Draws each page of the window offscreen and saves it as a PNG file.
#include "Screenshots.h"

#include <QDir>
#include <QTabWidget>

#include "BrannockWindow.h"

bool SaveScreenshots(BrannockWindow& window, const QPixmap& splash, const std::string& dir) {
  static const char* const names[] = {"convert-mif", "verify-varnels", "convert-kwx", "paths", "settings", "about"};
  const QString folder = QString::fromUtf8(dir.c_str());
  if (!QDir().mkpath(folder)) return false;
  bool ok = splash.save(folder + QStringLiteral("/brannock-splash.png"));
  window.show();
  for (int i = 0; i < window.Tabs()->count(); ++i) {
    window.Tabs()->setCurrentIndex(i);
    ok = window.grab().save(folder + QStringLiteral("/brannock-") + QString::fromLatin1(names[i]) +
                            QStringLiteral(".png")) && ok;
  }
  window.Tabs()->setCurrentIndex(0);
  return ok;
}
