#include "ui/NastavModbusTCP.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using ui::tableText;
using ui::toUtf8;

TFormNastavModbusTCP::TFormNastavModbusTCP(QWidget* parent)
    : SettingsDialog("FormNastavModbusTCP", ConfigDialog::Mbtcp, NastavModbusTCP::Texty(),
                     NastavModbusTCP::IDS, parent) {
    Edit1 = addTextField(Label1, "Label1", "Edit1");
    Edit1->setEnabled(false);
    Edit2 = addTextField(Label2, "Label2", "Edit2");
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont italic = Label3->font();
    italic.setItalic(true);
    Label3->setFont(italic);
    // The note sits right under the field it explains.
    fieldColumn()->insertWidget(fieldColumn()->indexOf(Edit2) + 1, Label3);
    Edit3 = addTextField(Label4, "Label4", "Edit3");
    ComboBox1 = addList(Label5, "Label5", "ComboBox1");
    ComboBox1->setEnabled(false);
    finishLayout();
}

void TFormNastavModbusTCP::setTexts() {
    Label1->setText(text(NastavModbusTCP::TEXT_CONVERTER_ADDRESS));
    Label2->setText(text(NastavModbusTCP::TEXT_ALTERNATIVE_ADDRESS));
    Label3->setText(text(NastavModbusTCP::TEXT_ALTERNATIVE_NOTE));
    Edit2->setAccessibleDescription(Label3->text());
    Label4->setText(text(NastavModbusTCP::TEXT_TCP_TIMEOUT));
    Label5->setText(text(NastavModbusTCP::TEXT_ROUTING));
    ui::fillList(ComboBox1, {text(NastavModbusTCP::TEXT_ROUTING_DISABLE),
                             text(NastavModbusTCP::TEXT_ROUTING_ENABLE)});
    ComboBox1->setCurrentIndex(1);
}

void TFormNastavModbusTCP::showControls(const MbtcpControls& c) {
    Edit1->setText(QStringLiteral("255"));
    Edit2->setText(tableText(c.AlternativeAddress));
    Edit3->setText(tableText(c.Timeout));
}

void TFormNastavModbusTCP::ZapisOkno(const TCFGTK& cfg) {
    showControls(::ZapisOkno(cfg.MBTCP));
}

bool TFormNastavModbusTCP::PrectiOkno(TCFGTK& cfg) {
    return takeVerdict(
        ::PrectiOkno(MbtcpControls{toUtf8(Edit2->text()), toUtf8(Edit3->text())}, cfg, lang()));
}

void TFormNastavModbusTCP::showDefaults() {
    showControls(DefaultMbtcpControls());
}
