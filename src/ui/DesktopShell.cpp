#include "ui/DesktopShell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
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

void openRealDocument(const QString& path, const std::function<void(bool)>& done) {
    const auto tell = [done](bool opened) {
        if (done) {
            done(opened);
        }
    };
    // QDesktopServices hands the file to xdg-open and never hears its exit
    // status, which is the only word that no application took the file.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        tell(QDesktopServices::openUrl(QUrl::fromLocalFile(path)));
        return;
    }
    // No parent: a viewer xdg-open keeps in the foreground outlives the
    // windows, and deleting the process object would end it.
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished,
                     [process, tell](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         tell(status == QProcess::NormalExit && code == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred,
                     [process, tell](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             process->deleteLater();
                             tell(false);
                         }
                     });
    process->start(opener, {path});
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

void processPendingEvents() {
    QCoreApplication::processEvents();
}

} // namespace

DesktopShell& desktopShell() {
    return shellInUse();
}

void resetDesktopShell() {
    shellInUse() = realShell();
}

void installEventPump() {
    platform::setEventPump(processPendingEvents);
}

} // namespace ui
