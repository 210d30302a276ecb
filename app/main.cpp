// 听风匣: lists songs of a music site for QQ Space background music and the music of a QQ Space.
#include <QApplication>

#include "app/program.h"
#include "ui/application.h"

int main(int argc, char* argv[]) {
  tfx::prepare_application();
  QApplication app(argc, argv);
  tfx::Program program(tfx::built_in_config());
  program.start();
  tfx::run_until_closed(app);
}
