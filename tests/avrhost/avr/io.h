// Stand-ins for the AVR's registers, so that the display driver runs on the
// host: each register is a byte whose writes the test may watch and shape.
#pragma once

#include <cstdint>
#include <functional>

struct HostRegister {
    std::uint8_t value = 0;
    // Called with each byte written; what it returns is what is kept.
    std::function<std::uint8_t(std::uint8_t)> onwrite;

    HostRegister &operator=(unsigned written) {
        const auto byte = static_cast<std::uint8_t>(written);
        value = onwrite ? onwrite(byte) : byte;
        return *this;
    }
    HostRegister &operator|=(unsigned bits) { return *this = value | bits; }
    HostRegister &operator&=(unsigned bits) { return *this = value & bits; }
    operator std::uint8_t() const { return value; }
};

extern HostRegister TWBR, TWSR, TWDR, TWCR, SPCR, SPSR, SPDR, SREG;
// The chip has a TWI and an SPI, as the driver tells by these names.
#define TWCR TWCR
#define SPCR SPCR
extern volatile std::uint8_t hostio[64];

#define _SFR_IO8(address) (hostio[address])
// The TWI's lines, SDA PC4 and SCL PC5, as on the ATmega328P.
#define PINC _SFR_IO8(0x06)
#define DDRC _SFR_IO8(0x07)
#define PORTC _SFR_IO8(0x08)
#define _BV(bit) (1u << (bit))

#define TWINT 7
#define TWEA 6
#define TWSTA 5
#define TWSTO 4
#define TWEN 2
#define TWIE 0
#define SPE 6
#define MSTR 4
#define SPIF 7
