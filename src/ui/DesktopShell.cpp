#include "ui/DesktopShell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "platform/EventPump.h"

namespace ui {

namespace {

void showRealMessage(QWidget* /*owner*/, const QString& text) {
    // No parent: the box is centred on the screen, not over the owner.
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void openRealDocument(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void openRealAddress(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

QString chooseRealSaveFile(QWidget* owner, const QString& caption, const QString& suggestedName,
                           const QString& filter) {
    return QFileDialog::getSaveFileName(owner, caption, suggestedName, filter);
}

DesktopShell realShell() {
    return DesktopShell{showRealMessage, openRealDocument, openRealAddress, chooseRealSaveFile};
}

DesktopShell& shellInUse() {
    static DesktopShell shell = realShell();
    return shell;
}

void processPendingEvents() { QCoreApplication::processEvents(); }

}  // namespace

DesktopShell& desktopShell() { return shellInUse(); }

void resetDesktopShell() { shellInUse() = realShell(); }

void installEventPump() { platform::setEventPump(processPendingEvents); }

}  // namespace ui
