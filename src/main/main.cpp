// The editor: one window, which runs its start-up sequence before it is first shown.
#include <QApplication>

#include "platform/appfolder.h"
#include "ui/frmmain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    dotreel::frmMain window(dotreel::applicationFolder());
    window.Form_Load();
    window.show();
    return app.exec();
}
