// tk7713t-screenshots OUTPUT_FOLDER: draws every window of the program
// offscreen and saves each as a PNG file, with a plain title strip that
// shows the window's caption. A simulated converter on loopback provides
// the connected states; the settings file goes to a scratch folder.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

#include "app/Dekl.h"
#include "link/U_TK7713T.h"
#include "sim/SimBytes.h"
#include "sim/Simulator.h"
#include "ui/About.h"
#include "ui/DesktopShell.h"
#include "ui/DiagRS485.h"
#include "ui/DiagSystem.h"
#include "ui/GatewayTest.h"
#include "ui/Hlavni.h"
#include "ui/NastavHlavniLinka.h"
#include "ui/NastavLanParam.h"
#include "ui/NastavModbusTCP.h"
#include "ui/NastavServisniLinka.h"
#include "ui/NastavServisniLinkaUSB.h"
#include "ui/Pripojeni.h"
#include "ui/RestartZarizeni.h"

namespace {

// The simulator counts only traffic it carries, and three minutes of it
// would take three minutes: the manual shows a line that has been busy for
// a while, polled by a master whose slaves come and go.
void scriptBusyLine(tksim::DeviceModel& model) {
    std::vector<std::uint8_t> ring(tksim::kMmrgvSize, 0);
    tksim::putU32(ring, 0, tksim::kRingSize);
    tksim::putU32(ring, 4, tksim::kRingSize);
    tksim::putU32(ring, 8, 0);
    for (std::size_t i = 0; i < tksim::kRingSize; ++i) {
        const double wave =
            35.0 + 25.0 * std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / 120.0);
        const int jitter = static_cast<int>((i * 2654435761u >> 16) % 11) - 5;
        ring[12 + i] = static_cast<std::uint8_t>(std::lround(wave) + jitter);
    }
    model.setImage(tksim::SimFile::Mmrgv, ring);
    std::vector<std::uint8_t> stats(tksim::kMmrdSize, 0);
    tksim::putU32(stats, 0, 1843275);
    tksim::putU32(stats, 4, 412);
    tksim::putU32(stats, 8, 1290);
    tksim::putU16(stats, 12, 8);
    stats[14] = ring.back();
    model.setImage(tksim::SimFile::Mmrd, stats);
}

QString outputFolder;
int failures = 0;

void settle() {
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
}

// The widget's pixels under a title strip holding its caption.
void save(QWidget* w, const QString& name) {
    settle();
    const QPixmap body = w->grab();
    const int strip = w->isWindow() && !w->windowTitle().isEmpty() ? 24 : 0;
    QPixmap framed(body.width() + 2, body.height() + strip + 2);
    framed.fill(QColor(0x2B, 0x57, 0x9A));
    QPainter p(&framed);
    if (strip > 0) {
        QFont f = w->font();
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(8, 1, framed.width() - 16, strip), Qt::AlignVCenter | Qt::AlignLeft,
                   w->windowTitle());
    }
    p.drawPixmap(1, strip + 1, body);
    p.end();
    const QString path = QDir(outputFolder).filePath(name + QStringLiteral(".png"));
    if (framed.save(path)) {
        std::printf("%s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++failures;
    }
}

// Lets events run until done() holds (at most five seconds).
void settleUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// Runs `action` on the next modal window of type W (which must close it).
template <typename W> void whenModalShown(std::function<void(W*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (W* w = qobject_cast<W*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(w);
        }
    });
    timer->start();
}

// The next settings dialog W after a Read, then `more`, then Cancel.
template <typename W> void settingsShot(const char* name, std::function<void(W*)> more = {}) {
    whenModalShown<W>([name, more](W* d) {
        d->Button1->click();
        save(d, QString::fromLatin1(name));
        if (more) {
            more(d);
        }
        d->Button4->click();
    });
}

void saveMenu(QMenu* menu, const QString& name) {
    menu->popup(QPoint(0, 0));
    save(menu, name);
    menu->hide();
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("W_tk7713t"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: tk7713t-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    // Absolute: the Help shot changes the working folder.
    outputFolder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(outputFolder);

    QTemporaryDir scratch;
    SetSettingsFolder(scratch.path().toStdString());

    tksim::Config c;
    c.tftp.address = "127.0.0.1";
    c.tftp.port = 0;
    // A converter running for a while.
    c.model.initialUptimeS = 200000;
    // The gateway, with slaves 1 and 2 on its master line.
    c.gateway.tcpServer = true;
    c.gateway.port = 0;
    c.gateway.lineSlaves = {1, 2};
    tksim::Simulator sim(c);
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    scriptBusyLine(sim.model());
    const QString simAddress = QStringLiteral("127.0.0.1:%1").arg(sim.tftpPort());

    // Desktop requests are only drawn, never carried out.
    ui::desktopShell().openDocument = [](const QString&, const std::function<void(bool)>&) {};
    ui::desktopShell().openAddress = [](const QString&) {};
    ui::desktopShell().showMessage = [](QWidget*, const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text,
                        QMessageBox::Ok);
        box.show();
        save(&box, QStringLiteral("help-missing"));
    };

    TForm1 form;
    form.show();
    save(&form, QStringLiteral("main"));
    saveMenu(form.MenuPripojeni, QStringLiteral("menu-connection"));
    saveMenu(form.MenuDiagnostika, QStringLiteral("menu-diagnostics"));
    saveMenu(form.MenuNapoveda, QStringLiteral("menu-help"));

    {
        TFormPripojeni d(&form);
        d.Dat = form.Dat;
        d.show();
        save(&d, QStringLiteral("connection-lan"));
        d.ComboBox1->setCurrentIndex(ROZHRANI_COM);
        save(&d, QStringLiteral("connection-com"));
        d.ComboBox1->setCurrentIndex(ROZHRANI_USBCOM);
        save(&d, QStringLiteral("connection-usb"));
        d.close();
    }

    whenModalShown<TFormPripojeni>([&](TFormPripojeni* d) {
        d->ComboBox1->setCurrentIndex(ROZHRANI_LAN);
        d->Edit1->setText(simAddress);
        d->Button1->click();
        save(d, QStringLiteral("connection-connected"));
        d->Button2->click();
    });
    form.Pipojenmodulu1->trigger();
    save(&form, QStringLiteral("main-connected"));
    // The manual shows the whole window once, before the connection.
    save(form.statusBar(), QStringLiteral("main-status-connected"));

    saveMenu(form.MenuKonfigurace, QStringLiteral("menu-configuration"));

    // Each settings dialog after a Read from the simulated converter.
    settingsShot<TFormNastavLanParam>("settings-lan", [](TFormNastavLanParam* d) {
        d->Edit2->setText(QStringLiteral("255.255.0"));
        d->Button2->click();
        save(d, QStringLiteral("settings-lan-invalid"));
    });
    form.NastavLAN->trigger();
    settingsShot<TFormNastavModbusTCP>("settings-modbus-tcp");
    form.NastavModbusTCP->trigger();
    settingsShot<TFormNastavHlavniLinka>("settings-rtu-master", [](TFormNastavHlavniLinka* d) {
        d->Edit1->setText(QStringLiteral("70000"));
        d->Button3->click();
        save(d, QStringLiteral("settings-rtu-master-invalid"));
    });
    form.NastavHlavniLinkaRS485->trigger();
    settingsShot<TFormNastavServisniLinka>("settings-rtu-slave");
    form.NastavServisniLinkaRS485->trigger();
    whenModalShown<TFormNastavServisniLinkaUSB>([](TFormNastavServisniLinkaUSB* d) {
        save(d, QStringLiteral("settings-rtu-slave-usb"));
        d->Button4->click();
    });
    form.NastavServisniLinkaUSB->trigger();
    whenModalShown<TFormRestart>([](TFormRestart* d) {
        save(d, QStringLiteral("restart"));
        d->Button2->click();
    });
    form.Restartzazen1->trigger();

    // The diagnostics windows with live values, after their first ticks.
    whenModalShown<TFormDiagPrehled>([](TFormDiagPrehled* w) {
        settleUntil([w] { return w->StatusBar1->text() == QStringLiteral(" OK"); });
        save(w, QStringLiteral("diag-information"));
        w->Button1->click();
    });
    form.Pehled1->trigger();
    whenModalShown<TFormDiagRS485>([](TFormDiagRS485* w) {
        settleUntil([w] {
            return w->chartDrawings() > 0 && w->StatusBar1->text() == QStringLiteral(" OK");
        });
        save(w, QStringLiteral("diag-rtu-master"));
        w->Button2->click();
    });
    form.RozhranRS4851->trigger();
    // The gateway test: slave 1's pattern, then the gateway's answer for a
    // unit that is not on the line.
    const std::uint16_t mbtcpPort = sim.mbtcpPort();
    whenModalShown<TFormGatewayTest>([mbtcpPort](TFormGatewayTest* w) {
        w->PortEdit->setText(QString::number(mbtcpPort));
        w->SendButton->click();
        save(w, QStringLiteral("diag-gateway-test"));
        w->UnitEdit->setText(QStringLiteral("9"));
        w->SendButton->click();
        save(w, QStringLiteral("diag-gateway-test-exception"));
        w->CancelButton->click();
    });
    form.GatewayTest1->trigger();

    whenModalShown<TFormOProgramu>([](TFormOProgramu* a) {
        save(a, QStringLiteral("about"));
        a->Button1->click();
    });
    form.Oprogramu1->trigger();

    // Help from a folder without the document.
    const QString before = QDir::currentPath();
    QDir::setCurrent(scratch.path());
    form.Npovda2->trigger();
    QDir::setCurrent(before);

    form.close();
    MBRTU_Zavri(Konvertor.MBRTU);
    sim.stop();
    return failures == 0 ? 0 : 1;
}
