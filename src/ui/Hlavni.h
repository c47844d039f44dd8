// Main window: menu bar, two-panel status bar, owner of the program's TData.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>

#include "app/Dekl.h"

class QAction;
class QCloseEvent;
class QLabel;
class QMenu;
class QShowEvent;

namespace Hlavni {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_MENU_CONNECTION = 2,
    TEXT_MENU_CONFIGURATION = 3,
    TEXT_MENU_DIAGNOSTICS = 4,
    TEXT_MENU_HELP = 5,
    TEXT_CONVERTER_CONNECT = 6,
    TEXT_LAN_PARAMETERS = 7,
    TEXT_MODBUS_TCP = 8,
    TEXT_RTU_MASTER = 9,
    TEXT_RTU_SLAVE = 10,
    TEXT_RTU_SLAVE_USB = 11,
    TEXT_RESTART = 12,
    TEXT_INFORMATION = 13,
    TEXT_DIAG_RTU_MASTER = 14,
    TEXT_HELP = 15,
    TEXT_ABOUT = 16,
    TEXT_PANEL_CONVERTER = 17,
    TEXT_PANEL_ADDRESS = 18,
    TEXT_OK = 19,
    TEXT_NO_DATA = 20,
    TEXT_FILE_NOT_FOUND = 21,
    // Reports of the settings file and of a manual nothing can open; %1 and %2
    // are paths.
    TEXT_SETTINGS_FALLBACK = 23,
    TEXT_SETTINGS_NOT_SAVED = 24,
    TEXT_NO_PDF_VIEWER = 25,
    TEXT_GATEWAY_TEST = 26,
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};

// Path of the help document `name` in the first of `folders` that holds it;
// empty when none does. Links are followed.
QString FindHelpDocument(const QString& name, const QStringList& folders);
// Where Help looks, in order: beside the program, the working folder, the
// installed documentation folder.
QStringList HelpDocumentFolders(const QString& programFolder, const QString& workingFolder);

// Creates the program's data record; returns nullptr when it cannot.
using DataFactory = std::unique_ptr<TData> (*)();
// Replaces how TForm1 creates its record (tests simulate a failed
// allocation); nullptr restores the real one.
void setDataFactory(DataFactory factory);
} // namespace Hlavni

class TForm1 : public QMainWindow {
    Q_OBJECT

  public:
    // The windows show their texts in `language` (LANG_EN or LANG_CZ).
    explicit TForm1(QWidget* parent = nullptr, std::int32_t language = LANG_EN);
    ~TForm1() override;

    // The program's record; nullptr when it could not be created.
    PData Dat = nullptr;

    // Menus and commands, named after their components.
    QMenu* MenuPripojeni = nullptr;
    QAction* Pipojenmodulu1 = nullptr;
    QMenu* MenuKonfigurace = nullptr;
    QAction* NastavLAN = nullptr;
    QAction* NastavModbusTCP = nullptr;
    QAction* NastavHlavniLinkaRS485 = nullptr;
    QAction* NastavServisniLinkaRS485 = nullptr;
    QAction* NastavServisniLinkaUSB = nullptr;
    QAction* Restartzazen1 = nullptr;
    QMenu* MenuDiagnostika = nullptr;
    QAction* Pehled1 = nullptr;
    QAction* RozhranRS4851 = nullptr;
    QAction* GatewayTest1 = nullptr; // Modbus gateway test
    QMenu* MenuNapoveda = nullptr;
    QAction* Npovda2 = nullptr;
    QAction* Oprogramu1 = nullptr;

    // Status bar panels 0 and 1.
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;

    // Command handlers.
    void Pipojenmodulu1Click();
    void NastavLANClick();
    void NastavModbusTCPClick();
    void NastavHlavniLinkaRS485Click();
    void NastavServisniLinkaRS485Click();
    void NastavServisniLinkaUSBClick();
    void Restartzazen1Click();
    void Pehled1Click();
    void RozhranRS4851Click();
    void GatewayTest1Click();
    void Npovda2Click();
    void Oprogramu1Click();

    // Path of the help document Help would open, empty when none exists:
    // beside the program, in the working directory, in the installed
    // documentation folder.
    QString helpDocumentPath() const;
    // Name of the help document for the current language.
    QString helpDocumentName() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    // Closing steps; run once, from the close event or the destructor.
    void FormClose();
    void setPanels(const QString& panel0, const QString& panel1);
    // A fresh modal instance of the window with Dat; destroyed when closed.
    template <typename Window> void openWindow();
    QString text(Hlavni::TextId id) const;
    void showMessage(const QString& message);

    std::unique_ptr<TData> data_;
    std::int32_t startLanguage_ = LANG_EN;
    // Said once, when the window first appears.
    QString startNotice_;
    bool closed_ = false;
};
