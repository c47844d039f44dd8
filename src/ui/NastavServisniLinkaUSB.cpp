#include "ui/NastavServisniLinkaUSB.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

TFormNastavServisniLinkaUSB::TFormNastavServisniLinkaUSB(QWidget* parent)
    : TFormNastavServisniLinka("FormNastavServisniLinkaUSB", std::nullopt,
                               NastavServisniLinkaUSB::Texty(), NastavServisniLinka::IDS, parent) {
    for (QWidget* w : std::initializer_list<QWidget*>{Edit1, ComboBox1, ComboBox2, ComboBox3}) {
        w->setEnabled(false);
    }
    // The hidden buttons keep their room, so Cancel keeps its size and its
    // place at the right of the row, as in the RS-485 dialog.
    for (QPushButton* b : {Button1, Button2, Button3, Button6}) {
        QSizePolicy policy = b->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        b->setSizePolicy(policy);
        b->setVisible(false);
    }
    // With OK hidden, Enter must not reach it.
    Button3->setDefault(false);
    Button4->setDefault(true);
}

bool TFormNastavServisniLinkaUSB::PrectiOkno(TCFGTK&) {
    return true;
}

void TFormNastavServisniLinkaUSB::ZapisOkno(const TCFGTK& cfg) {
    showControls(::ZapisOkno(cfg.UARTCOM));
}
