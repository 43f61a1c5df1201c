/* 4-wire SPI on the chip's SPI: a transport that knows no controller, with
 * CS, D/C and RESET on pins named at init. Built only on a chip that has
 * an SPI. */
#include "tesselon_driver.h"

#if TD_HAS_SPI

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

/* SS stays an output so that the SPI stays master; it is set first, so
 * that a CS on the SS pin ends at its own idle level. */
uint8_t td_spi_pins(tesselon_display *display, uint8_t cs_idle)
{
    return td_pin_write(SPI_SS, 1, 1) && td_pin_write(display->bus.spi.cs, cs_idle, 1) &&
           td_pin_write(display->bus.spi.reset, 1, 1) && td_pin_write(display->bus.spi.dc, 1, 1) &&
           td_pin_write(SPI_MOSI, 0, 1) && td_pin_write(SPI_SCK, 0, 1);
}

/* The SPI at the panel's clock, in mode 0, MSB first. The clock is set
 * each time, as another device on the SPI may want another. */
void td_spi_clock_set(const tesselon_display *display)
{
    const uint8_t clock = pgm_read_byte(&display->panel->spi_clock);
    SPCR = _BV(SPE) | _BV(MSTR) | (clock & ~TD_SPI2X);
    SPSR = clock >> 7;
    (void)SPSR; /* reading both clears a finished transfer's flag, which */
    (void)SPDR; /* another device's may have left, before the first wait */
}

/* Whether the byte on the SPI left in time; it mostly has, when asked. */
TD_INLINE uint8_t spi_done(void)
{
    if (SPSR & _BV(SPIF))
        return 1;
    uint16_t polls;
    for (polls = TD_POLLS_BEFORE_GIVING_UP; !(SPSR & _BV(SPIF)) && --polls;)
        ;
    return polls != 0;
}

/* A byte must be out before the next is written or CS and D/C change. */
uint8_t td_spi_ready(tesselon_display *display)
{
    if (display->state & TD_ON_THE_BUS && !spi_done())
        td_fail(display, TESSELON_DISPLAY_BUS_FAULT);
    display->state &= ~TD_ON_THE_BUS;
    return !TD_FAILED(display->state);
}

void td_spi_send(tesselon_display *display, const uint8_t *bytes, uint8_t count, uint8_t in_flash)
{
    if (!td_spi_ready(display))
        return;
    for (;;) {
        SPDR = TD_NEXT_BYTE(bytes, in_flash);
        if (!--count)
            break;
        if (!spi_done()) {
            td_fail(display, TESSELON_DISPLAY_BUS_FAULT);
            return;
        }
    }
    display->state |= TD_ON_THE_BUS;
}

/* Takes the next page byte from row registers r0 to r7 (the page's rows
 * from the top): their top bits, r0's into bit 0, and moves their other
 * bits up one; on the chip two instructions a row, through the carry. */
#ifdef __AVR__
#define COLUMN_OUT(page)                                                                           \
    __asm__("lsl %1\n\trol %0\n\tlsl %2\n\trol %0\n\tlsl %3\n\trol %0\n\tlsl %4\n\trol %0\n\t"     \
            "lsl %5\n\trol %0\n\tlsl %6\n\trol %0\n\tlsl %7\n\trol %0\n\tlsl %8\n\trol %0"         \
            : "=&r"(page), "+d"(r7), "+d"(r6), "+d"(r5), "+d"(r4), "+d"(r3), "+d"(r2), "+d"(r1),   \
              "+d"(r0))
#else
#define COLUMN_OUT(page) (page = column_out(&r0, &r1, &r2, &r3, &r4, &r5, &r6, &r7))
static uint8_t column_out(uint8_t *r0, uint8_t *r1, uint8_t *r2, uint8_t *r3, uint8_t *r4,
                          uint8_t *r5, uint8_t *r6, uint8_t *r7)
{
    uint8_t *rows[8] = {r0, r1, r2, r3, r4, r5, r6, r7};
    uint8_t page = 0;
    for (uint8_t bit = 0; bit < 8; bit++) {
        page |= (*rows[bit] >> 7) << bit;
        *rows[bit] <<= 1;
    }
    return page;
}
#endif

/* Reads count rows of a byte column, step bytes apart, to rows. */
TD_INLINE void read_column(td_flash_place byte, uint8_t step, uint8_t count, uint8_t *rows)
{
    for (; count; count--, byte += step)
        *rows++ = TD_FLASH_BYTE(byte);
}

/*
 * The SPI takes a byte in 16 cycles at its fastest, less than building 8
 * at once takes a byte, so each page byte is worked out while the one
 * before is on the bus: a byte column's rows are read once into registers
 * (column-wise, the other way round from the page-byte kernel), and each
 * page byte is taken from them on its way out.
 */
void td_spi_send_line(tesselon_display *display, td_page_line *line)
{
    if (!td_spi_ready(display))
        return;
    uint8_t rows[8] = {0};
    td_flash_place column = line->bytes;
    uint8_t skip = line->skip, columns = line->columns, waiting = 0;
    const uint8_t ink = td_ink(display, line);
    do {
        read_column(column++, line->step, line->to - line->from, rows + line->from);
        uint8_t r0 = rows[0], r1 = rows[1], r2 = rows[2], r3 = rows[3], r4 = rows[4], r5 = rows[5],
                r6 = rows[6], r7 = rows[7], page;
        const uint8_t room = 8 - skip;
        for (; skip; skip--)
            COLUMN_OUT(page); /* a column off the panel */
        uint8_t count = columns < room ? columns : room;
        columns -= count;
        do {
            COLUMN_OUT(page);
            if (waiting && !spi_done()) {
                td_fail(display, TESSELON_DISPLAY_BUS_FAULT);
                return;
            }
            SPDR = page ^ ink;
            waiting = 1;
        } while (--count);
    } while (columns);
    display->state |= TD_ON_THE_BUS;
}

#endif
