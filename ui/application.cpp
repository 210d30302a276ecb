#include "ui/application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace tfx {

void prepare_application() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void run_until_closed(QApplication& app) {
  app.exec();
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace tfx
