#include "ui/NastavServisniLinka.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

using ui::tableText;
using ui::toUtf8;

TFormNastavServisniLinka::TFormNastavServisniLinka(QWidget* parent)
    : TFormNastavServisniLinka("FormNastavServisniLinka", ConfigDialog::Uarts,
                               NastavServisniLinka::Texty(), NastavServisniLinka::IDS, parent) {}

TFormNastavServisniLinka::TFormNastavServisniLinka(const char* objectName,
                                                   std::optional<ConfigDialog> file,
                                                   TTextTabulka texts,
                                                   const ConfigDialogTextIds& ids, QWidget* parent)
    : SettingsDialog(objectName, file, texts, ids, parent) {
    Edit1 = addTextField(Label1, "Label1", "Edit1");
    ComboBox1 = addList(Label2, "Label2", "ComboBox1");
    ui::fillBaudList(ComboBox1);
    ComboBox2 = addList(Label3, "Label3", "ComboBox2");
    ComboBox3 = addList(Label4, "Label4", "ComboBox3");
    finishLayout();
}

void TFormNastavServisniLinka::setTexts() {
    Label1->setText(text(NastavServisniLinka::TEXT_ADDRESS));
    Label2->setText(text(NastavServisniLinka::TEXT_BAUD_RATE));
    Label3->setText(text(NastavServisniLinka::TEXT_PARITY));
    Label4->setText(text(NastavServisniLinka::TEXT_ROUTING));
    ui::fillList(ComboBox2, {text(NastavServisniLinka::TEXT_PARITY_NONE),
                             text(NastavServisniLinka::TEXT_PARITY_EVEN),
                             text(NastavServisniLinka::TEXT_PARITY_ODD)});
    ComboBox2->setCurrentIndex(PARITA_SUDA);
    ui::fillList(ComboBox3, {text(NastavServisniLinka::TEXT_ROUTING_DISABLE),
                             text(NastavServisniLinka::TEXT_ROUTING_ENABLE)});
    ComboBox3->setCurrentIndex(1);
}

void TFormNastavServisniLinka::showControls(const UartsControls& c) {
    Edit1->setText(tableText(c.Address));
    ui::selectListPosition(ComboBox1, c.Baud);
    ui::selectListPosition(ComboBox2, c.Parity);
    ui::selectListPosition(ComboBox3, c.Routing);
}

void TFormNastavServisniLinka::ZapisOkno(const TCFGTK& cfg) {
    showControls(::ZapisOkno(cfg.UARTS));
}

bool TFormNastavServisniLinka::PrectiOkno(TCFGTK& cfg) {
    return takeVerdict(
        ::PrectiOkno(UartsControls{toUtf8(Edit1->text()), ComboBox1->currentIndex(),
                                   ComboBox2->currentIndex(), ComboBox3->currentIndex()},
                     cfg, lang()));
}

void TFormNastavServisniLinka::showDefaults() {
    showControls(DefaultUartsControls());
}
