// The start-up reference: the least a Qt Widgets program does before its first
// window appears. The window has the size of Kadrel's frame, so both programs
// map a window of the same area and the comparison measures start-up work alone.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(428, 387);
    window.show();
    return app.exec();
}
