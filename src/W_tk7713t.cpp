// The program: the application title, the main window and the event loop.
#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

#include "app/Dekl.h"
#include "platform/ParentConsole.h"
#include "platform/StandardDescriptors.h"
#include "ui/Hlavni.h"
#include "ui/ProgramOptions.h"
#include "ui/ProgramTrace.h"
#include "ui/WindowSupport.h"

// 1 in the program the package installs: its own folder is no place for
// settings there.
#ifndef TK_PACKAGED
#define TK_PACKAGED 0
#endif

int main(int argc, char* argv[]) {
    platform::ensureStandardDescriptors();
    // Answers to --version and --help and warnings at start reach the
    // command prompt a desktop program was started from.
    platform::borrowParentConsole();
    SetSettingsPerUser(TK_PACKAGED != 0);
    const ui::ProgramOptions options = ui::readProgramOptions(argc, argv, std::cout, std::cerr);
    if (options.exitStatus) {
        return *options.exitStatus;
    }
    QApplication application(argc, argv);
    ui::setUpApplication();
    // Made before the main window, so it still hears the port closing. The
    // arguments as the system gave them (Qt has taken out its own), not
    // QApplication::arguments(): a file name that is no UTF-8 would come
    // back as another name.
    const ProgramTrace trace(std::vector<std::string>(argv, argv + argc), std::cerr);
    platform::returnParentConsole();
    TForm1 form(nullptr, options.language);
    form.show();
    return QApplication::exec();
}
