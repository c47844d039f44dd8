#include "link/M_ModbusRTU.h"

std::uint16_t MBRTU_CRC16(const std::uint8_t* Data, std::uint32_t Pocet) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint32_t i = 0; i < Pocet; ++i) {
        crc ^= Data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool out = (crc & 1u) != 0;
            crc >>= 1;
            if (out) {
                crc ^= 0xA001;
            }
        }
    }
    return crc;
}

std::int32_t MBRTU_Rychlost(std::int32_t KodBaud) {
    switch (KodBaud) {
    case 0: return 600;
    case 1: return 1200;
    case 2: return 2400;
    case 3: return 4800;
    case 4: return 9600;
    case 5: return 19200;
    case 6: return 38400;
    case 7: return 57600;
    case 8: return 115200;
    default: return 9600;
    }
}

std::uint32_t MBRTU_TichoMs(std::int32_t KodBaud) {
    switch (KodBaud) {
    case 2: return 19;
    case 3: return 13;
    case 4: return 10;
    case 5: return 7;
    default: return 4;
    }
}
