// The editor: one window, which runs its start-up sequence as it is created.
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
