#include "ui/NastavLanParam.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

using ui::tableText;
using ui::toUtf8;

TFormNastavLanParam::TFormNastavLanParam(QWidget* parent)
    : SettingsDialog("FormNastavLanParam", ConfigDialog::Lan4, NastavLanParam::Texty(),
                     NastavLanParam::IDS, parent) {
    ComboBox1 = addList(Label1, "Label1", "ComboBox1");
    Edit1 = addTextField(Label2, "Label2", "Edit1");
    Edit2 = addTextField(Label3, "Label3", "Edit2");
    Edit3 = addTextField(Label4, "Label4", "Edit3");
    // The IPv6 fields are kept out of the layout: they are never shown.
    const char* ip6Labels[] = {"IP6 LLA adresa", "IP6 GUA adresa", "IP6 maska", "IP6 brána"};
    QLabel** labels[] = {&Label5, &Label6, &Label7, &Label8};
    QLineEdit** edits[] = {&Edit4, &Edit5, &Edit6, &Edit7};
    for (int i = 0; i < 4; ++i) {
        *labels[i] = new QLabel(QString::fromUtf8(ip6Labels[i]), this);
        (*labels[i])->setObjectName(QStringLiteral("Label%1").arg(5 + i));
        (*labels[i])->setVisible(false);
        *edits[i] = new QLineEdit(this);
        (*edits[i])->setObjectName(QStringLiteral("Edit%1").arg(4 + i));
        (*edits[i])->setEnabled(false);
        (*edits[i])->setVisible(false);
        ui::labelFor(*labels[i], *edits[i]);
    }
    finishLayout();
    connect(ComboBox1, &QComboBox::currentIndexChanged, this,
            &TFormNastavLanParam::ComboBox1Change);
}

void TFormNastavLanParam::setTexts() {
    Label1->setText(text(NastavLanParam::TEXT_IP4_SETTINGS));
    Label2->setText(text(NastavLanParam::TEXT_IP4_ADDRESS));
    Label3->setText(text(NastavLanParam::TEXT_IP4_MASK));
    Label4->setText(text(NastavLanParam::TEXT_IP4_GATEWAY));
    const int before = ComboBox1->currentIndex();
    ui::fillList(ComboBox1,
                 {text(NastavLanParam::TEXT_MODE_MANUAL), text(NastavLanParam::TEXT_MODE_DHCP)});
    ui::selectListPosition(ComboBox1, before);
}

void TFormNastavLanParam::showControls(const Lan4Controls& c) {
    Edit1->setText(tableText(c.Address));
    Edit2->setText(tableText(c.Mask));
    Edit3->setText(tableText(c.Gateway));
    ui::selectListPosition(ComboBox1, c.Mode);
}

void TFormNastavLanParam::showIp6(const TCFG_LAN6& lan6) {
    Edit4->setText(tableText(IP6NaText(lan6.IP6_LLA)));
    Edit5->setText(tableText(IP6NaText(lan6.IP6_GUA)));
    Edit6->setText(tableText(IP6NaText(lan6.IP6_Maska)));
    Edit7->setText(tableText(IP6NaText(lan6.IP6_Brana)));
}

void TFormNastavLanParam::ZapisOkno(const TCFGTK& cfg) {
    showControls(::ZapisOkno(cfg.LAN4));
    showIp6(cfg.LAN6);
    AktualizaceNastaveni();
}

bool TFormNastavLanParam::PrectiOkno(TCFGTK& cfg) {
    return takeVerdict(::PrectiOkno(Lan4Controls{toUtf8(Edit1->text()), toUtf8(Edit2->text()),
                                                 toUtf8(Edit3->text()), ComboBox1->currentIndex()},
                                    cfg, lang()));
}

void TFormNastavLanParam::showDefaults() {
    showControls(DefaultLan4Controls());
    showIp6(TCFG_LAN6{});
    AktualizaceNastaveni();
}

void TFormNastavLanParam::AktualizaceNastaveni() {
    const bool manual = ComboBox1->currentIndex() == 0;
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label2, Edit1, Label3, Edit2, Label4, Edit3}) {
        w->setEnabled(manual);
    }
}

void TFormNastavLanParam::ComboBox1Change() {
    AktualizaceNastaveni();
}
