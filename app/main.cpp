#include <QApplication>

#include "mainwindow/Main2.h"
#include "platform/services.h"
#include "resources/resources_init.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnelo"));
  vrn::initResources();
  vrn::installQtTranslations();
  vrn::installQtServices();
  auto* main = new vrn::Main2;
  main->quitOnSessionEnd();
  if (!main->start()) return 0;
  return app.exec();
}
