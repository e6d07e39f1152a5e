// host_window: stands in for a screen-saver daemon's window. Shows a green 640 x 480 window at
// (50, 50), prints its X window id, and runs until it is ended.
#include <QApplication>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget host;
  host.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  host.setWindowTitle("daemon-window");
  host.setAutoFillBackground(true);
  QPalette pal = host.palette();
  pal.setColor(QPalette::Window, QColor(0, 200, 0));
  host.setPalette(pal);
  host.setGeometry(50, 50, 640, 480);
  host.show();
  std::printf("0x%lx\n", static_cast<unsigned long>(host.winId()));
  std::fflush(stdout);
  return QApplication::exec();
}
