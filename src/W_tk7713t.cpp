// The program: the application title, the main window and the event loop.
#include <QApplication>

#include "ui/Hlavni.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("W_tk7713t"));
    TForm1 form;
    form.show();
    return QApplication::exec();
}
