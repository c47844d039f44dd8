// Shared pieces of the window tests: an offscreen application, a scratch
// settings folder, a recording desktop shell and driving modal windows.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/Dekl.h"
#include "link/U_TK7713T.h"
#include "platform/SerialPort.h"
#include "ui/DesktopShell.h"
#include "ui/WindowSupport.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace uitest {

// One QApplication for the whole test program, created before any widget.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "W_tk7713t";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        // As the program does.
        ui::setUpApplication();
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

  private:
    QApplication* app_ = nullptr;
};

inline const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Settings file in a fresh folder of its own; the program's own folder and
// the serial device map are left as they were found.
class ScratchSettings {
  public:
    ScratchSettings() {
        SetSettingsFolder(dir_.path().toStdString());
        SetUserSettingsFolder(user_.path().toStdString());
        platform::setSerialDeviceMap({});
    }
    ~ScratchSettings() {
        SetSettingsFolder(std::string());
        SetUserSettingsFolder(std::string());
        SetSettingsPerUser(false);
        platform::setSerialDeviceMap({});
    }
    QString folder() const { return dir_.path(); }
    QString filePath() const { return dir_.filePath(QString::fromLatin1(SOUBOR_NASTAVENI)); }
    bool exists() const { return QFile::exists(filePath()); }
    QByteArray contents() const {
        QFile f(filePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QByteArray& bytes) const {
        QFile f(filePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    // Stands in for the user's settings folder ($XDG_CONFIG_HOME).
    QString userFolder() const { return user_.path(); }

  private:
    QTemporaryDir dir_;
    QTemporaryDir user_;
};

// Records what the windows ask of the desktop instead of doing it.
class RecordingShell {
  public:
    struct Message {
        QString text;
    };
    RecordingShell() {
        ui::DesktopShell& shell = ui::desktopShell();
        shell.showMessage = [this](QWidget*, const QString& text) { messages.push_back({text}); };
        shell.openDocument = [this](const QString& path, const std::function<void(bool)>& done) {
            documents.push_back(path);
            if (done) {
                done(documentOpens);
            }
        };
        shell.openAddress = [this](const QString& address) { addresses.push_back(address); };
    }
    ~RecordingShell() { ui::resetDesktopShell(); }

    std::vector<Message> messages;
    std::vector<QString> documents;
    // What the desktop answers when asked to open a document.
    bool documentOpens = true;
    std::vector<QString> addresses;
};

// Runs `action` on the next modal window of type W once it is shown. The
// action must close the window, or the modal loop never returns; a window
// still open after `limitMs` is closed and the failure recorded.
template <typename W> void whenModalShown(std::function<void(W*)> action, int limitMs = 30000) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, limitMs] {
        QWidget* modal = QApplication::activeModalWidget();
        W* w = qobject_cast<W*>(modal);
        if (w != nullptr && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            action(w);
            return;
        }
        if (clock->elapsed() > limitMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            ADD_FAILURE() << "modal window never shown";
            if (modal != nullptr) {
                modal->close();
            }
        }
    });
    timer->start();
}

// Lets the event loop run for about ms milliseconds without spinning.
inline void runEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Processes events until pred() holds or limitMs passes.
inline bool waitUntil(const std::function<bool()>& pred, int limitMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > limitMs) {
            return false;
        }
        runEventsFor(5);
    }
    return true;
}

// Konvertor back to its start state, with any port it holds closed.
inline void resetConverter() {
    MBRTU_Zavri(Konvertor.MBRTU);
    TK7713T_Reset();
}

} // namespace uitest

namespace uitest {

// Konvertor and dat as a successful connection leaves them, over the LAN
// to `address` ("127.0.0.1:PORT").
inline void connectLan(TData& dat, const std::string& address, std::int32_t timeoutMs) {
    TFTP_Init(Konvertor.TFTP, address, 0, timeoutMs);
    Konvertor.Rozhrani = ROZHRANI_LAN;
    Konvertor.Init = true;
    dat.Init = true;
}

// The same over COM port 9, mapped to the pseudo-terminal `pty`, at 9600 Bd
// with even parity.
inline bool connectSerial(TData& dat, const std::string& pty, std::uint8_t address,
                          std::uint32_t timeoutMs) {
    platform::setSerialDeviceMap({{9, pty}});
    if (MBRTU_Init(9, 4, 1, timeoutMs, Konvertor.MBRTU) != 0) {
        return false;
    }
    Konvertor.MBRTU.CFG.Adresa = address;
    Konvertor.Rozhrani = ROZHRANI_COM;
    Konvertor.Init = true;
    dat.Init = true;
    return true;
}

} // namespace uitest
