#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label("Vorn0.95β");
  label.show();
  return app.exec();
}
