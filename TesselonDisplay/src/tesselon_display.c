/* The display driver: see tesselon_display.h. */
#include "tesselon_display.h"

#ifdef ARDUINO
#include <Arduino.h>
#endif
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <util/delay.h>

enum { COMMANDS, DATA };

/* In tesselon_display.state: the fault, kept in the bit where TWCR has TWINT,
 * which is never kept there; beside it, the TWI's idle bits. */
#define FAULT 0x80

/* Waits on the bus give up after this many microseconds and more: a few
 * milliseconds, far beyond any byte at 100 kHz. */
#define WAIT_LIMIT 3000

typedef void (*bus_init_fn)(tesselon_display *display); /* keeps a fault in display->state */
typedef void (*bus_begin_fn)(tesselon_display *display, uint8_t kind);
typedef void (*bus_send_fn)(tesselon_display *display, uint8_t byte);
typedef void (*bus_end_fn)(tesselon_display *display);

typedef struct display_bus {
    bus_init_fn init;
    bus_begin_fn begin; /* a stream of commands or of data */
    bus_send_fn send;
    bus_end_fn end;
} display_bus;

struct tesselon_display_panel {
    const display_bus *bus;
    const uint8_t *setup; /* the power-up sequence, up to display on */
    uint8_t setup_length;
    uint8_t rows;
    uint8_t first_column; /* the RAM column at the glass's left edge */
    uint8_t ram_columns;
    uint8_t spi_rate; /* SPCR's clock bits, SPI2X as bit 7 */
};

static const display_bus *bus_of(const tesselon_display *display)
{
    return (const display_bus *)pgm_read_ptr(&display->panel->bus);
}

static void bus_begin(tesselon_display *display, uint8_t kind)
{
    ((bus_begin_fn)pgm_read_ptr(&bus_of(display)->begin))(display, kind);
}

static void bus_end(tesselon_display *display)
{
    ((bus_end_fn)pgm_read_ptr(&bus_of(display)->end))(display);
}

/* TESSELON_DISPLAY_BUS_FAULT is FAULT's bit moved down. */
static uint8_t outcome(const tesselon_display *display) { return display->state >> 7; }

/* One delay loop for every pause, which keeps the code small. */
static void wait_ms(uint8_t ms)
{
    while (ms--)
        _delay_ms(1);
}

/* ---- I2C, on the chip's TWI, beside Arduino's Wire ---- */

#define TWI_START 0x08
#define TWI_REPEATED_START 0x10
#define TWI_ADDRESS_ACK 0x18
#define TWI_DATA_ACK 0x28
#define TWI_TIMED_OUT 0xFF
#define TWI_IDLE_BITS (_BV(TWEA) | _BV(TWEN) | _BV(TWIE))

/* Sends a stop, or turns the TWI off when even that does not end, which
 * lets go of both lines; then hands the TWI back as it was found. */
static void twi_release(tesselon_display *display)
{
    TWCR = _BV(TWINT) | _BV(TWEN) | _BV(TWSTO);
    for (uint16_t waited = 0; TWCR & _BV(TWSTO); waited++) {
        if (waited == WAIT_LIMIT) {
            TWCR = 0;
            display->state |= FAULT;
            break;
        }
        _delay_us(1);
    }
    TWCR = display->state & TWI_IDLE_BITS;
}

/* One step of the TWI, which must end in status expected or also, and in
 * time: else (no module answering, no pull-ups, a bus held low) the bus is
 * released and the fault kept. */
static void twi_step(tesselon_display *display, uint8_t control, uint8_t expected, uint8_t also)
{
    if (display->state & FAULT)
        return;
    TWCR = _BV(TWINT) | _BV(TWEN) | control;
    for (uint16_t waited = 0; !(TWCR & _BV(TWINT)); waited++) {
        if (waited == WAIT_LIMIT) {
            expected = also = TWI_TIMED_OUT; /* which TWSR never reads */
            break;
        }
        _delay_us(1);
    }
    const uint8_t status = TWSR & 0xF8;
    if (status != expected && status != also) {
        display->state |= FAULT;
        twi_release(display);
    }
}

static void i2c_init(tesselon_display *display)
{
    (void)display;
    if (!(TWCR & _BV(TWEN))) { /* else Wire has the TWI, at its own clock */
        TWSR = 0;              /* prescaler 1 */
        /* 400 kHz, or as fast as a clock below 6.4 MHz allows */
        TWBR = F_CPU >= 6400000UL ? (F_CPU / 400000UL - 16) / 2 : 0;
    }
    wait_ms(100); /* the module's own power-up reset, which I2C modules do by themselves */
}

/* A byte of the stream, the address too: simavr 1.6 reports the data's
 * status after the address, and on a chip neither status can follow the
 * other's byte, so taking both costs nothing. */
static void i2c_send(tesselon_display *display, uint8_t byte)
{
    if (display->state & FAULT)
        return;
    TWDR = byte;
    twi_step(display, 0, TWI_ADDRESS_ACK, TWI_DATA_ACK);
}

/*
 * A stream of commands or of data, behind its control byte (0x00 or 0x40,
 * never with the Co bit). Wire's interrupt stays off while it runs.
 */
static void i2c_begin(tesselon_display *display, uint8_t kind)
{
    if (display->state & FAULT)
        return;
    display->state = TWCR & TWI_IDLE_BITS;
    twi_step(display, _BV(TWSTA), TWI_START, TWI_REPEATED_START);
    i2c_send(display, display->pins[0] << 1);
    i2c_send(display, kind == DATA ? 0x40 : 0x00);
}

static void i2c_end(tesselon_display *display)
{
    if (!(display->state & FAULT))
        twi_release(display);
}

static const display_bus i2c_bus PROGMEM = {i2c_init, i2c_begin, i2c_send, i2c_end};

/* ---- 4-wire SPI, on the chip's SPI ---- */

#ifdef ARDUINO
#define SPI_MOSI MOSI
#define SPI_SCK SCK
#define SPI_SS SS
#else
#if defined(__AVR_ATmega2560__) || defined(__AVR_ATmega1280__) || defined(__AVR_ATmega32U4__)
#define SPI_MOSI TESSELON_PIN('B', 2)
#define SPI_SCK TESSELON_PIN('B', 1)
#define SPI_SS TESSELON_PIN('B', 0)
#else /* ATmega328P, 168, 88, 8 */
#define SPI_MOSI TESSELON_PIN('B', 3)
#define SPI_SCK TESSELON_PIN('B', 5)
#define SPI_SS TESSELON_PIN('B', 2)
#endif
#endif

enum { CS, DC, RESET };

/* A pin's output register and bit, 0 for a number that names no pin. */
static volatile uint8_t *pin_port(uint8_t pin, uint8_t *mask)
{
#ifdef ARDUINO
    if (pin >= NUM_DIGITAL_PINS || digitalPinToPort(pin) == NOT_A_PIN)
        return 0;
    *mask = digitalPinToBitMask(pin);
    return portOutputRegister(digitalPinToPort(pin));
#else
    if ((pin >> 3) > 'G' - 'A')
        return 0;
    *mask = _BV(pin & 7);
    return &_SFR_IO8((pin >> 3) * 3 + 2); /* PINx, DDRx, PORTx from PINA at I/O 0 */
#endif
}

/* The direction register sits just below the output register. Interrupts
 * stay off while a port changes, since a port beyond the I/O space (ports
 * H to L of the ATmega2560) takes a read and a write. A line that is not
 * wired (TESSELON_NO_PIN) takes nothing and is no fault. */
static uint8_t pin_write(uint8_t pin, uint8_t high, uint8_t output)
{
    if (pin == TESSELON_NO_PIN)
        return 1;
    uint8_t mask;
    volatile uint8_t *port = pin_port(pin, &mask);
    if (!port)
        return 0;
    const uint8_t sreg = SREG;
    cli();
    if (high)
        *port |= mask;
    else
        *port &= ~mask;
    if (output)
        port[-1] |= mask; /* after the level, so that the pin never shows the other one */
    SREG = sreg;
    return 1;
}

static void spi_init(tesselon_display *display)
{
    /* SS stays an output so that the SPI stays master. D/C must be wired:
     * without it commands would be taken for pixels. */
    if (display->pins[DC] == TESSELON_NO_PIN || !pin_write(display->pins[CS], 1, 1) ||
        !pin_write(display->pins[RESET], 1, 1) || !pin_write(display->pins[DC], 1, 1) ||
        !pin_write(SPI_SS, 1, 1) || !pin_write(SPI_MOSI, 0, 1) || !pin_write(SPI_SCK, 0, 1)) {
        display->state = FAULT;
        return;
    }
    if (display->pins[RESET] == TESSELON_NO_PIN) {
        wait_ms(100); /* reset with the board: the module's own power-up reset, as over I2C */
        return;
    }
    wait_ms(1);
    pin_write(display->pins[RESET], 0, 0); /* a reset pulse of at least 10 us */
    wait_ms(1);
    pin_write(display->pins[RESET], 1, 0);
    wait_ms(5); /* the controller's own reset */
}

static void spi_begin(tesselon_display *display, uint8_t kind)
{
    if (display->state & FAULT)
        return;
    /* The clock is set each time, as another device on the SPI may want another. */
    const uint8_t rate = pgm_read_byte(&display->panel->spi_rate);
    SPCR = _BV(SPE) | _BV(MSTR) | (rate & 3); /* mode 0, MSB first */
    SPSR = rate >> 7;
    pin_write(display->pins[DC], kind == DATA, 0);
    pin_write(display->pins[CS], 0, 0);
}

/* CS and D/C stay as they are until the byte is out. */
static void spi_send(tesselon_display *display, uint8_t byte)
{
    if (display->state & FAULT)
        return;
    SPDR = byte;
    for (uint16_t waited = 0; !(SPSR & _BV(SPIF)); waited++) {
        if (waited == WAIT_LIMIT) {
            display->state |= FAULT;
            return;
        }
        _delay_us(1);
    }
}

static void spi_end(tesselon_display *display) { pin_write(display->pins[CS], 1, 0); }

static const display_bus spi_bus PROGMEM = {spi_init, spi_begin, spi_send, spi_end};

/* The SPI clock bits for the fastest clock a controller takes, at most max Hz. */
#define SPI_RATE(max)                                                                              \
    (F_CPU / 2 <= (max)    ? 0x80                                                                  \
     : F_CPU / 4 <= (max)  ? 0x00                                                                  \
     : F_CPU / 8 <= (max)  ? 0x81                                                                  \
     : F_CPU / 16 <= (max) ? 0x01                                                                  \
     : F_CPU / 32 <= (max) ? 0x82                                                                  \
     : F_CPU / 64 <= (max) ? 0x02                                                                  \
                           : 0x03)

/* ---- The controllers ---- */

#define SSD1306_SETUP(rows, com_pins, contrast)                                                    \
    0xAE,               /* display off */                                                          \
        0xD5, 0x80,     /* clock: divide by 1, oscillator at its reset value */                    \
        0xA8, rows - 1, /* multiplex ratio */                                                      \
        0xD3, 0x00,     /* display offset 0 */                                                     \
        0x40, 0xE3,     /* start line 0; simavr 1.6 takes 0x40 for two bytes, so a NOP follows */  \
        0x8D, 0x14,     /* charge pump on: the panel's voltage from 3.3 V */                       \
        0x20, 0x02,     /* page addressing, as the SH1106 has it */                                \
        0xA1,           /* segment remap: column 127 to SEG0 */                                    \
        0xC8,           /* COM scan from COM[N-1] to COM0 */                                       \
        0xDA, com_pins, /* COM pins: alternative (0x12) or sequential (0x02) */                    \
        0x81, contrast, /* contrast */                                                             \
        0xD9, 0xF1,     /* discharge 1 clock, pre-charge 15 clocks, for the charge pump */         \
        0xDB, 0x20,     /* VCOMH deselect level: 0.77 VCC */                                       \
        0xA4,           /* show the RAM */                                                         \
        0xA6            /* normal display: 1-bits lit */

static const uint8_t ssd1306_setup[] PROGMEM = {SSD1306_SETUP(64, 0x12, 0xCF)};
static const uint8_t ssd1306_32_setup[] PROGMEM = {SSD1306_SETUP(32, 0x02, 0x8F)};

/* The SH1106 has no addressing modes and no charge pump command. */
static const uint8_t sh1106_setup[] PROGMEM = {
    0xAE,       /* display off */
    0xD5, 0x50, /* clock: divide by 1, oscillator at its reset value */
    0xA8, 0x3F, /* multiplex ratio: 64 rows */
    0xD3, 0x00, /* display offset 0 */
    0x40,       /* start line 0 */
    0xAD, 0x8B, /* DC-DC converter on */
    0xA1,       /* segment remap: column 131 to SEG0 */
    0xC8,       /* COM scan from COM63 to COM0 */
    0xDA, 0x12, /* COM pads: alternative configuration */
    0x81, 0x80, /* contrast: the reset value */
    0xD9, 0x22, /* discharge 2 clocks, pre-charge 2 clocks: the reset value */
    0xDB, 0x35, /* VCOM deselect level: the reset value */
    0xA4,       /* show the RAM */
    0xA6,       /* normal display: 1-bits lit */
};

/* The SH1106's 132 RAM columns: the usual 128-pixel glass shows 2 to 129. */
#define PANEL(name, bus, setup, rows, first, columns, clock)                                       \
    const tesselon_display_panel name PROGMEM = {&bus,  setup,   sizeof setup,   rows,             \
                                                 first, columns, SPI_RATE(clock)}

PANEL(tesselon_display_ssd1306_i2c, i2c_bus, ssd1306_setup, 64, 0, 128, 10000000UL);
PANEL(tesselon_display_ssd1306_32_i2c, i2c_bus, ssd1306_32_setup, 32, 0, 128, 10000000UL);
PANEL(tesselon_display_sh1106_i2c, i2c_bus, sh1106_setup, 64, 2, 132, 4000000UL);
PANEL(tesselon_display_ssd1306_spi, spi_bus, ssd1306_setup, 64, 0, 128, 10000000UL);
PANEL(tesselon_display_ssd1306_32_spi, spi_bus, ssd1306_32_setup, 32, 0, 128, 10000000UL);
PANEL(tesselon_display_sh1106_spi, spi_bus, sh1106_setup, 64, 2, 132, 4000000UL);

/* ---- Drawing ---- */

uint8_t tesselon_display_rows(const tesselon_display *display)
{
    return pgm_read_byte(&display->panel->rows);
}

/* Where the next data go: page addressing, which both controllers take. */
static void go_to(tesselon_display *display, bus_send_fn send, uint8_t page, uint8_t ram_column)
{
    bus_begin(display, COMMANDS);
    send(display, 0xB0 | page);
    send(display, ram_column & 15);
    send(display, 0x10 | ram_column >> 4);
    bus_end(display);
}

/* A page at a time, as page addressing stays within its page. */
uint8_t tesselon_display_clear(tesselon_display *display)
{
    if (display->state & FAULT)
        return outcome(display);
    const bus_send_fn send = (bus_send_fn)pgm_read_ptr(&bus_of(display)->send);
    const uint8_t columns = pgm_read_byte(&display->panel->ram_columns);
    for (uint8_t page = 0; page < tesselon_display_rows(display) / 8; page++) {
        go_to(display, send, page, 0);
        bus_begin(display, DATA);
        for (uint8_t column = 0; column < columns; column++)
            send(display, 0);
        bus_end(display);
    }
    return outcome(display);
}

static uint8_t start(tesselon_display *display, const tesselon_display_panel *panel)
{
    display->panel = panel;
    display->state = 0;
    const display_bus *bus = bus_of(display);
    ((bus_init_fn)pgm_read_ptr(&bus->init))(display);
    const bus_send_fn send = (bus_send_fn)pgm_read_ptr(&bus->send);
    const uint8_t *setup = (const uint8_t *)pgm_read_ptr(&panel->setup);
    bus_begin(display, COMMANDS);
    for (uint8_t i = 0; i < pgm_read_byte(&panel->setup_length); i++)
        send(display, pgm_read_byte(&setup[i]));
    bus_end(display);
    tesselon_display_clear(display); /* the RAM holds noise after power-up */
    /* The panel voltage, from the charge pump or the DC-DC converter turned
     * on above, settles before the panel is lit; where it already has, the
     * pause costs nothing but time. */
    wait_ms(100);
    bus_begin(display, COMMANDS);
    send(display, 0xAF); /* display on */
    bus_end(display);
    return outcome(display);
}

uint8_t tesselon_display_init_i2c(tesselon_display *display, const tesselon_display_panel *panel,
                                  uint8_t address)
{
    display->pins[0] = address;
    return start(display, panel);
}

uint8_t tesselon_display_init_spi(tesselon_display *display, const tesselon_display_panel *panel,
                                  uint8_t cs, uint8_t dc, uint8_t reset)
{
    display->pins[CS] = cs;
    display->pins[DC] = dc;
    display->pins[RESET] = reset;
    return start(display, panel);
}

uint8_t tesselon_display_draw(tesselon_display *display, const uint8_t *picture, int16_t x,
                              int16_t y)
{
    const uint8_t rows = tesselon_display_rows(display);
    const uint8_t width = pgm_read_byte(&picture[0]);
    const uint8_t height = pgm_read_byte(&picture[1]);
    /* Nothing to draw unless the picture reaches into the panel; past this
     * test x and y are below 128, so adding a width or height cannot overflow. */
    if (display->state & FAULT || x >= TESSELON_DISPLAY_COLUMNS || y >= rows || x + width <= 0 ||
        y + height <= 0)
        return outcome(display);
    const uint8_t bytes_per_row = (width + 7u) / 8;
    /* The panel's columns left to right - 1, and its rows up to end - 1,
     * that the picture covers. */
    const uint8_t left = x < 0 ? 0 : x;
    const uint8_t right =
        x + width < TESSELON_DISPLAY_COLUMNS ? x + width : TESSELON_DISPLAY_COLUMNS;
    const uint8_t end = y + height < rows ? y + height : rows;

    const bus_send_fn send = (bus_send_fn)pgm_read_ptr(&bus_of(display)->send);
    const uint8_t first_column = pgm_read_byte(&display->panel->first_column);
    for (uint8_t page = y < 0 ? 0 : y / 8; page * 8 < end; page++) {
        /* The page's bits from..to - 1 hold the picture's rows first + from
         * onwards; bit 0 is the page's top row. */
        const int16_t first = page * 8 - y;
        const uint8_t from = first < 0 ? -first : 0;
        const uint8_t to = height - first < 8 ? height - first : 8;
        const uint8_t *rows_from = picture + 2 + (first + from) * bytes_per_row;
        go_to(display, send, page, first_column + left);
        bus_begin(display, DATA);
        for (uint8_t column = left; column < right; column++) {
            const uint8_t px = column - x;
            const uint8_t mask = 0x80 >> (px & 7); /* leftmost pixel in the most significant bit */
            const uint8_t *byte = rows_from + px / 8;
            uint8_t out = 0;
            for (uint8_t bit = from; bit < to; bit++, byte += bytes_per_row)
                if (pgm_read_byte(byte) & mask)
                    out |= 1 << bit;
            send(display, out);
        }
        bus_end(display);
    }
    return outcome(display);
}
