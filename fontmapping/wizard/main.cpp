// typeshift: the font mapping wizard.
#include <QApplication>

#include "fontmapping/wizard/TypeshiftWizard.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  typeshift::CQ_QtTypeshiftDialogs dialogs;
  typeshift::CQ_TypeshiftWizard wizard(dialogs);
  dialogs.v_SetParent(&wizard);
  wizard.show();
  return app.exec();
}
