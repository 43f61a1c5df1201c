/* SSD1306 OLED driver: see ssd1306.h. */
#include "ssd1306.h"

#include <avr/io.h>
#include <avr/pgmspace.h>
#include <util/delay.h>

#define PAGES (SSD1306_ROWS / 8)

enum { COMMANDS, DATA };

#ifdef SSD1306_SPI

#define CS _BV(PB2) /* also SS, which must be an output for the SPI to stay master */
#define DC _BV(PB1)
#define RESET _BV(PB0)

static void bus_init(void)
{
    DDRB |= _BV(PB3) | _BV(PB5) | CS | DC | RESET;
    PORTB |= CS | RESET;
    SPCR = _BV(SPE) | _BV(MSTR); /* mode 0, MSB first */
    SPSR = _BV(SPI2X);           /* F_CPU / 2: 8 MHz, within the SSD1306's 10 MHz */
    _delay_ms(1);
    PORTB &= ~RESET; /* a reset pulse of at least 3 us */
    _delay_us(10);
    PORTB |= RESET;
    _delay_us(10);
}

static void bus_begin(uint8_t kind)
{
    if (kind == DATA)
        PORTB |= DC;
    else
        PORTB &= ~DC;
    PORTB &= ~CS;
}

/* CS and D/C stay as they are until the byte is out. */
static void bus_send(uint8_t byte)
{
    SPDR = byte;
    loop_until_bit_is_set(SPSR, SPIF);
}

static void bus_end(void) { PORTB |= CS; }

#else /* I2C */

#define ADDRESS 0x3C

static void twi_go(uint8_t control)
{
    TWCR = _BV(TWINT) | _BV(TWEN) | control;
    loop_until_bit_is_set(TWCR, TWINT);
}

static void bus_init(void)
{
    TWSR = 0;                           /* prescaler 1 */
    TWBR = (F_CPU / 400000UL - 16) / 2; /* 400 kHz */
    _delay_ms(100); /* the module's own power-up reset, which I2C modules do by themselves */
}

static void bus_send(uint8_t byte)
{
    TWDR = byte;
    twi_go(0);
}

/*
 * One transaction a stream of commands or of data, each behind its own
 * control byte (0x00 or 0x40, never with the Co bit): simulators need no
 * more than that, and a chip takes it as it takes any other stream.
 */
static void bus_begin(uint8_t kind)
{
    twi_go(_BV(TWSTA));
    bus_send(ADDRESS << 1);
    bus_send(kind == DATA ? 0x40 : 0x00);
}

static void bus_end(void)
{
    TWCR = _BV(TWINT) | _BV(TWEN) | _BV(TWSTO);
    loop_until_bit_is_clear(TWCR, TWSTO);
}

#endif

/* The power-up sequence, up to display on. */
static const uint8_t setup[] PROGMEM = {
    0xAE,                   /* display off */
    0xD5, 0x80,             /* clock: divide by 1, oscillator at its reset value */
    0xA8, SSD1306_ROWS - 1, /* multiplex ratio */
    0xD3, 0x00,             /* display offset 0 */
    0x40, 0xE3, /* start line 0; simavr 1.6 takes 0x40 for two bytes, so a NOP follows */
    0x8D, 0x14, /* charge pump on: the panel's voltage from 3.3 V */
    0x20, 0x00, /* horizontal addressing */
    0xA1,       /* segment remap: column 127 to SEG0 */
    0xC8,       /* COM scan from COM[N-1] to COM0 */
#if SSD1306_ROWS == 64
    0xDA, 0x12, /* COM pins: alternative configuration */
    0x81, 0xCF, /* contrast */
#else
    0xDA, 0x02, /* COM pins: sequential configuration */
    0x81, 0x8F, /* contrast */
#endif
    0xD9, 0xF1, /* pre-charge: 1 clock, discharge 15 clocks, for the charge pump */
    0xDB, 0x20, /* VCOMH deselect level: 0.77 VCC */
    0xA4,       /* show the RAM */
    0xA6,       /* normal display: 1-bits lit */
};

/* Sets where the next data go: one page, columns first to last. */
static void window(uint8_t page, uint8_t first, uint8_t last)
{
    bus_begin(COMMANDS);
    bus_send(0x21);
    bus_send(first);
    bus_send(last);
    bus_send(0x22);
    bus_send(page);
    bus_send(page);
    bus_end();
}

void ssd1306_init(void)
{
    bus_init();
    bus_begin(COMMANDS);
    for (uint8_t i = 0; i < sizeof setup; i++)
        bus_send(pgm_read_byte(&setup[i]));
    bus_end();
    ssd1306_clear(); /* the RAM holds noise after power-up */
    bus_begin(COMMANDS);
    bus_send(0xAF); /* display on */
    bus_end();
}

/*
 * A page at a time, 128 bytes a stream: simavr 1.6 counts the bytes of an
 * I2C transaction in 8 bits, and wraps at column 127 whatever the window.
 */
void ssd1306_clear(void)
{
    for (uint8_t page = 0; page < PAGES; page++) {
        window(page, 0, SSD1306_COLUMNS - 1);
        bus_begin(DATA);
        for (uint8_t column = 0; column < SSD1306_COLUMNS; column++)
            bus_send(0);
        bus_end();
    }
}

/* Byte `byte_column` of the picture's rows first to first + 7, 0 for rows
 * outside the picture: bit 0 of a page's byte is its top row. */
static void load_rows(uint8_t bits[8], const uint8_t *rows, int16_t first, uint8_t height,
                      uint8_t bytes_per_row, uint8_t byte_column)
{
    for (uint8_t i = 0; i < 8; i++) {
        int16_t row = first + i;
        bits[i] = row >= 0 && row < height
                      ? pgm_read_byte(rows + (uint16_t)row * bytes_per_row + byte_column)
                      : 0;
    }
}

void ssd1306_draw(const uint8_t *picture, int16_t x, int16_t y)
{
    const uint8_t width = pgm_read_byte(&picture[0]);
    const uint8_t height = pgm_read_byte(&picture[1]);
    const uint8_t bytes_per_row = (width + 7u) / 8;
    /* The panel's columns left to right - 1 and rows top to bottom - 1 that
     * the picture covers. */
    const int16_t left = x < 0 ? 0 : x;
    const int16_t right = x + width < SSD1306_COLUMNS ? x + width : SSD1306_COLUMNS;
    const int16_t top = y < 0 ? 0 : y;
    const int16_t bottom = y + height < SSD1306_ROWS ? y + height : SSD1306_ROWS;
    if (left >= right || top >= bottom)
        return;

    for (uint8_t page = top / 8; page <= (bottom - 1) / 8; page++) {
        const int16_t first_row = page * 8 - y; /* the picture's row at bit 0 */
        uint8_t bits[8];
        uint8_t mask = 0;
        window(page, left, right - 1);
        bus_begin(DATA);
        for (int16_t column = left; column < right; column++) {
            const uint8_t px = column - x;
            if (column == left || (px & 7) == 0) {
                load_rows(bits, picture + 2, first_row, height, bytes_per_row, px / 8);
                mask = 0x80 >> (px & 7); /* leftmost pixel in the most significant bit */
            }
            /* Column px of the eight rows, top row into bit 0. */
            uint8_t out = 0;
            for (uint8_t i = 0; i < 8; i++) {
                out >>= 1;
                if (bits[i] & mask)
                    out |= 0x80;
            }
            bus_send(out);
            mask >>= 1;
        }
        bus_end();
    }
}
