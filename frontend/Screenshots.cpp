// Draws each page of the window offscreen and saves it as a PNG file. A
// batch shown in the pictures runs through the real kernel; only its
// dialogs are answered here, by a seam that picks the given files and
// folders below the work folder and answers No to the ancillary question.
#include "Screenshots.h"

#include <QDir>
#include <QFileInfo>
#include <QTabWidget>

#include "BrannockWindow.h"
#include "QtDialogs.h"
#include "System/Platform/WindowServices.h"
#include "kernel/session/CommunicationFrame.h"


ScreenshotDialogs::ScreenshotDialogs(std::vector<std::string> files, std::string org, std::string translated)
    : m_files(std::move(files)), m_org(std::move(org)), m_translated(std::move(translated)) {}

int ScreenshotDialogs::MessageBox(const std::string&, const std::string&, unsigned style) {
  return (style & 0x0Fu) == Platform::MB_OK ? Platform::IDOK : Platform::IDNO;
}

bool ScreenshotDialogs::ChooseFiles(const std::string&, const std::string&, const std::string&,
                                    brannock::FileChoice& choice) {
  if (m_files.empty()) return false;
  // An open dialog chooses in one folder: that of the first file.
  choice.files.clear();
  choice.folder = QFileInfo(QString::fromStdString(m_files.front())).absolutePath().toStdString() + "/";
  for (const std::string& file : m_files) {
    const QFileInfo info(QString::fromStdString(file));
    if (info.absolutePath().toStdString() + "/" == choice.folder) {
      choice.files.push_back(info.absoluteFilePath().toStdString());
    }
  }
  return true;
}

bool ScreenshotDialogs::Confirm(brannock::ConfirmRequest& request) {
  const std::vector<std::string> values = {m_org, m_translated};
  std::size_t next = 0;
  for (auto& item : request.items) {
    if (item.field && next < values.size()) item.value = values[next++];
  }
  return !request.validate || !request.validate(request.FieldValues());
}

bool SaveScreenshots(BrannockWindow& window, ScreenshotDialogs& dialogs, const QPixmap& splash,
                     const std::string& dir) {
  static const char* const names[] = {"convert-mif", "verify-varnels", "convert-kwx", "paths", "settings", "about"};
  const QString folder = QString::fromUtf8(dir.c_str());
  if (!QDir().mkpath(folder)) return false;
  auto path = [&folder](const char* name) { return folder + QStringLiteral("/brannock-") + QString::fromLatin1(name) + ".png"; };
  bool ok = splash.save(folder + QStringLiteral("/brannock-splash.png"));
  window.show();

  if (dialogs.HasFiles()) {
    window.Page(brannock::BatchKind::ConvertMIF)->Start();
    brannock::ConfirmRequest request = window.Flow().LastConfirmation();
    ConfirmDialog confirm(request, dialogs, window.Session().ccs_GetAppName(), &window);
    confirm.adjustSize();
    ok = confirm.grab().save(path("confirm-mif")) && ok;
  }
  ReportDialog report(window.Settings()->State().reportFlags, dialogs, &window);
  report.adjustSize();
  ok = report.grab().save(path("customise-report")) && ok;

  for (int i = 0; i < window.Tabs()->count(); ++i) {
    window.Tabs()->setCurrentIndex(i);
    ok = window.grab().save(path(names[i])) && ok;
  }
  window.Tabs()->setCurrentIndex(0);
  return ok;
}
