// About window: program name, version, maker and the maker's web address.
#pragma once

#include <QDialog>

#include "BuildInfo.h"
#include "app/Dekl.h"

namespace About {
enum TextId : std::int32_t {
    TEXT_CAPTION = 1,
    TEXT_VERSION = 2,
    TEXT_WEB_ADDRESS = 3,
    TEXT_CANCEL = 4,
};

TTextTabulka Texty();
inline constexpr TextLookup<TextId, &Texty> Text{};

// The version shown after "Version" and two blanks: the build's one version.
constexpr const char* PROGRAM_VERSION = buildinfo::kVersion;
} // namespace About

class QFrame;
class QLabel;
class QPushButton;
class QShowEvent;

class TFormOProgramu : public QDialog {
    Q_OBJECT

  public:
    explicit TFormOProgramu(QWidget* parent = nullptr);

    // Set by the opener before showing; only Lang is read.
    PData Dat = nullptr;

    QLabel* Image1 = nullptr;        // picture panel
    QLabel* LabelNazev = nullptr;    // program name
    QLabel* LabelVerze = nullptr;    // version line
    QLabel* LabelVyrobce1 = nullptr; // maker, first line
    QLabel* LabelVyrobce2 = nullptr; // maker, second line
    QLabel* LabelOdkaz = nullptr;    // web address link
    QFrame* Bevel1 = nullptr;        // separator above the button
    QPushButton* Button1 = nullptr;  // Cancel

    void FormShow();
    void LabelOdkazClick();
    void Button1Click();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void setTexts();

    std::int32_t lang_ = LANG_EN;
};
