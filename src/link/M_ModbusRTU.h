// Modbus RTU serial link: framing, CRC, silence detection and the
// converter's own functions 0x43 (read block), 0x44 (write block), 0x45 (message).
#pragma once

#include <array>
#include <cstdint>

#include "link/TransferState.h"

constexpr std::uint16_t MBRTU_MAX_DOTAZ = 260;   // request bytes before the CRC
constexpr std::uint16_t MBRTU_MAX_ODPOVED = 260; // answer buffer; an answer must be shorter
constexpr std::uint16_t MBRTU_MAX_ZPRAVA = 256;  // message bytes of function 0x45

struct TMBRTU_CFG {
    std::int32_t CisloCOM = 0;
    std::int32_t KodBaud = 0;
    std::int32_t KodParita = 0;
    std::uint32_t Timeout = 0;
    std::uint8_t Adresa = 0;
};

struct TMBRTU_ED {};

struct TMBRTU_ID {
    std::uint32_t HNDL = 0;
    TransferState Transfer; // a transaction runs; MBRTU_Abort asked to end it
};

struct TMBRTU {
    TMBRTU_CFG CFG;
    TMBRTU_ED ED;
    TMBRTU_ID ID;
};

struct TMBRTU_Zprava {
    std::array<std::uint8_t, 260> Data{};
    std::uint16_t DelkaDat = 0;
    std::array<std::uint8_t, 260> Odpoved{};
    std::uint16_t DelkaOdpovedi = 0;
};

// Result codes of MBRTU_Transakce.
constexpr std::int32_t MBRTU_OK = 0;
constexpr std::int32_t MBRTU_CHYBA_DOTAZU = 1;   // port not open, bad request length, or link busy
constexpr std::int32_t MBRTU_CHYBA_ODPOVEDI = 2; // timeout, too short or overrun
constexpr std::int32_t MBRTU_CHYBA_CRC = 3;
constexpr std::int32_t MBRTU_VYJIMKA = 4; // Modbus exception answer

std::int32_t MBRTU_Init(std::int32_t CisloCOM, std::int32_t KodBaud, std::int32_t KodParita,
                        std::uint32_t Timeout, TMBRTU& MB);
void MBRTU_Zavri(TMBRTU& MB);
// Ends the transaction running on the link, if any, at its next wait as a
// failed answer (result 2). Does nothing when none runs.
void MBRTU_Abort(TMBRTU& MB);
std::int32_t MBRTU_PrectiBlok(TMBRTU& MB, std::uint8_t Soubor, std::uint16_t Blok, std::uint8_t n,
                              std::uint8_t* Buffer);
std::int32_t MBRTU_ZapisBlok(TMBRTU& MB, std::uint8_t Soubor, std::uint16_t Blok, std::uint8_t n,
                             const std::uint8_t* Data);
std::int32_t MBRTU_Zprava(TMBRTU* MB, TMBRTU_Zprava& Zprava);
std::int32_t MBRTU_Transakce(TMBRTU& MB, const std::uint8_t* Dotaz, std::uint16_t DelkaDotazu,
                             std::uint16_t& DelkaOdpovedi,
                             std::array<std::uint8_t, MBRTU_MAX_ODPOVED>& Odpoved);
std::uint16_t MBRTU_CRC16(const std::uint8_t* Data, std::uint32_t Pocet);
std::int32_t MBRTU_Rychlost(std::int32_t KodBaud);
std::uint32_t MBRTU_CasMs();
std::uint32_t MBRTU_UplynuloMs(std::uint32_t t0);
// Silence limit S in ms that ends an answer, by baud code.
std::uint32_t MBRTU_TichoMs(std::int32_t KodBaud);
// Answer length before the CRC that a request (with or without its CRC)
// fixes: n + 3 for a block read (0x43), 3 for a block write (0x44); 0 when
// the request does not fix it (0x45, anything else).
std::uint16_t MBRTU_ExpectedAnswerLength(const std::uint8_t* Dotaz, std::uint16_t DelkaDotazu);
// Length, CRC included, of the complete answer at the start of the Count
// bytes at Answer: an exception answer (5 bytes) or an answer of Expected
// bytes, each with a correct CRC and shorter than 260 bytes; 0 while none
// is complete.
std::uint32_t MBRTU_CompleteAnswer(std::uint16_t Expected, const std::uint8_t* Answer,
                                   std::uint32_t Count);
