#include "app/Dekl.h"

TPripojeni VychoziPripojeni() {
    TPripojeni p;
    p.Rozhrani = ROZHRANI_LAN;
    p.LAN_IP = "192.168.0.99";
    p.LAN_VerzeIP = VERZE_IP4;
    p.LAN_Timeout = 1000;
    p.COM_CisloCOM = 1;
    p.COM_KodBaud = 4;
    p.COM_KodParita = PARITA_SUDA;
    p.COM_Timeout = 330;
    p.COM_Adresa = 247;
    p.USBCOM_CisloCOM = 1;
    p.USBCOM_KodBaud = 8;
    p.USBCOM_KodParita = PARITA_SUDA;
    p.USBCOM_Timeout = 330;
    p.USBCOM_Adresa = 255;
    return p;
}

TCFGTK VychoziCFGTK() {
    TCFGTK c;
    c.LAN4.IP4_Adresa = {192, 168, 0, 99};
    c.LAN4.IP4_Maska = {255, 255, 255, 0};
    c.LAN4.IP4_Brana = {192, 168, 0, 200};
    c.LAN4.IP4_DHCP = 0;
    c.LAN6 = TCFG_LAN6{};
    c.Sprava = TCFG_Sprava{};
    c.Sprava.Rezim = 1;
    c.LOG = TCFG_LOG{};
    c.Upgrade = TUpgrade{};
    c.MBTCP.UnitID = 255;
    c.MBTCP.Timeout = 5;
    c.UARTS = {247, 4, PARITA_SUDA, 0};
    c.UARTM.KodBaud = 4;
    c.UARTM.KodParita = PARITA_SUDA;
    c.UARTM.Timeout = 330;
    c.UARTM.Opakovani = 0;
    c.UARTCOM = {255, 8, PARITA_SUDA, 1};
    return c;
}

void InitData(PData Dat) {
    if (Dat == nullptr) {
        return;
    }
    Dat->Pripojeni = VychoziPripojeni();
    Dat->SPripojeni.clear();
    Dat->Init = false;
    Dat->TypVerze = "???";
    Dat->TypModulu = "???";
    Dat->VerzeModulu = "???";
    Dat->VyrCislo = "???";
    Dat->CFGTK = VychoziCFGTK();
    Dat->Par.fill(0);
}
