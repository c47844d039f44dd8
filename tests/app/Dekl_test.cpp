#include "app/Dekl.h"

#include <gtest/gtest.h>

TEST(InitData, FillsDefaultsAndKeepsLanguage) {
    TData d;
    d.Lang = LANG_CZ;
    d.Init = true;
    d.SPripojeni = "OK";
    d.Par.fill(7);
    d.Pripojeni.Rozhrani = 2;
    InitData(&d);
    EXPECT_EQ(d.Lang, LANG_CZ);
    EXPECT_FALSE(d.Init);
    EXPECT_TRUE(d.SPripojeni.empty());
    EXPECT_EQ(d.TypVerze, "???");
    EXPECT_EQ(d.TypModulu, "???");
    EXPECT_EQ(d.VerzeModulu, "???");
    EXPECT_EQ(d.VyrCislo, "???");
    for (auto p : d.Par) {
        EXPECT_EQ(p, 0u);
    }
    EXPECT_EQ(d.Pripojeni, VychoziPripojeni());
    EXPECT_EQ(d.CFGTK, VychoziCFGTK());
}

TEST(InitData, NullPointerIsHarmless) {
    InitData(nullptr);
}

TEST(VychoziPripojeni, FactoryConnectionSettings) {
    const TPripojeni p = VychoziPripojeni();
    EXPECT_EQ(p.Rozhrani, 0);
    EXPECT_EQ(p.LAN_IP, "192.168.0.99");
    EXPECT_EQ(p.LAN_VerzeIP, 0);
    EXPECT_EQ(p.LAN_Timeout, 1000);
    EXPECT_EQ(p.COM_CisloCOM, 1);
    EXPECT_EQ(p.COM_KodBaud, 4);
    EXPECT_EQ(p.COM_KodParita, 1);
    EXPECT_EQ(p.COM_Timeout, 330);
    EXPECT_EQ(p.COM_Adresa, 247);
    EXPECT_EQ(p.USBCOM_CisloCOM, 1);
    EXPECT_EQ(p.USBCOM_KodBaud, 8);
    EXPECT_EQ(p.USBCOM_KodParita, 1);
    EXPECT_EQ(p.USBCOM_Timeout, 330);
    EXPECT_EQ(p.USBCOM_Adresa, 255);
}

TEST(VychoziCFGTK, FactoryConverterConfiguration) {
    const TCFGTK c = VychoziCFGTK();
    EXPECT_EQ(c.LAN4.IP4_Adresa, (TAdresa4B{0xC0, 0xA8, 0x00, 0x63}));
    EXPECT_EQ(c.LAN4.IP4_Maska, (TAdresa4B{0xFF, 0xFF, 0xFF, 0x00}));
    EXPECT_EQ(c.LAN4.IP4_Brana, (TAdresa4B{192, 168, 0, 200}));
    EXPECT_EQ(c.LAN4.IP4_DHCP, 0);
    EXPECT_EQ(c.LAN6, TCFG_LAN6{});
    EXPECT_EQ(c.Sprava.Rezim, 1);
    EXPECT_EQ(c.Sprava.User_IP[7], TPole16B{});
    EXPECT_EQ(c.MBTCP.UnitID, 255);
    EXPECT_EQ(c.MBTCP.Timeout, 5);
    EXPECT_EQ(c.UARTS, (TCFG_UARTS{247, 4, 1, 0}));
    EXPECT_EQ(c.UARTM.KodBaud, 4);
    EXPECT_EQ(c.UARTM.KodParita, 1);
    EXPECT_EQ(c.UARTM.Timeout, 330);
    EXPECT_EQ(c.UARTM.Opakovani, 0);
    EXPECT_EQ(c.UARTCOM, (TCFG_UARTS{255, 8, 1, 1}));
}

TEST(BaudList, CodeAndPositionMapping) {
    struct Case {
        std::int32_t code, position;
    };
    for (const Case c : {Case{2, 0}, Case{4, 2}, Case{8, 6}}) {
        EXPECT_EQ(KodBaudNaPozici(c.code), c.position);
        EXPECT_EQ(PoziceNaKodBaud(c.position), c.code);
    }
}
