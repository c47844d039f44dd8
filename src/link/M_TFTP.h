// TFTP link: whole converter files read and written by name over UDP.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

constexpr std::int32_t TFTP_MAX_SOUBOR = 10000;  // bytes, both directions

class TftpClient;  // the client underneath, defined by the link

struct TTFTP_CFG {
    std::string AdresaIP;
    std::int32_t VerzeIP = 0;
    std::int32_t Timeout = 0;
};

struct TTFTP_ED {
    std::int32_t Status = 0;  // 0 success, 1 no client, 3 transfer failed
};

struct TTFTP_ID {
    std::shared_ptr<TftpClient> IdTrivialFTP1;
};

struct TTFTP {
    TTFTP_CFG CFG;
    TTFTP_ED ED;
    TTFTP_ID ID;
};

void TFTP_Init(TTFTP& TF, const std::string& AdresaIP, std::int32_t VerzeIP, std::int32_t Timeout);
bool TFTP_PrectiSoubor(TTFTP& TF, const std::string& Soubor, std::uint8_t* Buffer,
                       std::int32_t& Delka);
bool TFTP_ZapisSoubor(TTFTP& TF, const std::string& Soubor, const std::uint8_t* Data,
                      std::int32_t Delka);
