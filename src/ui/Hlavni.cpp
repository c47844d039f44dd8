#include "ui/Hlavni.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <array>
#include <new>

#include "BuildInfo.h"
#include "link/M_ModbusRTU.h"
#include "link/U_TK7713T.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "ui/About.h"
#include "ui/DesktopShell.h"
#include "ui/DiagRS485.h"
#include "ui/DiagSystem.h"
#include "ui/GatewayTest.h"
#include "ui/NastavHlavniLinka.h"
#include "ui/NastavLanParam.h"
#include "ui/NastavModbusTCP.h"
#include "ui/NastavServisniLinka.h"
#include "ui/NastavServisniLinkaUSB.h"
#include "ui/Pripojeni.h"
#include "ui/RestartZarizeni.h"
#include "ui/WindowSupport.h"

namespace Hlavni {

namespace {

std::unique_ptr<TData> createData() {
    return std::unique_ptr<TData>(new (std::nothrow) TData());
}

DataFactory dataFactory = createData;

constexpr TTextPolozka HlavniTexts[] = {
    {0, "", ""},
    {TEXT_CAPTION, "TK-7713T - konfigurace konvertoru", "TK-7713T - converter configuration"},
    {TEXT_MENU_CONNECTION, "Připojení", "Connection"},
    {TEXT_MENU_CONFIGURATION, "Konfigurace", "Configuration"},
    {TEXT_MENU_DIAGNOSTICS, "Diagnostika", "Diagnostics"},
    {TEXT_MENU_HELP, "Nápověda", "Help"},
    {TEXT_CONVERTER_CONNECT, "Připojení konvertoru", "Converter connect"},
    {TEXT_LAN_PARAMETERS, "Parametry LAN", "LAN parameters"},
    {TEXT_MODBUS_TCP, "Modbus TCP server (LAN)", "Modbus TCP server (LAN)"},
    {TEXT_RTU_MASTER, "Modbus RTU master (RS-485)", "Modbus RTU master (RS-485)"},
    {TEXT_RTU_SLAVE, "Modbus RTU slave (RS-485)", "Modbus RTU slave (RS-485)"},
    {TEXT_RTU_SLAVE_USB, "Modbus RTU slave (USB)", "Modbus RTU slave (USB)"},
    {TEXT_RESTART, "Restart konvertoru", "Converter restart"},
    {TEXT_INFORMATION, "Informace o konvertoru", "Converter information"},
    {TEXT_DIAG_RTU_MASTER, "Modbus RTU master", "Modbus RTU master"},
    {TEXT_HELP, "Nápověda", "Help"},
    {TEXT_ABOUT, "O programu", "About W_tk7713t"},
    {TEXT_PANEL_CONVERTER, "Konvertor : ", "Converter : "},
    {TEXT_PANEL_ADDRESS, "Adresa : ", "Address : "},
    {TEXT_OK, "V pořádku", "OK"},
    {TEXT_NO_DATA, "Nelze vytvořit datové struktury programu",
     "Unable to create program data structures"},
    {TEXT_FILE_NOT_FOUND, "Soubor nenalezen ", "File not found "},
    {22, "", ""},
    {TEXT_SETTINGS_FALLBACK,
     "Do složky programu %1 nelze zapisovat. Nastavení připojení se ukládá do %2.",
     "The program's folder %1 cannot be written. The connection settings are kept in %2."},
    {TEXT_SETTINGS_NOT_SAVED, "Nastavení připojení nelze uložit do %1.",
     "The connection settings could not be saved to %1."},
    {TEXT_NO_PDF_VIEWER,
     "Příručku %1 neotevřela žádná aplikace. Nainstalujte prohlížeč PDF nebo soubor otevřete "
     "ručně.",
     "No application opened the manual %1. Install a PDF viewer or open the file by hand."},
    {TEXT_GATEWAY_TEST, "Test brány Modbus", "Modbus gateway test"},
};
static_assert(TextTabulkaPlatna(HlavniTexts));
static_assert(std::size(HlavniTexts) == 27);

} // namespace

TTextTabulka Texty() {
    return HlavniTexts;
}

QString FindHelpDocument(const QString& name, const QStringList& folders) {
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(name);
        // A folder of that name is not the document.
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return QString();
}

QStringList HelpDocumentFolders(const QString& programFolder, const QString& workingFolder) {
    const QString installed = QDir::cleanPath(
        QDir(programFolder).filePath(QString::fromUtf8(buildinfo::kDocFolderFromProgram)));
    return {programFolder, workingFolder, installed};
}

void setDataFactory(DataFactory factory) {
    dataFactory = factory != nullptr ? factory : createData;
}

} // namespace Hlavni

namespace {

// Places the menus after the menu bar's separator at its right end, where
// the Help menu belongs, whatever the desktop's own style does.
class RightJustifiedHelpStyle : public QProxyStyle {
  public:
    explicit RightJustifiedHelpStyle(QObject* owner) : QProxyStyle() { setParent(owner); }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_DrawMenuBarSeparator) {
            return 1;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QMenu* addMenu(QMainWindow* window, const char* name) {
    QMenu* menu = window->menuBar()->addMenu(QString());
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* addCommand(TForm1* form, QMenu* menu, const char* name, void (TForm1::*handler)()) {
    QAction* action = menu->addAction(QString());
    action->setObjectName(QString::fromLatin1(name));
    QObject::connect(action, &QAction::triggered, form, handler);
    return action;
}

constexpr const char* kHelpDocumentCz = "W_tk7713t_CZ.pdf";
constexpr const char* kHelpDocumentEn = "W_tk7713t_EN.pdf";

} // namespace

TForm1::TForm1(QWidget* parent, std::int32_t language)
    : QMainWindow(parent), startLanguage_(language == LANG_CZ ? LANG_CZ : LANG_EN) {
    setObjectName(QStringLiteral("Form1"));
    FormCreate();
}

TForm1::~TForm1() {
    FormClose();
}

void TForm1::FormCreate() {
    ui::installEventPump();

    setFont(ui::windowFont(12));

    // Menus: Connection, Configuration, Diagnostics, then Help at the right
    // end of the bar.
    MenuPripojeni = addMenu(this, "MenuPripojeni");
    Pipojenmodulu1 =
        addCommand(this, MenuPripojeni, "Pipojenmodulu1", &TForm1::Pipojenmodulu1Click);

    MenuKonfigurace = addMenu(this, "MenuKonfigurace");
    NastavLAN = addCommand(this, MenuKonfigurace, "NastavLAN", &TForm1::NastavLANClick);
    NastavModbusTCP =
        addCommand(this, MenuKonfigurace, "NastavModbusTCP", &TForm1::NastavModbusTCPClick);
    NastavHlavniLinkaRS485 = addCommand(this, MenuKonfigurace, "NastavHlavniLinkaRS485",
                                        &TForm1::NastavHlavniLinkaRS485Click);
    NastavServisniLinkaRS485 = addCommand(this, MenuKonfigurace, "NastavServisniLinkaRS485",
                                          &TForm1::NastavServisniLinkaRS485Click);
    NastavServisniLinkaUSB = addCommand(this, MenuKonfigurace, "NastavServisniLinkaUSB",
                                        &TForm1::NastavServisniLinkaUSBClick);
    MenuKonfigurace->addSeparator();
    Restartzazen1 = addCommand(this, MenuKonfigurace, "Restartzazen1", &TForm1::Restartzazen1Click);

    MenuDiagnostika = addMenu(this, "MenuDiagnostika");
    Pehled1 = addCommand(this, MenuDiagnostika, "Pehled1", &TForm1::Pehled1Click);
    RozhranRS4851 = addCommand(this, MenuDiagnostika, "RozhranRS4851", &TForm1::RozhranRS4851Click);
    GatewayTest1 = addCommand(this, MenuDiagnostika, "GatewayTest1", &TForm1::GatewayTest1Click);

    // Help stays in the one menu bar, so the keyboard (Alt, F10, arrows) and
    // screen readers reach it; the separator before it right-justifies it.
    menuBar()->setStyle(new RightJustifiedHelpStyle(menuBar()));
    menuBar()->addSeparator()->setObjectName(QStringLiteral("HelpSeparator"));
    MenuNapoveda = addMenu(this, "MenuNapoveda");
    Npovda2 = addCommand(this, MenuNapoveda, "Npovda2", &TForm1::Npovda2Click);
    Oprogramu1 = addCommand(this, MenuNapoveda, "Oprogramu1", &TForm1::Oprogramu1Click);

    StatusPanel0 = new QLabel(this);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(300);
    StatusPanel1 = new QLabel(this);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setFixedWidth(200);
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    statusBar()->addWidget(StatusPanel0);
    statusBar()->addWidget(StatusPanel1);
    statusBar()->setSizeGripEnabled(false);

    data_ = Hlavni::dataFactory();
    Dat = data_.get();
    if (Dat != nullptr) {
        InitData(Dat);
        NactiNastaveni(Dat);
        Dat->Lang = startLanguage_;
        const SettingsLocation& settings = SettingsFileLocation();
        if (settings.place == SettingsPlace::PerUserFallback) {
            startNotice_ =
                text(Hlavni::TEXT_SETTINGS_FALLBACK)
                    .arg(ui::tableText(settings.programFolder), ui::tableText(settings.path));
        }
    }

    setWindowTitle(text(Hlavni::TEXT_CAPTION));
    MenuPripojeni->setTitle(text(Hlavni::TEXT_MENU_CONNECTION));
    Pipojenmodulu1->setText(text(Hlavni::TEXT_CONVERTER_CONNECT));
    MenuKonfigurace->setTitle(text(Hlavni::TEXT_MENU_CONFIGURATION));
    NastavLAN->setText(text(Hlavni::TEXT_LAN_PARAMETERS));
    NastavModbusTCP->setText(text(Hlavni::TEXT_MODBUS_TCP));
    NastavHlavniLinkaRS485->setText(text(Hlavni::TEXT_RTU_MASTER));
    NastavServisniLinkaRS485->setText(text(Hlavni::TEXT_RTU_SLAVE));
    NastavServisniLinkaUSB->setText(text(Hlavni::TEXT_RTU_SLAVE_USB));
    Restartzazen1->setText(text(Hlavni::TEXT_RESTART));
    MenuDiagnostika->setTitle(text(Hlavni::TEXT_MENU_DIAGNOSTICS));
    Pehled1->setText(text(Hlavni::TEXT_INFORMATION));
    RozhranRS4851->setText(text(Hlavni::TEXT_DIAG_RTU_MASTER));
    GatewayTest1->setText(text(Hlavni::TEXT_GATEWAY_TEST));
    MenuNapoveda->setTitle(text(Hlavni::TEXT_MENU_HELP));
    Npovda2->setText(text(Hlavni::TEXT_HELP));
    Oprogramu1->setText(text(Hlavni::TEXT_ABOUT));

    if (Dat != nullptr) {
        setPanels(text(Hlavni::TEXT_PANEL_CONVERTER), text(Hlavni::TEXT_PANEL_ADDRESS));
    } else {
        // No record: the report is in the language the program started in.
        setPanels(text(Hlavni::TEXT_NO_DATA), QString());
    }

    TK7713T_Reset();
    platform::requestTimerResolution();

    // Client area 628 x 422 below the menu bar, centred on the screen.
    resize(628, 422 + menuBar()->sizeHint().height());
    setMinimumSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Never smaller than 640 x 480 with the frame, whatever frame the window
    // manager draws; the frame is known only once the window is shown.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize least = minimumSize().expandedTo(QSize(640, 480) - frame);
    setMinimumSize(least);
    resize(size().expandedTo(least));
    if (!startNotice_.isEmpty()) {
        // After the window is on the screen, so the box has something to
        // belong to.
        QTimer::singleShot(0, this, [this] {
            const QString notice = startNotice_;
            startNotice_.clear();
            if (!notice.isEmpty()) {
                showMessage(notice);
            }
        });
    }
}

void TForm1::FormClose() {
    if (closed_) {
        return;
    }
    closed_ = true;
    MBRTU_Zavri(Konvertor.MBRTU);
    if (Dat != nullptr) {
        if (!UlozNastaveni(Dat)) {
            showMessage(
                text(Hlavni::TEXT_SETTINGS_NOT_SAVED).arg(ui::tableText(SettingsFilePath())));
        }
        Dat = nullptr;
        data_.reset();
    }
    platform::releaseTimerResolution();
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

QString TForm1::text(Hlavni::TextId id) const {
    return ui::tableText(Hlavni::Text(id, Dat != nullptr ? Dat->Lang : startLanguage_));
}

void TForm1::showMessage(const QString& message) {
    if (const auto& show = ui::desktopShell().showMessage) {
        show(this, message);
    }
}

void TForm1::setPanels(const QString& panel0, const QString& panel1) {
    StatusPanel0->setText(panel0);
    StatusPanel1->setText(panel1);
}

void TForm1::Pipojenmodulu1Click() {
    if (Dat == nullptr) {
        return;
    }
    {
        TFormPripojeni form(this);
        form.Dat = Dat;
        form.exec();
    }
    if (Dat->Init) {
        QString address;
        switch (Dat->Pripojeni.Rozhrani) {
        case ROZHRANI_LAN:
            address = ui::tableText(Dat->Pripojeni.LAN_IP);
            break;
        case ROZHRANI_COM:
            address = QString::number(Dat->Pripojeni.COM_Adresa);
            break;
        case ROZHRANI_USBCOM:
            address = QString::number(Dat->Pripojeni.USBCOM_Adresa);
            break;
        default:
            break;
        }
        setPanels(text(Hlavni::TEXT_PANEL_CONVERTER) + ui::converterText(Dat->TypVerze),
                  Dat->Pripojeni.Rozhrani >= ROZHRANI_LAN &&
                          Dat->Pripojeni.Rozhrani <= ROZHRANI_USBCOM
                      ? text(Hlavni::TEXT_PANEL_ADDRESS) + address
                      : QString());
    } else {
        setPanels(text(Hlavni::TEXT_PANEL_CONVERTER), text(Hlavni::TEXT_PANEL_ADDRESS));
    }
}

template <typename Window> void TForm1::openWindow() {
    if (Dat == nullptr) {
        return;
    }
    Window form(this);
    form.Dat = Dat;
    form.exec();
}

void TForm1::NastavLANClick() {
    openWindow<TFormNastavLanParam>();
}
void TForm1::NastavModbusTCPClick() {
    openWindow<TFormNastavModbusTCP>();
}
void TForm1::NastavHlavniLinkaRS485Click() {
    openWindow<TFormNastavHlavniLinka>();
}
void TForm1::NastavServisniLinkaRS485Click() {
    openWindow<TFormNastavServisniLinka>();
}
void TForm1::NastavServisniLinkaUSBClick() {
    openWindow<TFormNastavServisniLinkaUSB>();
}
void TForm1::Restartzazen1Click() {
    openWindow<TFormRestart>();
}
void TForm1::Pehled1Click() {
    openWindow<TFormDiagPrehled>();
}
void TForm1::RozhranRS4851Click() {
    openWindow<TFormDiagRS485>();
}
void TForm1::GatewayTest1Click() {
    openWindow<TFormGatewayTest>();
}

QString TForm1::helpDocumentName() const {
    const bool czech = Dat != nullptr && Dat->Lang == LANG_CZ;
    return QString::fromLatin1(czech ? kHelpDocumentCz : kHelpDocumentEn);
}

QString TForm1::helpDocumentPath() const {
    return Hlavni::FindHelpDocument(
        helpDocumentName(),
        Hlavni::HelpDocumentFolders(ui::tableText(platform::programFolder()), QDir::currentPath()));
}

void TForm1::Npovda2Click() {
    const QString path = helpDocumentPath();
    if (path.isEmpty()) {
        showMessage(text(Hlavni::TEXT_FILE_NOT_FOUND) + helpDocumentName());
        return;
    }
    const auto& open = ui::desktopShell().openDocument;
    if (!open) {
        return;
    }
    // The answer may come after the window has gone; then nobody is told.
    const QString failure = text(Hlavni::TEXT_NO_PDF_VIEWER).arg(QDir::toNativeSeparators(path));
    open(path, [window = QPointer<TForm1>(this), failure](bool opened) {
        if (!opened && window != nullptr) {
            window->showMessage(failure);
        }
    });
}

void TForm1::Oprogramu1Click() {
    TFormOProgramu form(this);
    form.Dat = Dat;
    form.exec();
}
