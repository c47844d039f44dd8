// The program: the application title, the main window and the event loop.
#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

#include "platform/StandardDescriptors.h"
#include "ui/Hlavni.h"
#include "ui/ProgramOptions.h"
#include "ui/ProgramTrace.h"

int main(int argc, char* argv[]) {
    platform::ensureStandardDescriptors();
    if (const auto answered = ui::answerInformationOptions(argc, argv)) {
        return *answered;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("W_tk7713t"));
    // Made before the main window, so it still hears the port closing. The
    // arguments as the system gave them (Qt has taken out its own), not
    // QApplication::arguments(): a file name that is no UTF-8 would come
    // back as another name.
    const ProgramTrace trace(std::vector<std::string>(argv, argv + argc), std::cerr);
    TForm1 form;
    form.show();
    return QApplication::exec();
}
