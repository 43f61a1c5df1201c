// The display driver on stand-in registers: what no simulator shows. The
// byte streams it sends to controller models that know their datasheets,
// after a cold start and a warm one; the SPI's mode and reset pulse, the
// waits; I2C faults that pass, a bus held low cleared, Wire's bus left
// alone, calls that cannot be served, and the clock the driver sets. The
// driver itself is compiled here as C++, so that its registers are the
// stand-ins of avrhost/avr/io.h.
#include "avr/io.h"
// The driver's rooms, one program here as on the chip.
#include "bus_spi.c"
#include "bus_twi.c"
#include "bus_usi.c"
#include "controller_oled.c"
#include "controller_pcd8544.c"
#include "controller_st7565.c"
#include "controller_st7920.c"
#include "page_bytes.c"
#include "pins.c"
#include "spi_lines.c"
#include "tesselon_display.c"

#include "TesselonDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

HostRegister TWBR, TWSR, TWDR, TWCR, SPCR, SPSR, SPDR, SREG;
volatile std::uint8_t hostio[64];
std::function<void(double)> hostwait = [](double) {};

namespace {

const std::uint8_t picture[] = {8, 1, 0xA5};
const std::uint8_t wireidle = _BV(TWEA) | _BV(TWEN) | _BV(TWIE);

// A controller as its datasheet has it, fed the bytes the driver sends:
// its registers (what a restart of the chip keeps on a module without a
// reset line) and the rules the datasheets set, each broken one noted.
class Controller {
  public:
    // The SSD1309 has the SSD1306's commands but for the charge pump, and a
    // command lock (0xFD). The SH1107 has the SH1106's but for the start
    // line (0xDC) and COM pads, and an addressing mode; the ST7567 and the
    // UC1701 the ST7565 family's, the ST7567 with its booster (0xF8).
    enum Kind { SSD1306, SH1106, SSD1309, SH1107, ST7567, UC1701 };
    explicit Controller(Kind kind) : kind_(kind) {}

    std::map<int, int> registers;    // by command, as the last one set them
    std::vector<std::string> broken; // the rules the byte stream broke

    // What another firmware may have left on a module that was not reset.
    void warm() {
        const std::map<int, int> ssd1306{{0xAE, 0xAF}, {0x2E, 0x2F}, {0x20, 0x00}, {0xA0, 0xA0},
                                         {0xC0, 0x00}, {0xA8, 0x0F}, {0xD3, 0x07}, {0x40, 0x14},
                                         {0xDA, 0x22}, {0x81, 0x00}, {0xD5, 0xF0}, {0xD9, 0x22},
                                         {0xDB, 0x00}, {0xA4, 0xA5}, {0xA6, 0xA7}, {0x8D, 0x10}};
        const std::map<int, int> sh1106{{0xAE, 0xAF}, {0xE0, 0xE0}, {0x30, 0x30}, {0xAD, 0x8A},
                                        {0xA0, 0xA0}, {0xC0, 0x00}, {0xA8, 0x0F}, {0xD3, 0x07},
                                        {0x40, 0x14}, {0xDA, 0x02}, {0x81, 0x00}, {0xD5, 0xF0},
                                        {0xD9, 0xF1}, {0xDB, 0x00}, {0xA4, 0xA5}, {0xA6, 0xA7}};
        const std::map<int, int> sh1107{{0xAE, 0xAF}, {0xE0, 0xE0}, {0x20, 0x21}, {0xD5, 0xF0},
                                        {0xA8, 0x3F}, {0xD3, 0x10}, {0xDC, 0x20}, {0xAD, 0x8A},
                                        {0xA0, 0xA1}, {0xC0, 0xC8}, {0x81, 0x00}, {0xD9, 0xF1},
                                        {0xDB, 0x00}, {0xA4, 0xA5}, {0xA6, 0xA7}};
        const std::map<int, int> st7565{{0xAE, 0xAF}, {0xE0, 0xE0}, {0xA2, 0xA3}, {0xA0, 0x00},
                                        {0xC0, 0x00}, {0x40, 0x55}, {0x20, 0x27}, {0x28, 0x28},
                                        {0x81, 0x3F}, {0xA4, 0xA5}, {0xA6, 0xA7}, {0xF8, 0x01}};
        registers = kind_ == SH1106 ? sh1106 : kind_ == SH1107 ? sh1107 : lcd() ? st7565 : ssd1306;
        if (kind_ == SSD1309)
            registers.erase(0x8D);
        if (kind_ == UC1701)
            registers.erase(0xF8);
    }

    void command(std::uint8_t byte) {
        if (!pending_.empty() || arguments(byte) > 0) {
            pending_.push_back(byte);
            if (int(pending_.size()) <= arguments(pending_[0]))
                return;
            registers[pending_[0]] = pending_.size() == 2 ? pending_[1] : -1;
            pending_.clear();
            return;
        }
        if (kind_ == SH1107 && ((byte >= 0x40 && byte <= 0x7F) || byte == 0xDA))
            broken.push_back("a command the SH1107 does not list");
        if (kind_ == UC1701 && byte == 0xF8)
            broken.push_back("a booster command the UC1701 does not have");
        const int family = byte >= 0x40 && byte <= 0x7F                                     ? 0x40
                           : byte >= 0xC0 && byte <= 0xCF                                   ? 0xC0
                           : byte <= 0x1F || (byte >= 0xB0 && byte <= 0xBF) || byte == 0xE3 ? -1
                           : byte == 0xEE                                                   ? 0xE0
                           : kind_ == SH1106 && byte >= 0x30 && byte <= 0x33                ? 0x30
                           : lcd() && byte >= 0x20 && byte <= 0x2F ? byte & 0xF8
                                                                   : byte & 0xFE;
        if (family < 0) // addresses, which every line sets, and the NOP
            return;
        if (byte == 0xAF && kind_ == SSD1306 && registers[0x8D] != 0x14)
            broken.push_back("display on with the charge pump off");
        if (byte == 0xAF && lcd() && registers[0x28] != 0x2F)
            broken.push_back("display on with the booster, regulator or follower off");
        registers[family] = family == 0xC0 ? byte & 0xC8 : byte;
    }

    void data(std::uint8_t) {
        if (!pending_.empty())
            broken.push_back("data while a command awaits its argument");
        if (registers[0x2E] == 0x2F)
            broken.push_back("RAM written while scrolling");
        if (registers[0xE0] == 0xE0)
            broken.push_back("RAM written in read-modify-write mode");
    }

  private:
    int arguments(std::uint8_t command) const {
        static const std::map<int, int> ssd1306{
            {0x81, 1}, {0x8D, 1}, {0x20, 1}, {0xA8, 1}, {0xD3, 1}, {0xD5, 1}, {0xD9, 1}, {0xDA, 1},
            {0xDB, 1}, {0x21, 2}, {0x22, 2}, {0xA3, 2}, {0x26, 6}, {0x27, 6}, {0x29, 5}, {0x2A, 5}};
        static const std::map<int, int> sh1106{{0x81, 1}, {0xA8, 1}, {0xAD, 1}, {0xD3, 1},
                                               {0xD5, 1}, {0xD9, 1}, {0xDA, 1}, {0xDB, 1}};
        static const std::map<int, int> sh1107{{0x81, 1}, {0xA8, 1}, {0xAD, 1}, {0xD3, 1},
                                               {0xD5, 1}, {0xD9, 1}, {0xDB, 1}, {0xDC, 1}};
        static const std::map<int, int> st7565{{0x81, 1}, {0xF8, 1}};
        if (kind_ == SSD1309 && (command == 0xFD || command == 0x8D))
            return command == 0xFD;
        const auto &table = kind_ == SH1106   ? sh1106
                            : kind_ == SH1107 ? sh1107
                            : lcd()           ? st7565
                                              : ssd1306;
        const auto found = table.find(command);
        return found == table.end() ? 0 : found->second;
    }

    bool lcd() const { return kind_ == ST7567 || kind_ == UC1701; }

    Kind kind_;
    std::vector<std::uint8_t> pending_;
};

// A module that acknowledges everything.
int healthy(std::uint8_t control) {
    return control & _BV(TWSTA) ? 0x08 : 0x28;
}

// A TWI on which every step answers with the status that answer gives it
// (TWINT set at once), or never ends when answer gives none; the bytes of
// each transfer go to a controller model, if any.
class Twi : public ::testing::Test {
  protected:
    std::function<int(std::uint8_t control)> answer = healthy; // the status, or -1 for none
    std::vector<std::uint8_t> writes;                          // to TWCR
    std::vector<std::uint8_t> sent;                            // to TWDR
    Controller *controller = nullptr;
    std::size_t position = 0; // in the transfer under way
    bool data = false;

    void SetUp() override {
        TWCR.value = TWSR.value = TWBR.value = 0;
        TWSR.value = 0xF8;
        hostio[0x06] = hostio[0x07] = hostio[0x08] = 0;
        TWDR.onwrite = [this](std::uint8_t byte) {
            sent.push_back(byte);
            if (controller && position == 1)
                data = byte == 0x40;
            else if (controller && position > 1)
                data ? controller->data(byte) : controller->command(byte);
            ++position;
            return byte;
        };
        TWCR.onwrite = [this](std::uint8_t byte) {
            writes.push_back(byte);
            if (!(byte & _BV(TWINT))) // no step: the TWI handed back or turned off
                return byte;
            if (byte & _BV(TWSTA))
                position = 0;
            const int status = answer(byte);
            if (status < 0)
                return static_cast<std::uint8_t>(byte & ~_BV(TWINT));
            if (byte & _BV(TWSTO)) { // a STOP ends with no TWINT, and the TWI idle
                TWSR.value = 0xF8;
                return static_cast<std::uint8_t>(byte & ~(_BV(TWINT) | _BV(TWSTO)));
            }
            TWSR.value = static_cast<std::uint8_t>(status);
            return static_cast<std::uint8_t>(byte | _BV(TWINT));
        };
    }
    void TearDown() override {
        TWCR.onwrite = TWDR.onwrite = nullptr;
        hostwait = [](double) {};
    }
};

// The SPI's lines on port B, as the tests wire them.
const std::uint8_t spics = TESSELON_PIN('B', 2), spidc = TESSELON_PIN('B', 1),
                   spireset = TESSELON_PIN('B', 0);
bool pinhigh(std::uint8_t pin) {
    return hostio[(pin >> 3) * 3 + 2] & _BV(pin & 7);
}

struct PanelCase {
    const char *name;
    const tesselon_display_panel *panel;
    bool spi;
    Controller::Kind kind;
    std::uint8_t reset; // the RESET pin, or TESSELON_NO_PIN
};

void PrintTo(const PanelCase &c, std::ostream *out) {
    *out << c.name;
}

class Datasheet : public Twi, public ::testing::WithParamInterface<PanelCase> {
  protected:
    // Sets the panel up from the state given and returns the controller as
    // begin leaves it; every byte is checked against the datasheets.
    Controller begin(bool warm) {
        const PanelCase &c = GetParam();
        Controller model(c.kind);
        if (warm)
            model.warm();
        controller = &model;
        double clock = 0, resetlow = 0, firstbyte = -1;
        hostwait = [&](double us) {
            if (c.reset != TESSELON_NO_PIN && !pinhigh(c.reset))
                resetlow += us;
            clock += us;
        };
        const auto first = [&] {
            if (firstbyte < 0 && c.reset != TESSELON_NO_PIN) {
                EXPECT_GE(resetlow, 10.0) << "the reset pulse";
                EXPECT_TRUE(pinhigh(c.reset)) << "a byte during the reset";
            }
            if (firstbyte < 0)
                firstbyte = clock;
        };
        SPDR.onwrite = [&](std::uint8_t byte) {
            SPSR.value |= _BV(SPIF);
            EXPECT_EQ(SPCR.value & 0xFC, _BV(SPE) | _BV(MSTR)) << "SPI mode 0, MSB first, master";
            EXPECT_FALSE(pinhigh(spics)) << "a byte with CS high";
            first();
            pinhigh(spidc) ? model.data(byte) : model.command(byte);
            return byte;
        };
        const auto twdr = TWDR.onwrite;
        TWDR.onwrite = [&](std::uint8_t byte) {
            first();
            return twdr(byte);
        };
        display = {};
        hostio[0x04] = 0; // DDRB: every line an input, as after a reset
        const std::uint8_t result =
            c.spi ? tesselon_display_init_spi(&display, c.panel, spics, spidc, c.reset)
                  : tesselon_display_init_i2c_reset(&display, c.panel, 0x3C, c.reset);
        EXPECT_EQ(result, TESSELON_DISPLAY_OK);
        if (c.spi) { // MOSI PB3, SCK PB5, SS and CS PB2, D/C PB1, RESET PB0 driven
            const unsigned lines =
                _BV(3) | _BV(5) | _BV(2) | _BV(1) | (c.reset != TESSELON_NO_PIN ? _BV(0) : 0);
            EXPECT_EQ(hostio[0x04] & lines, lines) << "the SPI's lines as outputs";
        }
        if (!c.spi || c.reset == TESSELON_NO_PIN) {
            EXPECT_GE(firstbyte, 100000.0) << "the module's own power-up reset, waited for";
        }
        for (const std::string &rule : model.broken)
            ADD_FAILURE() << rule;
        SPDR.onwrite = nullptr;
        TWDR.onwrite = twdr;
        hostwait = [](double) {};
        controller = nullptr;
        return model;
    }
    tesselon_display display;
};

} // namespace

// Every register a firmware before may have changed is set: the controller
// ends up the same after a cold start and a warm one, and no rule of its
// datasheet is broken on the way. Off, on and invert are one command each.
TEST_P(Datasheet, ColdAndWarmStartsEndAlike) {
    const Controller cold = begin(false);
    Controller warm = begin(true);
    EXPECT_EQ(cold.registers, warm.registers);
    EXPECT_EQ(warm.registers[0xAE], 0xAF);
    controller = &warm;
    SPDR.onwrite = [&](std::uint8_t byte) {
        SPSR.value |= _BV(SPIF);
        warm.command(byte);
        return byte;
    };
    for (const auto &[call, key, value] :
         {std::tuple(
              +[](tesselon_display *d) { return tesselon_display_on(d, 0); }, 0xAE, 0xAE),
          std::tuple(
              +[](tesselon_display *d) { return tesselon_display_invert(d, 1); }, 0xA6, 0xA7),
          std::tuple(
              +[](tesselon_display *d) { return tesselon_display_on(d, 1); }, 0xAE, 0xAF),
          std::tuple(
              +[](tesselon_display *d) { return tesselon_display_invert(d, 0); }, 0xA6, 0xA6)}) {
        EXPECT_EQ(call(&display), TESSELON_DISPLAY_OK);
        EXPECT_EQ(warm.registers[key], value);
    }
    SPDR.onwrite = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Panels, Datasheet,
    ::testing::Values(
        PanelCase{"ssd1306_i2c", &tesselon_display_ssd1306_i2c, false, Controller::SSD1306,
                  TESSELON_NO_PIN},
        PanelCase{"ssd1306_32_i2c", &tesselon_display_ssd1306_32_i2c, false, Controller::SSD1306,
                  TESSELON_NO_PIN},
        PanelCase{"sh1106_i2c", &tesselon_display_sh1106_i2c, false, Controller::SH1106,
                  TESSELON_NO_PIN},
        PanelCase{"ssd1309_i2c", &tesselon_display_ssd1309_i2c, false, Controller::SSD1309,
                  TESSELON_NO_PIN},
        PanelCase{"ssd1309_i2c_reset", &tesselon_display_ssd1309_i2c, false, Controller::SSD1309,
                  spireset},
        PanelCase{"ssd1306_spi", &tesselon_display_ssd1306_spi, true, Controller::SSD1306,
                  spireset},
        PanelCase{"ssd1306_spi_reset_unwired", &tesselon_display_ssd1306_spi, true,
                  Controller::SSD1306, TESSELON_NO_PIN},
        PanelCase{"sh1106_spi", &tesselon_display_sh1106_spi, true, Controller::SH1106, spireset},
        PanelCase{"sh1106_spi_reset_unwired", &tesselon_display_sh1106_spi, true,
                  Controller::SH1106, TESSELON_NO_PIN},
        PanelCase{"ssd1309_spi", &tesselon_display_ssd1309_spi, true, Controller::SSD1309,
                  spireset},
        PanelCase{"sh1107_i2c", &tesselon_display_sh1107_i2c, false, Controller::SH1107,
                  TESSELON_NO_PIN},
        PanelCase{"sh1107_64_i2c", &tesselon_display_sh1107_64_i2c, false, Controller::SH1107,
                  TESSELON_NO_PIN},
        PanelCase{"sh1107_spi_reset_unwired", &tesselon_display_sh1107_spi, true,
                  Controller::SH1107, TESSELON_NO_PIN},
        PanelCase{"st7567_i2c", &tesselon_display_st7567_i2c, false, Controller::ST7567,
                  TESSELON_NO_PIN},
        PanelCase{"st7567_spi", &tesselon_display_st7567_spi, true, Controller::ST7567, spireset},
        PanelCase{"uc1701_spi", &tesselon_display_uc1701_spi, true, Controller::UC1701, spireset}),
    [](const auto &info) { return std::string(info.param.name); });

// A module stuck in a byte it sends, holding SDA low until SCL has
// clocked `stuck` times; the clocks it got and the lines pulled low (DDRC),
// half clock by half clock, with Wire's pull-ups on.
struct StuckModule {
    int clocks = 0;
    std::vector<std::uint8_t> lines;
    explicit StuckModule(int stuck) {
        hostwait = [this, stuck, scllow = false](double) mutable {
            const std::uint8_t low = hostio[0x07] & (_BV(4) | _BV(5));
            lines.push_back(low);
            if (!(low & _BV(5)) && scllow)
                ++clocks;
            scllow = low & _BV(5);
            hostio[0x06] = clocks >= stuck ? _BV(4) : 0; // SDA, as the module holds it
        };
        hostio[0x06] = stuck ? 0 : _BV(4);
        hostio[0x08] = _BV(4) | _BV(5);
    }
    // SCL clocked until SDA was let go (nine at the most), and then a STOP:
    // SDA low while SCL is, then SCL up, then SDA; the pull-ups back.
    void expectcleared(int stuck) const {
        EXPECT_EQ(clocks, std::min(stuck, 9) + 1) << stuck << " clocks needed"; // and the STOP's
        const std::vector<std::uint8_t> stop{_BV(5), _BV(5) | _BV(4), _BV(4), 0};
        const auto last = std::find_end(lines.begin(), lines.end(), stop.begin(), stop.end());
        ASSERT_NE(last, lines.end()) << "the STOP";
        EXPECT_TRUE(std::all_of(last + 4, lines.end(), [](int low) { return low == 0; }))
            << "the lines let go after it";
        EXPECT_EQ(hostio[0x08], _BV(4) | _BV(5)) << "the pull-ups back";
    }
};

// A bus held low: the transfer ends in a fault, not a hang; the TWI lets
// go, the bus is cleared. The next call tries the bus again.
TEST_F(Twi, HeldLowIsClearedAndTheNextCallTriesAgain) {
    for (const int stuck : {0, 3, 9, 100}) { // the clocks the module needs to let SDA go
        hostio[0x06] = _BV(4);
        tesselon_display display = {};
        ASSERT_EQ(tesselon_display_init_i2c(&display, &tesselon_display_ssd1306_i2c, 0x3C),
                  TESSELON_DISPLAY_OK);
        sent.clear();
        writes.clear();
        const StuckModule module(stuck);
        answer = [](std::uint8_t) { return -1; };
        EXPECT_EQ(tesselon_display_draw(&display, picture, 0, 0), TESSELON_DISPLAY_BUS_FAULT);
        ASSERT_EQ(writes.size(), 3u);
        EXPECT_EQ(writes[0], _BV(TWINT) | _BV(TWEN) | _BV(TWSTA)); // the start that never ended
        EXPECT_EQ(writes[1], 0);                                   // the TWI off: the lines let go
        EXPECT_EQ(writes[2], 0);                                   // and handed back as found
        EXPECT_TRUE(sent.empty());
        module.expectcleared(stuck);
        answer = healthy;
        EXPECT_EQ(tesselon_display_draw(&display, picture, 0, 0), TESSELON_DISPLAY_OK);
        hostwait = [](double) {};
    }
}

// A module left in the middle of a byte by the chip's reset: begin clears
// the bus before its first START while the TWI is free, and the set-up
// then reaches the module. Wire's TWI, once begun, is left to Wire.
TEST_F(Twi, ModuleLeftMidByteIsFreedBeforeTheFirstStart) {
    for (const int stuck : {0, 1, 8, 9})
        for (const bool wire : {false, true}) {
            TWCR.value = wire ? wireidle : 0;
            sent.clear();
            writes.clear();
            const StuckModule module(stuck);
            tesselon_display display = {};
            EXPECT_EQ(tesselon_display_init_i2c(&display, &tesselon_display_ssd1306_i2c, 0x3C),
                      TESSELON_DISPLAY_OK);
            ASSERT_FALSE(writes.empty());
            if (wire) {
                EXPECT_EQ(module.clocks, 0) << "Wire's TWI left alone";
                EXPECT_EQ(writes[0], _BV(TWINT) | _BV(TWEN) | _BV(TWSTA));
            } else {
                module.expectcleared(stuck);
                EXPECT_EQ(writes[0], 0) << "the TWI off while the bus is cleared";
                EXPECT_EQ(writes[1], _BV(TWINT) | _BV(TWEN) | _BV(TWSTA)) << "then the START";
            }
            EXPECT_EQ(sent.at(0), 0x78) << "the set-up sent";
            hostwait = [](double) {};
        }
}

// Two displays on one bus at two addresses, each drawn on its own: every
// transfer goes to the address of the display drawn, and one that does
// not answer keeps the other from nothing.
TEST_F(Twi, TwoDisplaysEachOnItsOwn) {
    tesselon_display left = {}, right = {};
    ASSERT_EQ(tesselon_display_init_i2c(&left, &tesselon_display_ssd1306_i2c, 0x3C),
              TESSELON_DISPLAY_OK);
    ASSERT_EQ(tesselon_display_init_i2c(&right, &tesselon_display_sh1106_i2c, 0x3D),
              TESSELON_DISPLAY_OK);
    const auto addresses = [&](tesselon_display *display) {
        std::set<int> seen;
        std::size_t started = 0;
        sent.clear();
        answer = [&](std::uint8_t control) {
            if (control & _BV(TWSTA))
                started = sent.size();
            else if (sent.size() == started + 1 && !(control & _BV(TWSTO)))
                seen.insert(sent.back());
            return healthy(control);
        };
        const std::uint8_t result = tesselon_display_draw(display, picture, 3, 9);
        answer = healthy;
        return std::pair(result, seen);
    };
    EXPECT_EQ(addresses(&left), std::pair(std::uint8_t(TESSELON_DISPLAY_OK), std::set<int>{0x78}));
    EXPECT_EQ(addresses(&right), std::pair(std::uint8_t(TESSELON_DISPLAY_OK), std::set<int>{0x7A}));
    // The module at 0x3D gone: its display fails, the other draws on.
    answer = [](std::uint8_t control) { return control & _BV(TWSTA) ? 0x08 : 0x20; };
    EXPECT_EQ(tesselon_display_draw(&right, picture, 0, 0), TESSELON_DISPLAY_BUS_FAULT);
    answer = healthy;
    EXPECT_EQ(addresses(&left), std::pair(std::uint8_t(TESSELON_DISPLAY_OK), std::set<int>{0x78}));
    EXPECT_EQ(tesselon_display_result(&right), TESSELON_DISPLAY_BUS_FAULT);
}

// Each step that goes wrong ends the call with its own result; the next
// call tries again, and a module that answers again is drawn on.
TEST_F(Twi, FaultsPass) {
    struct Fault {
        int status;          // what the step gets
        std::uint8_t result; // what the call returns
        std::uint8_t last;   // the driver's last write to TWCR
    };
    // The step that goes wrong: the start, the address, a command, data.
    for (const int wrongstep : {0, 1, 3, 40})
        for (const Fault f : {Fault{0x30, TESSELON_DISPLAY_BUS_FAULT, 0}, // no acknowledge
                              Fault{0x00, TESSELON_DISPLAY_BUS_FAULT, 0}, // bus error
                              Fault{0x38, TESSELON_DISPLAY_ARBITRATION_LOST, _BV(TWINT)}}) {
            int step = 0;
            std::size_t failed = 0; // the writes to TWCR up to the step that went wrong
            answer = [&](std::uint8_t control) {
                if (control & _BV(TWSTO))
                    return 0xF8;
                if (step == wrongstep)
                    failed = writes.size();
                return step++ == wrongstep ? f.status : healthy(control);
            };
            writes.clear();
            tesselon_display display = {};
            EXPECT_EQ(tesselon_display_init_i2c(&display, &tesselon_display_sh1106_i2c, 0x3D),
                      f.result)
                << wrongstep << " " << f.status;
            EXPECT_EQ(tesselon_display_result(&display), f.result);
            // No step after the fault; where another master won, the
            // TWI's release (TWINT) is one, and no STOP follows.
            EXPECT_EQ(step, wrongstep + 1 + (f.status == 0x38)) << "steps after the fault";
            EXPECT_EQ(writes.back(), f.last) << "the TWI as found";
            for (std::size_t i = failed; f.status == 0x38 && i < writes.size(); ++i)
                EXPECT_FALSE(writes[i] & _BV(TWSTO)) << "a STOP on the bus another master won";
            answer = healthy;
            EXPECT_EQ(tesselon_display_draw(&display, picture, 0, 0), TESSELON_DISPLAY_OK);
        }
}

// The bus is not taken while Wire holds it (a slave transfer shows in
// TWSR) or keeps a repeated START for its next transfer (TWSTA): nothing
// is written, and the call after Wire's transfer draws.
TEST_F(Twi, LeavesWiresBusAlone) {
    tesselon_display display = {};
    TWCR.value = wireidle;
    ASSERT_EQ(tesselon_display_init_i2c(&display, &tesselon_display_ssd1306_i2c, 0x3C),
              TESSELON_DISPLAY_OK);
    for (const auto &[control, status] :
         {std::pair(_BV(TWINT) | _BV(TWSTA) | _BV(TWEN), 0x10),
          std::pair(_BV(TWSTA) | _BV(TWEN), 0xF8), std::pair(wireidle | _BV(TWINT), 0x60)}) {
        TWCR.value = static_cast<std::uint8_t>(control);
        TWSR.value = static_cast<std::uint8_t>(status);
        writes.clear();
        sent.clear();
        EXPECT_EQ(tesselon_display_draw(&display, picture, 0, 0), TESSELON_DISPLAY_BUS_BUSY);
        EXPECT_EQ(tesselon_display_clear(&display), TESSELON_DISPLAY_BUS_BUSY);
        EXPECT_TRUE(writes.empty() && sent.empty());
    }
    TWCR.value = wireidle;
    TWSR.value = 0xF8;
    EXPECT_EQ(tesselon_display_draw(&display, picture, 0, 0), TESSELON_DISPLAY_OK);
}

// An address in its 7-bit form (0x3C) or in the 8-bit form module boards
// print (0x78, which as a 7-bit address is reserved) goes on the wire alike.
TEST_F(Twi, AddressInEitherForm) {
    for (const auto &[given, wire] :
         {std::pair(0x3C, 0x78), std::pair(0x3D, 0x7A), std::pair(0x78, 0x78),
          std::pair(0x7A, 0x7A), std::pair(0x79, 0x78)}) {
        sent.clear();
        tesselon_display display = {};
        EXPECT_EQ(tesselon_display_init_i2c(&display, &tesselon_display_ssd1306_i2c,
                                            static_cast<std::uint8_t>(given)),
                  TESSELON_DISPLAY_OK);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent[0], wire) << std::hex << given;
    }
}

// Calls that cannot be served touch nothing: any call before init (on a
// display that is all zeros), and no picture.
TEST_F(Twi, CallsThatCannotBeServed) {
    tesselon_display display = {};
    EXPECT_EQ(tesselon_display_draw(&display, picture, 0, 0), TESSELON_DISPLAY_ARGUMENT_ERROR);
    EXPECT_EQ(tesselon_display_draw_far(&display, 0, 0, 0), TESSELON_DISPLAY_ARGUMENT_ERROR);
    EXPECT_EQ(tesselon_display_clear(&display), TESSELON_DISPLAY_ARGUMENT_ERROR);
    EXPECT_EQ(tesselon_display_on(&display, 1), TESSELON_DISPLAY_ARGUMENT_ERROR);
    EXPECT_EQ(tesselon_display_invert(&display, 1), TESSELON_DISPLAY_ARGUMENT_ERROR);
    EXPECT_EQ(tesselon_display_contrast(&display, 1), TESSELON_DISPLAY_ARGUMENT_ERROR);
    EXPECT_EQ(tesselon_display_init_i2c(&display, nullptr, 0x3C), TESSELON_DISPLAY_ARGUMENT_ERROR);
    EXPECT_EQ(tesselon_display_rows(&display), 0);
    EXPECT_EQ(tesselon_display_columns(&display), 0);
    EXPECT_EQ(tesselon_display_init_i2c_reset(&display, &tesselon_display_ssd1309_i2c, 0x3C,
                                              TESSELON_PIN('Z', 0)),
              TESSELON_DISPLAY_ARGUMENT_ERROR); // a RES on no pin
    EXPECT_TRUE(writes.empty());
    ASSERT_EQ(tesselon_display_init_i2c(&display, &tesselon_display_ssd1306_i2c, 0x3C),
              TESSELON_DISPLAY_OK);
    writes.clear();
    EXPECT_EQ(tesselon_display_draw(&display, nullptr, 0, 0), TESSELON_DISPLAY_ARGUMENT_ERROR);
    EXPECT_EQ(tesselon_display_result(&display), TESSELON_DISPLAY_ARGUMENT_ERROR);
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(tesselon_display_columns(&display), 128);
}

TEST_F(Twi, LeavesWiresClockAndInterruptAsTheyWere) {
    TWCR.value = wireidle;
    TWBR.value = 72; // Wire's 100 kHz
    tesselon_display display = {};
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

// A picture's page bytes as each bus sends them: its rows turned into
// columns of 8 pixels, the top row in bit 0, the rows below it dark.
TEST_F(Twi, PageBytesOfAPictureOnEachBus) {
    const std::uint8_t tall[] = {10, 3, 0xA5, 0x40, 0x0F, 0xC0, 0xF0, 0x80}; // 10 x 3
    std::vector<std::uint8_t> expected;
    for (int x = 0; x < 10; ++x) {
        std::uint8_t column = 0;
        for (int y = 0; y < 3; ++y)
            if (tall[2 + y * 2 + x / 8] & (0x80 >> x % 8))
                column |= 1 << y;
        expected.push_back(column);
    }
    std::vector<std::uint8_t> data;
    SPDR.onwrite = [&](std::uint8_t byte) {
        SPSR.value |= _BV(SPIF);
        if (pinhigh(spidc))
            data.push_back(byte);
        return byte;
    };
    tesselon_display spi = {};
    ASSERT_EQ(
        tesselon_display_init_spi(&spi, &tesselon_display_ssd1306_spi, spics, spidc, spireset),
        TESSELON_DISPLAY_OK);
    data.clear();
    EXPECT_EQ(tesselon_display_draw(&spi, tall, 0, 0), TESSELON_DISPLAY_OK);
    EXPECT_EQ(data, expected) << "SPI";
    SPDR.onwrite = nullptr;

    tesselon_display i2c = {};
    ASSERT_EQ(tesselon_display_init_i2c(&i2c, &tesselon_display_ssd1306_i2c, 0x3C),
              TESSELON_DISPLAY_OK);
    sent.clear();
    EXPECT_EQ(tesselon_display_draw(&i2c, tall, 0, 0), TESSELON_DISPLAY_OK);
    const std::vector<std::uint8_t> head{0x78, 0x40}; // the address to write, a stream of data
    const auto at = std::search(sent.begin(), sent.end(), head.begin(), head.end());
    ASSERT_NE(at, sent.end());
    EXPECT_EQ(std::vector<std::uint8_t>(at + 2, sent.end()), expected) << "I2C";

    // In invert mode every bit of them, the rows below the picture too; a
    // clear stays dark, and a lit rectangle is its rows.
    std::vector<std::uint8_t> inverted = expected;
    for (std::uint8_t &byte : inverted)
        byte ^= 0xFF;
    ASSERT_EQ(tesselon_display_invert_mode(&i2c, 1), TESSELON_DISPLAY_OK);
    sent.clear();
    EXPECT_EQ(tesselon_display_draw(&i2c, tall, 0, 0), TESSELON_DISPLAY_OK);
    const auto inverted_at = std::search(sent.begin(), sent.end(), head.begin(), head.end());
    ASSERT_NE(inverted_at, sent.end());
    EXPECT_EQ(std::vector<std::uint8_t>(inverted_at + 2, sent.end()), inverted) << "I2C inverted";
    SPDR.onwrite = [&](std::uint8_t byte) {
        SPSR.value |= _BV(SPIF);
        if (pinhigh(spidc))
            data.push_back(byte);
        return byte;
    };
    ASSERT_EQ(tesselon_display_invert_mode(&spi, 1), TESSELON_DISPLAY_OK);
    for (const auto &[what, call, bytes] :
         {std::tuple("SPI inverted", std::function([&] { return tesselon_display_draw(&spi, tall, 0, 0); }),
                     inverted),
          std::tuple("cleared", std::function([&] { return tesselon_display_clear(&spi); }),
                     std::vector<std::uint8_t>(128 * 8)),
          std::tuple("rectangle", std::function([&] {
                         tesselon_display_invert_mode(&spi, 0);
                         return tesselon_display_fill_rect(&spi, -2, 1, 5, 2, 1);
                     }),
                     std::vector<std::uint8_t>(3, 0x06))}) {
        data.clear();
        EXPECT_EQ(call(), TESSELON_DISPLAY_OK) << what;
        EXPECT_EQ(data, bytes) << what;
    }
    tesselon_display_invert_mode(&i2c, 0); // its room free for the tests after
    SPDR.onwrite = nullptr;
}

// Every byte the SPI sends goes to sent, each leaving at once.
static void capturespi(std::vector<std::uint8_t> &sent) {
    SPDR.onwrite = [&sent](std::uint8_t byte) {
        SPSR.value |= _BV(SPIF);
        sent.push_back(byte);
        return byte;
    };
}

// flip turns each page controller's segment and COM directions from its
// upright ones and back; a controller that cannot turn refuses to, and
// sends nothing. Two displays at once may have a view of their own: a
// third is refused until one is back to its panel's view, or begun again.
TEST(Spi, FlipAndViewsOfTwoDisplays) {
    std::vector<std::uint8_t> sent;
    capturespi(sent);
    using Bytes = std::vector<std::uint8_t>;
    const std::uint8_t ok = TESSELON_DISPLAY_OK, refused = TESSELON_DISPLAY_ARGUMENT_ERROR;
    for (const auto &[panel, flipped, upright] :
         {std::tuple(&tesselon_display_ssd1306_spi, std::pair(ok, Bytes{0xA0, 0xC0}),
                     Bytes{0xA1, 0xC8}),
          std::tuple(&tesselon_display_sh1106_spi, std::pair(ok, Bytes{0xA0, 0xC0}),
                     Bytes{0xA1, 0xC8}),
          std::tuple(&tesselon_display_sh1107_spi, std::pair(ok, Bytes{0xA1, 0xC8}),
                     Bytes{0xA0, 0xC0}),
          std::tuple(&tesselon_display_st7567_spi, std::pair(ok, Bytes{0xA0, 0xC8}),
                     Bytes{0xA1, 0xC0}),
          std::tuple(&tesselon_display_uc1701_spi, std::pair(ok, Bytes{0xA1, 0xC0}),
                     Bytes{0xA0, 0xC8}),
          std::tuple(&tesselon_display_sh1107_64_spi, std::pair(refused, Bytes{}), Bytes{}),
          std::tuple(&tesselon_display_pcd8544_spi, std::pair(refused, Bytes{}), Bytes{}),
          std::tuple(&tesselon_display_st7920_spi, std::pair(refused, Bytes{}), Bytes{})}) {
        tesselon_display display = {};
        ASSERT_EQ(tesselon_display_init_spi(
                      &display, panel,
                      spics, panel == &tesselon_display_st7920_spi ? TESSELON_NO_PIN : spidc,
                      spireset),
                  TESSELON_DISPLAY_OK);
        sent.clear();
        EXPECT_EQ(tesselon_display_flip(&display, 1), flipped.first);
        EXPECT_EQ(sent, flipped.second);
        sent.clear();
        EXPECT_EQ(tesselon_display_flip(&display, 0), ok);
        EXPECT_EQ(sent, upright);
        tesselon_display_init_spi(&display, panel, spics, spidc, spireset); // a room set free
    }

    // An offset kept across a turn and back: the glass at RAM column 1
    // upright, at 132 - 128 - 1 = 3 turned.
    const std::uint8_t dot[] = {1, 1, 0x80};
    const auto column_of_a_dot = [&](tesselon_display *display) {
        sent.clear();
        tesselon_display_draw(display, dot, 0, 0);
        const Bytes page0{0xB0};
        const auto at = std::search(sent.begin(), sent.end(), page0.begin(), page0.end());
        return at + 2 < sent.end() ? (at[2] & 0x0F) << 4 | at[1] : -1;
    };
    tesselon_display sh1106 = {};
    ASSERT_EQ(tesselon_display_init_spi(&sh1106, &tesselon_display_sh1106_spi, spics, spidc,
                                        spireset),
              ok);
    ASSERT_EQ(tesselon_display_column_offset(&sh1106, 1), ok);
    EXPECT_EQ(column_of_a_dot(&sh1106), 1);
    ASSERT_EQ(tesselon_display_flip(&sh1106, 1), ok);
    EXPECT_EQ(column_of_a_dot(&sh1106), 3);
    ASSERT_EQ(tesselon_display_flip(&sh1106, 0), ok);
    EXPECT_EQ(column_of_a_dot(&sh1106), 1);
    tesselon_display_init_spi(&sh1106, &tesselon_display_sh1106_spi, spics, spidc, spireset);

    tesselon_display displays[3] = {};
    for (tesselon_display &display : displays)
        ASSERT_EQ(tesselon_display_init_spi(&display, &tesselon_display_sh1106_spi, spics, spidc,
                                            spireset),
                  ok);
    EXPECT_EQ(tesselon_display_invert_mode(&displays[0], 1), ok);
    EXPECT_EQ(tesselon_display_column_offset(&displays[1], 0), ok);
    EXPECT_EQ(tesselon_display_column_offset(&displays[1], 5), refused) << "past the RAM";
    EXPECT_EQ(tesselon_display_flip(&displays[2], 1), refused);
    EXPECT_EQ(tesselon_display_column_offset(&displays[2], 2), ok) << "its own view needs no room";
    EXPECT_EQ(tesselon_display_invert_mode(&displays[0], 0), ok);
    EXPECT_EQ(tesselon_display_flip(&displays[2], 1), ok);
    EXPECT_EQ(tesselon_display_invert_mode(&displays[0], 1), refused);
    ASSERT_EQ(tesselon_display_init_spi(&displays[1], &tesselon_display_sh1106_spi, spics, spidc,
                                        spireset),
              ok);
    EXPECT_EQ(tesselon_display_invert_mode(&displays[0], 1), ok);
    for (tesselon_display &display : displays)
        tesselon_display_init_spi(&display, &tesselon_display_sh1106_spi, spics, spidc, spireset);
    SPDR.onwrite = nullptr;
}

// SPI lines that are not wired: a RESET tied to the board's reset and a CS
// tied low take nothing; D/C cannot be left out, since commands would then
// be taken for pixels (but on the ST7920, which has none), a RESET the
// SSD1309 and the PCD8544 need cannot either, and a pin that names no pin
// is an argument error.
TEST(Spi, LinesNotWired) {
    SPDR.onwrite = [](std::uint8_t byte) {
        SPSR.value |= _BV(SPIF); // every byte leaves at once
        return byte;
    };
    struct Wiring {
        const tesselon_display_panel *panel;
        std::uint8_t cs, dc, reset;
        std::uint8_t outcome;
    };
    for (const Wiring &w :
         {Wiring{&tesselon_display_ssd1306_spi, spics, spidc, TESSELON_NO_PIN, TESSELON_DISPLAY_OK},
          Wiring{&tesselon_display_ssd1306_spi, TESSELON_NO_PIN, spidc, spireset,
                 TESSELON_DISPLAY_OK},
          Wiring{&tesselon_display_ssd1306_spi, spics, TESSELON_NO_PIN, spireset,
                 TESSELON_DISPLAY_ARGUMENT_ERROR},
          Wiring{&tesselon_display_ssd1306_spi, spics, spidc, TESSELON_PIN('Z', 0),
                 TESSELON_DISPLAY_ARGUMENT_ERROR},
          // Ports A to G are pins outside the Arduino core, H on are not.
          Wiring{&tesselon_display_ssd1306_spi, spics, spidc, TESSELON_PIN('G', 5),
                 TESSELON_DISPLAY_OK},
          Wiring{&tesselon_display_ssd1306_spi, spics, spidc, TESSELON_PIN('H', 0),
                 TESSELON_DISPLAY_ARGUMENT_ERROR},
          Wiring{&tesselon_display_ssd1309_spi, spics, spidc, TESSELON_NO_PIN,
                 TESSELON_DISPLAY_ARGUMENT_ERROR},
          Wiring{&tesselon_display_pcd8544_spi, spics, spidc, TESSELON_NO_PIN,
                 TESSELON_DISPLAY_ARGUMENT_ERROR},
          Wiring{&tesselon_display_st7920_spi, spics, TESSELON_NO_PIN, TESSELON_NO_PIN,
                 TESSELON_DISPLAY_OK},
          Wiring{&tesselon_display_st7920_spi, TESSELON_PIN('Z', 0), TESSELON_NO_PIN, spireset,
                 TESSELON_DISPLAY_ARGUMENT_ERROR}}) {
        tesselon_display display = {};
        EXPECT_EQ(tesselon_display_init_spi(&display, w.panel, w.cs, w.dc, w.reset), w.outcome)
            << int(w.cs) << " " << int(w.dc) << " " << int(w.reset);
    }
    SPDR.onwrite = nullptr;
}

// The ST7920's CS (active high, the SPI's SS pin in the usual wiring) is
// high only while a frame is sent: never through a wait, the reset's
// included, so that other traffic on the SPI never reaches the module.
// After each frame the driver waits the datasheet's time and a quarter
// more: 72 us for a byte, 100 us after a function set and 10 ms after the
// clear (the initialisation flow's).
TEST(Spi, St7920SelectedOnlyForItsFramesAndWaitsWithAMargin) {
    int bytes = 0, unselected = 0, selectedwaits = 0, frames = 0;
    std::vector<std::uint8_t> frame;
    double waited = 0, needed = 0;
    SPDR.onwrite = [&](std::uint8_t byte) {
        SPSR.value |= _BV(SPIF);
        ++bytes;
        unselected += !pinhigh(spics);
        if (frame.empty() && frames++) {
            EXPECT_GE(waited, needed * 1.25) << "after frame " << frames - 1;
        }
        frame.push_back(byte);
        if (frame.size() == 3) {
            const int value = frame[1] | frame[2] >> 4;
            needed = frame[0] == 0xF8 && value == 0x01                   ? 10000
                     : frame[0] == 0xF8 && value >= 0x20 && value < 0x40 ? 100
                                                                         : 72;
            frame.clear();
            waited = 0;
        }
        return byte;
    };
    hostwait = [&](double us) {
        selectedwaits += pinhigh(spics);
        waited += us;
    };
    hostio[0x05] |= _BV(2); // CS high as another firmware may have left it
    tesselon_display display = {};
    EXPECT_EQ(tesselon_display_init_spi(&display, &tesselon_display_st7920_spi, spics,
                                        TESSELON_NO_PIN, spireset),
              TESSELON_DISPLAY_OK);
    EXPECT_EQ(tesselon_display_draw(&display, picture, 3, 5), TESSELON_DISPLAY_OK);
    EXPECT_GT(frames, 100);
    EXPECT_EQ(unselected, 0) << "bytes sent with CS low";
    EXPECT_EQ(selectedwaits, 0) << "waits with CS high";
    SPDR.onwrite = nullptr;
    hostwait = [](double) {};
}

// A byte that never leaves the SPI (no SPIF: the SPI stopped under the
// driver) ends each call in a bus fault, not a hang.
TEST(Spi, ByteThatNeverLeavesIsAFault) {
    SPSR.value = 0;
    tesselon_display display = {};
    EXPECT_EQ(
        tesselon_display_init_spi(&display, &tesselon_display_ssd1306_spi, spics, spidc, spireset),
        TESSELON_DISPLAY_BUS_FAULT);
    EXPECT_EQ(tesselon_display_draw(&display, picture, 0, 0), TESSELON_DISPLAY_BUS_FAULT);
}

// Contrast, off and invert as each controller's datasheet has them, on
// the SPI (the ST7920's each byte a frame of three); what a controller
// lacks is refused with nothing sent.
TEST(Spi, ControllerCommands) {
    std::vector<std::uint8_t> sent;
    capturespi(sent);
    using Bytes = std::vector<std::uint8_t>;
    const auto call = [&](tesselon_display *display, int which) {
        sent.clear();
        const std::uint8_t result = which == 0   ? tesselon_display_contrast(display, 0)
                                    : which == 1 ? tesselon_display_contrast(display, 255)
                                    : which == 2 ? tesselon_display_on(display, 0)
                                    : which == 3 ? tesselon_display_invert(display, 1)
                                                 : tesselon_display_on(display, 1);
        return std::pair(result, sent);
    };
    const std::uint8_t ok = TESSELON_DISPLAY_OK, refused = TESSELON_DISPLAY_ARGUMENT_ERROR;
    // The PCD8544's operating voltage VLCD = 3.06 V + 0.06 V x Vop must stay
    // within the 6.0 to 8.5 V its generator may make: Vop 49 (0xB1) to 90.
    // It is blanked before power-down, and power-up brings back the display
    // mode set while it was off.
    for (const auto &[panel, lowest, highest, off, invert, on] :
         {std::tuple(&tesselon_display_ssd1309_spi, std::pair(ok, Bytes{0x81, 0}),
                     std::pair(ok, Bytes{0x81, 255}), std::pair(ok, Bytes{0xAE}),
                     std::pair(ok, Bytes{0xA7}), std::pair(ok, Bytes{0xAF})),
          std::tuple(&tesselon_display_pcd8544_spi, std::pair(ok, Bytes{0x21, 0x80 | 49, 0x20}),
                     std::pair(ok, Bytes{0x21, 0x80 | 90, 0x20}), std::pair(ok, Bytes{0x08, 0x24}),
                     std::pair(ok, Bytes{0x0D, 0x0D}), std::pair(ok, Bytes{0x20, 0x0D})),
          // The ST7565 family's electronic volume is 0 to 63; the SH1107's
          // contrast 0 to 255.
          std::tuple(&tesselon_display_st7567_spi, std::pair(ok, Bytes{0x81, 0}),
                     std::pair(ok, Bytes{0x81, 63}), std::pair(ok, Bytes{0xAE}),
                     std::pair(ok, Bytes{0xA7}), std::pair(ok, Bytes{0xAF})),
          std::tuple(&tesselon_display_uc1701_spi, std::pair(ok, Bytes{0x81, 0}),
                     std::pair(ok, Bytes{0x81, 63}), std::pair(ok, Bytes{0xAE}),
                     std::pair(ok, Bytes{0xA7}), std::pair(ok, Bytes{0xAF})),
          std::tuple(&tesselon_display_sh1107_spi, std::pair(ok, Bytes{0x81, 0}),
                     std::pair(ok, Bytes{0x81, 255}), std::pair(ok, Bytes{0xAE}),
                     std::pair(ok, Bytes{0xA7}), std::pair(ok, Bytes{0xAF})),
          std::tuple(&tesselon_display_st7920_spi, std::pair(refused, Bytes{}),
                     std::pair(refused, Bytes{}), std::pair(ok, Bytes{0xF8, 0x00, 0x80}),
                     std::pair(refused, Bytes{}), std::pair(ok, Bytes{0xF8, 0x00, 0xC0}))}) {
        tesselon_display display = {};
        ASSERT_EQ(tesselon_display_init_spi(
                      &display, panel, spics,
                      panel == &tesselon_display_st7920_spi ? TESSELON_NO_PIN : spidc, spireset),
                  TESSELON_DISPLAY_OK);
        EXPECT_EQ(call(&display, 0), lowest);
        EXPECT_EQ(call(&display, 1), highest);
        EXPECT_EQ(call(&display, 2), off);
        EXPECT_EQ(call(&display, 3), invert);
        EXPECT_EQ(call(&display, 4), on);
    }
    SPDR.onwrite = nullptr;
}

// A panel of the driver's list, as the class names it.
struct Listed {
    TesselonDisplay::Panel panel;
    std::string name, stem;
    bool i2c, spi;
};

std::vector<Listed> listed() {
    return {
#define LISTED(name, stem, i2c, spi) {TesselonDisplay::name, #name, #stem, i2c, spi},
        TESSELON_DISPLAY_PANELS(LISTED)
#undef LISTED
    };
}

// Each panel of the list begins on the buses it has, with the glass its
// name gives; on a bus it lacks, and as a value the list lacks, it is
// refused, never taken for another panel.
TEST_F(Twi, EachListedPanelOnItsBuses) {
    SPDR.onwrite = [](std::uint8_t byte) {
        SPSR.value |= _BV(SPIF);
        return byte;
    };
    const std::vector<Listed> panels = listed();
    for (const Listed &p : panels) {
        unsigned width = 0, height = 0;
        ASSERT_EQ(std::sscanf(p.name.c_str() + p.name.find('_') + 1, "%ux%u", &width, &height), 2);
        for (const bool spi : {false, true}) {
            TesselonDisplay display;
            const bool begun = spi ? display.beginSPI(p.panel, spics, spidc, spireset)
                                   : display.beginI2C(p.panel, 0x3C);
            EXPECT_EQ(begun, spi ? p.spi : p.i2c) << p.name << (spi ? " on SPI" : " on I2C");
            EXPECT_EQ(display.result(),
                      begun ? TesselonDisplay::OK : TesselonDisplay::ARGUMENT_ERROR);
            EXPECT_EQ(display.width(), begun ? width : 0) << p.name;
            EXPECT_EQ(display.height(), begun ? height : 0) << p.name;
        }
    }
    const auto unknown = static_cast<TesselonDisplay::Panel>(panels.size());
    for (const bool spi : {false, true}) {
        TesselonDisplay display;
        EXPECT_FALSE(spi ? display.beginSPI(unknown, spics, spidc, spireset)
                         : display.beginI2C(unknown, 0x3C));
        EXPECT_EQ(display.result(), TesselonDisplay::ARGUMENT_ERROR);
        EXPECT_EQ(display.width(), 0);
    }
    SPDR.onwrite = nullptr;
}

// Every place that names the panels names those of the list, no more and
// no fewer: the sketch names, the C panels, or the controllers.
TEST(PanelList, EveryPlaceNamesTheListedPanels) {
    enum Kind { Sketch, C, Controller };
    std::set<std::string> expected[3];
    for (const Listed &p : listed()) {
        expected[Sketch].insert(p.name);
        for (const auto &[on, bus] : {std::pair(p.i2c, "_i2c"), std::pair(p.spi, "_spi")})
            if (on)
                expected[C].insert("tesselon_display_" + p.stem + bus);
        expected[Controller].insert(p.stem.substr(0, p.stem.find('_')));
    }
    const std::regex words[3] = {std::regex("[A-Z][A-Z0-9]*_[0-9]+x[0-9]+"),
                                 std::regex("tesselon_display_(?!init_)[a-z0-9_]+_(i2c|spi)\\b"),
                                 std::regex("[a-z]+[0-9]+[a-z0-9]*")};
    struct Place {
        const char *path;    // a file, or a folder's .c files
        const char *pattern; // its first group holds names
        Kind kind;
    };
    for (const Place &place : {
             Place{"TesselonDisplay/src", "TD_PANEL\\((\\w+)\\)", C},
             Place{"TesselonDisplay/src/tesselon_display.h", "(.*)", C},
             Place{"TesselonDisplay/src/TesselonDisplay.h", "(.*)", Sketch},
             Place{"TesselonDisplay/keywords.txt", "(\\w+)\tLITERAL1", Sketch},
             Place{"examples/display/Makefile", "# CONTROLLER +(.*)", Controller},
             Place{"simpanel/glass.c", "-controller ([a-z0-9|]+)", Controller},
             Place{"docs/display.md", "(.*)", Sketch},
         }) {
        const std::filesystem::path path = std::filesystem::path(TESSELON_SOURCE_DIR) / place.path;
        std::vector<std::filesystem::path> files{path};
        if (std::filesystem::is_directory(path)) {
            files.clear();
            for (const auto &entry : std::filesystem::directory_iterator(path))
                if (entry.path().extension() == ".c")
                    files.push_back(entry.path());
        }
        std::set<std::string> found;
        for (const auto &file : files) {
            std::ifstream in(file);
            ASSERT_TRUE(in) << file;
            std::stringstream text;
            text << in.rdbuf();
            const std::string all = text.str();
            const std::regex pattern(place.pattern);
            for (auto at = std::sregex_iterator(all.begin(), all.end(), pattern);
                 at != std::sregex_iterator(); ++at) {
                const std::string group = (*at)[1];
                for (auto word =
                         std::sregex_iterator(group.begin(), group.end(), words[place.kind]);
                     word != std::sregex_iterator(); ++word)
                    found.insert(word->str());
            }
        }
        EXPECT_EQ(found, expected[place.kind]) << place.path;
    }
}

// The library's manifests for the Arduino IDE and for PlatformIO agree on
// its version, and PlatformIO's names every example with all its files.
TEST(LibraryManifests, AgreeAndNameEveryExample) {
    const std::filesystem::path library =
        std::filesystem::path(TESSELON_SOURCE_DIR) / "TesselonDisplay";
    const auto text = [](const std::filesystem::path &file) {
        std::ifstream in(file);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    };
    const std::string properties = text(library / "library.properties"),
                      json = text(library / "library.json");
    std::smatch version, manifest;
    ASSERT_TRUE(std::regex_search(properties, version, std::regex("\nversion=(\\S+)")));
    ASSERT_TRUE(std::regex_search(json, manifest, std::regex("\"version\": \"([^\"]+)\"")));
    EXPECT_EQ(manifest[1], version[1]);
    EXPECT_NE(json.find("\"frameworks\": \"arduino\""), std::string::npos);
    EXPECT_NE(json.find("\"platforms\": \"atmelavr\""), std::string::npos);
    std::map<std::string, std::set<std::string>> folders, listed;
    for (const auto &example : std::filesystem::directory_iterator(library / "examples"))
        for (const auto &file : std::filesystem::directory_iterator(example.path()))
            folders[example.path().filename()].insert(file.path().filename());
    const std::regex entry("\"base\": \"examples/([^\"]+)\",\\s*\"files\": \\[([^\\]]*)\\]"),
        name("\"([^\"]+)\"");
    for (auto at = std::sregex_iterator(json.begin(), json.end(), entry);
         at != std::sregex_iterator(); ++at) {
        const std::string files = (*at)[2];
        for (auto file = std::sregex_iterator(files.begin(), files.end(), name);
             file != std::sregex_iterator(); ++file)
            listed[(*at)[1]].insert((*file)[1]);
    }
    EXPECT_EQ(listed, folders);
}

// SCL stays within Fast-mode on the clocks AVR boards run at, and as fast
// as TWBR allows there: the TWI holds SCL low for TWBR + 6 clocks (half its
// period, f / (16 + 2 TWBR), less 2 clocks), which must last 1.3 us, and
// high for TWBR + 10 clocks, which must last 0.6 us.
TEST(TwiClock, WithinFastMode) {
    for (const unsigned long f :
         {1000000UL, 6400000UL, 7372800UL, 8000000UL, 11059200UL, 12000000UL, 14745600UL,
          16000000UL, 16500000UL, 18432000UL, 20000000UL}) {
        const unsigned long twbr = TWI_BITRATE(f);
        EXPECT_GE((twbr + 6) * 1e9 / f, 1300.0) << f << " Hz: SCL low too short";
        EXPECT_GE((twbr + 10) * 1e9 / f, 600.0) << f << " Hz: SCL high too short";
        EXPECT_LE(f, 400000UL * (16 + 2 * twbr)) << f << " Hz: above 400 kHz";
        if (twbr > 0) {
            EXPECT_LT((twbr + 5) * 1e9 / f, 1300.0) << f << " Hz: slower than it need be";
        }
    }
}
