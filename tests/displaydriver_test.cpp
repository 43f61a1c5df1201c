// The display driver's I2C on stand-in registers: what no simulator shows.
// A bus held low ends in a fault, not a hang, with the TWI let go; after a
// fault nothing touches the bus; Wire's clock and interrupt survive; and
// the clock the driver sets. The driver itself is compiled here as C++, so
// that its registers are the stand-ins of avrhost/avr/io.h.
#include "avr/io.h"
#include "tesselon_display.c"

#include <gtest/gtest.h>

#include <vector>

HostRegister TWBR, TWSR, TWDR, TWCR, SPCR, SPSR, SPDR, SREG;
volatile std::uint8_t hostio[64];

namespace {

const std::uint8_t picture[] = {8, 1, 0xA5};
const std::uint8_t wireidle = _BV(TWEA) | _BV(TWEN) | _BV(TWIE);

// A TWI on which every step answers with the status that answer gives it
// (TWINT set at once), or never ends when answer gives none.
class Twi : public ::testing::Test {
  protected:
    std::function<int(std::uint8_t control)> answer; // the status, or -1 for none
    std::vector<std::uint8_t> writes;                // to TWCR
    std::vector<std::uint8_t> sent;                  // to TWDR

    void SetUp() override {
        TWCR.value = TWSR.value = TWBR.value = 0;
        TWDR.onwrite = [this](std::uint8_t byte) {
            sent.push_back(byte);
            return byte;
        };
        TWCR.onwrite = [this](std::uint8_t byte) {
            writes.push_back(byte);
            if (!(byte & _BV(TWINT))) // no step: the TWI handed back or turned off
                return byte;
            const int status = answer(byte);
            if (status < 0)
                return static_cast<std::uint8_t>(byte & ~_BV(TWINT));
            TWSR.value = static_cast<std::uint8_t>(status);
            return static_cast<std::uint8_t>((byte | _BV(TWINT)) & ~_BV(TWSTO));
        };
    }
    void TearDown() override { TWCR.onwrite = TWDR.onwrite = nullptr; }
};

// A module that acknowledges everything.
int healthy(std::uint8_t control) {
    return control & _BV(TWSTA) ? 0x08 : 0x28;
}

} // namespace

TEST_F(Twi, HeldLowFaultsReleasesTheBusAndStaysQuiet) {
    answer = [](std::uint8_t) { return -1; };
    tesselon_display display;
    EXPECT_EQ(tesselon_display_init_i2c(&display, &tesselon_display_ssd1306_i2c, 0x3C),
              TESSELON_DISPLAY_BUS_FAULT);
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[0], _BV(TWINT) | _BV(TWEN) | _BV(TWSTA)); // the start that never ended
    EXPECT_EQ(writes[1], _BV(TWINT) | _BV(TWEN) | _BV(TWSTO)); // the stop that never ended
    EXPECT_EQ(writes[2], 0);                                   // so the TWI let go of the lines
    EXPECT_EQ(writes.size(), 4u);                              // and nothing after that
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(tesselon_display_draw(&display, picture, 0, 0), TESSELON_DISPLAY_BUS_FAULT);
    EXPECT_EQ(tesselon_display_clear(&display), TESSELON_DISPLAY_BUS_FAULT);
    EXPECT_EQ(writes.size(), 4u);
}

TEST_F(Twi, EveryStatusIsChecked) {
    // The step that goes wrong: the start, the address, a command, data.
    for (const int wrongstep : {0, 1, 3, 40}) {
        int step = 0;
        answer = [&](std::uint8_t control) {
            if (control & _BV(TWSTO))
                return 0xF8;
            return step++ == wrongstep ? 0x30 : healthy(control);
        };
        writes.clear();
        tesselon_display display;
        EXPECT_EQ(tesselon_display_init_i2c(&display, &tesselon_display_sh1106_i2c, 0x3D),
                  TESSELON_DISPLAY_BUS_FAULT)
            << wrongstep;
        EXPECT_EQ(step, wrongstep + 1) << "steps after the fault";
        EXPECT_EQ(writes.back(), 0) << "the TWI as found";
    }
}

TEST_F(Twi, LeavesWiresClockAndInterruptAsTheyWere) {
    answer = healthy;
    TWCR.value = wireidle;
    TWBR.value = 72; // Wire's 100 kHz
    tesselon_display display;
    EXPECT_EQ(tesselon_display_init_i2c(&display, &tesselon_display_ssd1306_i2c, 0x3C),
              TESSELON_DISPLAY_OK);
    EXPECT_EQ(tesselon_display_draw(&display, picture, 3, 5), TESSELON_DISPLAY_OK);
    EXPECT_EQ(TWBR.value, 72);
    EXPECT_EQ(TWCR.value & ~_BV(TWINT), wireidle);
    for (const std::uint8_t byte : writes) {
        if (byte & _BV(TWINT)) { // a step of the driver's own: Wire's interrupt is off
            EXPECT_FALSE(byte & _BV(TWIE));
        }
    }
}

// SPI lines that are not wired: a RESET tied to the board's reset and a CS
// tied low take nothing; D/C cannot be left out, since commands would then
// be taken for pixels.
TEST(Spi, LinesNotWired) {
    SPDR.onwrite = [](std::uint8_t byte) {
        SPSR.value |= _BV(SPIF); // every byte leaves at once
        return byte;
    };
    const std::uint8_t cs = TESSELON_PIN('B', 2), dc = TESSELON_PIN('B', 1),
                       reset = TESSELON_PIN('B', 0);
    struct Wiring {
        std::uint8_t cs, dc, reset;
        std::uint8_t outcome;
    };
    for (const Wiring &w : {Wiring{cs, dc, TESSELON_NO_PIN, TESSELON_DISPLAY_OK},
                            Wiring{TESSELON_NO_PIN, dc, reset, TESSELON_DISPLAY_OK},
                            Wiring{cs, TESSELON_NO_PIN, reset, TESSELON_DISPLAY_BUS_FAULT},
                            Wiring{cs, dc, TESSELON_PIN('Z', 0), TESSELON_DISPLAY_BUS_FAULT}}) {
        tesselon_display display;
        EXPECT_EQ(
            tesselon_display_init_spi(&display, &tesselon_display_ssd1306_spi, w.cs, w.dc, w.reset),
            w.outcome)
            << int(w.cs) << " " << int(w.dc) << " " << int(w.reset);
    }
    SPDR.onwrite = nullptr;
}

// SCL is never above 400 kHz, and as fast as TWBR allows below that, on the
// clocks AVR boards run at: SCL = f / (16 + 2 TWBR).
TEST(TwiClock, AtMost400kHz) {
    for (const unsigned long f : {1000000UL, 6400000UL, 7372800UL, 8000000UL, 11059200UL,
                                  12000000UL, 14745600UL, 16000000UL, 18432000UL, 20000000UL}) {
        const unsigned long twbr = TWI_BITRATE(f);
        EXPECT_LE(f, 400000UL * (16 + 2 * twbr)) << f << " Hz: too fast";
        if (twbr > 0) {
            EXPECT_GT(f, 400000UL * (16 + 2 * (twbr - 1))) << f << " Hz: slower than it need be";
        }
    }
}
