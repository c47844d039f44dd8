// The program: the application title, the main window and the event loop.
#include <QApplication>

#include "ui/Hlavni.h"
#include "ui/ProgramOptions.h"

int main(int argc, char* argv[]) {
    if (const auto answered = ui::answerInformationOptions(argc, argv)) {
        return *answered;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("W_tk7713t"));
    TForm1 form;
    form.show();
    return QApplication::exec();
}
