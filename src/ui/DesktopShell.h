// Desktop services the windows use: a message box, opening a document or a
// web address with the desktop's default handler. Held in one replaceable
// record so that tests observe them instead of blocking on a real box.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ui {

struct DesktopShell {
    // Message box with the text, no icon, only an OK button, captioned with
    // the application title and centred on the screen.
    std::function<void(QWidget* owner, const QString& text)> showMessage;
    // Opens a local file with the desktop's viewer; `done` hears, maybe
    // later, whether an application took it.
    std::function<void(const QString& path, const std::function<void(bool opened)>& done)>
        openDocument;
    // Opens a web address in the desktop's browser; failures are not reported.
    std::function<void(const QString& address)> openAddress;
    // Asks for the name of a file to save; empty when the operator cancels.
    std::function<QString(QWidget* owner, const QString& caption, const QString& suggestedName,
                          const QString& filter)>
        chooseSaveFile;
};

// The services in use. Tests may replace members; resetDesktopShell puts the
// real desktop back.
DesktopShell& desktopShell();
void resetDesktopShell();

// Lets blocking transfers process pending window events (installed once;
// calling again does nothing more).
void installEventPump();

} // namespace ui
