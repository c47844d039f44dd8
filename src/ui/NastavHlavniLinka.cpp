#include "ui/NastavHlavniLinka.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

using ui::tableText;
using ui::toUtf8;

TFormNastavHlavniLinka::TFormNastavHlavniLinka(QWidget* parent)
    : SettingsDialog("FormNastavHlavniLinka", ConfigDialog::Uartm, NastavHlavniLinka::Texty(),
                     NastavHlavniLinka::IDS, parent) {
    ComboBox1 = addList(Label1, "Label1", "ComboBox1");
    ui::fillBaudList(ComboBox1);
    ComboBox2 = addList(Label2, "Label2", "ComboBox2");
    Edit1 = addTextField(Label3, "Label3", "Edit1");
    Edit2 = addTextField(Label4, "Label4", "Edit2");
    finishLayout();
}

void TFormNastavHlavniLinka::setTexts() {
    Label1->setText(text(NastavHlavniLinka::TEXT_BAUD_RATE));
    Label2->setText(text(NastavHlavniLinka::TEXT_PARITY));
    Label3->setText(text(NastavHlavniLinka::TEXT_TIMEOUT));
    Label4->setText(text(NastavHlavniLinka::TEXT_RETRIES));
    ui::fillList(ComboBox2, {text(NastavHlavniLinka::TEXT_PARITY_NONE),
                             text(NastavHlavniLinka::TEXT_PARITY_EVEN),
                             text(NastavHlavniLinka::TEXT_PARITY_ODD)});
    ComboBox2->setCurrentIndex(PARITA_SUDA);
}

void TFormNastavHlavniLinka::showControls(const UartmControls& c) {
    ui::selectListPosition(ComboBox1, c.Baud);
    ui::selectListPosition(ComboBox2, c.Parity);
    Edit1->setText(tableText(c.Timeout));
    Edit2->setText(tableText(c.Retries));
}

void TFormNastavHlavniLinka::ZapisOkno(const TCFGTK& cfg) {
    showControls(::ZapisOkno(cfg.UARTM));
}

bool TFormNastavHlavniLinka::PrectiOkno(TCFGTK& cfg) {
    return takeVerdict(
        ::PrectiOkno(UartmControls{ComboBox1->currentIndex(), ComboBox2->currentIndex(),
                                   toUtf8(Edit1->text()), toUtf8(Edit2->text())},
                     cfg, lang()));
}

void TFormNastavHlavniLinka::showDefaults() {
    showControls(DefaultUartmControls());
}
