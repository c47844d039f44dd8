// Modbus RTU slave (USB) view: the RS-485 slave window showing the USB
// slave port's parameters, read-only, with only Cancel. It makes no
// transfer and changes nothing.
#pragma once

#include "ui/NastavServisniLinka.h"

class TFormNastavServisniLinkaUSB : public TFormNastavServisniLinka {
    Q_OBJECT

  public:
    explicit TFormNastavServisniLinkaUSB(QWidget* parent = nullptr);

    // Takes nothing from the window.
    bool PrectiOkno(TCFGTK& cfg) override;
    // Shows the UARTCOM part.
    void ZapisOkno(const TCFGTK& cfg) override;

  protected:
    void showDefaults() override {}
};
