/* The display driver: see tesselon_display.h. */
#include "tesselon_display.h"

#ifdef ARDUINO
#include <Arduino.h>
#endif
#include <stddef.h>

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <util/delay.h>

/* A stream's kind: for I2C its control byte, for SPI its D/C level. */
enum { COMMANDS = 0x00, DATA = 0x40 };

/* In tesselon_display.state: bit 0 a byte handed to the bus whose end is
 * still to be waited for; above it the call's result, 0 while all goes
 * well. Each call starts afresh, so that a fault passes with its call. */
#define ON_THE_BUS 0x01
#define FAILED(state) ((state) > ON_THE_BUS)

/* Keeps a call's result; the first result is the only one, as every step
 * after a failure is left out. */
static void fail(tesselon_display *display, uint8_t result) { display->state |= result << 1; }

/* Waits on the bus give up after this many polls of 6 cycles and more:
 * 6 ms and more at any clock, far beyond any byte at 100 kHz. */
#define WAIT_POLLS ((uint16_t)(F_CPU / 1000))

/* Polls while busy holds, WAIT_POLLS times at the most; polls is 0 when
 * the wait gave up. The polls run without a pause, so that the next byte
 * follows the moment the bus is free. */
#define POLL_WHILE(busy, polls) for (polls = WAIT_POLLS; (busy) && --polls;)

/*
 * The driver's own tables in flash. On a chip with more than 64 KB of
 * flash, the linker puts sections named .progmem.gcc_* first, in the
 * lowest 64 KB, where a 16-bit flash read finds them, whatever size the
 * sketch's own data in flash grows to. Each table has a section of its
 * own, so that a table no call names is left out.
 */
#define LOW_FLASH(name) __attribute__((__section__(".progmem.gcc_tesselon." #name)))

/*
 * A picture's place in flash. Where there is more than 64 KB of it (the
 * ATmega2560), a picture may lie above the first 64 KB, out of a 16-bit
 * pointer's reach: there the place is a far address, which
 * pgm_get_far_address gives, read with ELPM.
 */
#if defined(FLASHEND) && FLASHEND > 0xFFFF
#define FAR_FLASH 1
typedef uint32_t flash_place;
#define FLASH_BYTE(place) pgm_read_byte_far(place)
#else
#define FAR_FLASH 0
typedef const uint8_t *flash_place;
#define FLASH_BYTE(place) pgm_read_byte(place)
#endif

/* For the small functions on the way of every byte. */
#define INLINE static inline __attribute__((always_inline))

typedef void (*bus_init_fn)(tesselon_display *display); /* keeps a failure in display->state */
typedef void (*bus_begin_fn)(tesselon_display *display, uint8_t kind);
/* Sends count bytes from RAM, at least 1, or from flash with FROM_FLASH
 * added to count; PAGE_ADDRESS added marks a page address (see
 * begin_page), which a controller with addressing of its own translates. Each waits only for the
 * one before it, and the last may still be on its way when it returns, so that the next bytes are
 * worked out meanwhile. */
#define FROM_FLASH 0x80
#define PAGE_ADDRESS 0x40
#define COUNT(count) ((count) & ~(FROM_FLASH | PAGE_ADDRESS))
#define NEXT_BYTE(bytes, flash) ((flash) ? pgm_read_byte((bytes)++) : *(bytes)++)
typedef void (*bus_send_fn)(tesselon_display *display, const uint8_t *bytes, uint8_t count);
typedef void (*bus_end_fn)(tesselon_display *display); /* after the last byte has left */
struct page_line;
typedef void (*bus_send_line_fn)(tesselon_display *display, struct page_line *line);

typedef struct display_bus {
    bus_init_fn init;
    bus_begin_fn begin; /* a stream of commands or of data */
    bus_send_fn send;
    bus_send_line_fn send_line; /* a picture's page line */
    bus_end_fn end;
} display_bus;

/* In a panel's setting byte: SPCR's SPI clock bits (bits 0 and 1) and
 * SPI2X (bit 7), and between them its controller's kind and whether its
 * RESET must be wired, as its registers are undefined until a reset pulse. */
#define SPI_CLOCK_BITS 0x03
#define KIND_SHIFT 2
enum { OLED, PCD8544, ST7920, KIND = 0x03 };
#define KIND_OF(kind) ((kind) << KIND_SHIFT)
#define NEEDS_RESET 0x10

struct tesselon_display_panel {
    display_bus bus;       /* the bus's functions, read from the panel at each call */
    uint8_t columns, rows; /* the glass */
    const uint8_t *setup;  /* the power-up sequence up to the RAM's clearing */
    uint8_t setup_length;
    uint8_t display_on;   /* the command that turns the glass on, once the RAM is cleared */
    uint8_t first_column; /* the RAM column at the glass's left edge */
    uint8_t ram_columns;
    uint8_t setting; /* the SPI clock, the controller's kind, NEEDS_RESET */
};

static const display_bus *bus_of(const tesselon_display *display) { return &display->panel->bus; }

static void bus_begin(tesselon_display *display, uint8_t kind)
{
    ((bus_begin_fn)pgm_read_ptr(&bus_of(display)->begin))(display, kind);
}

static void bus_end(tesselon_display *display)
{
    ((bus_end_fn)pgm_read_ptr(&bus_of(display)->end))(display);
}

static uint8_t outcome(const tesselon_display *display) { return display->state >> 1; }

/* One delay loop for every pause, which keeps the code small. */
static void wait_ms(uint8_t ms)
{
    while (ms--)
        _delay_ms(1);
}

/* ---- Page bytes ---- */

/*
 * One page's stretch of a picture as a bus sends it: columns page bytes
 * (at least 1), the first skip columns of the first byte column left out.
 * Byte column by byte column, its rows from..to - 1 (step bytes apart in
 * flash, from bytes on) become the page's bits from..to - 1; the other bits
 * are dark, and with from == to (no bytes read) the whole stretch is.
 */
typedef struct page_line {
    flash_place bytes;
    uint8_t step, from, to, skip, columns;
    uint8_t out[8]; /* room for a byte column's page bytes on their way */
} page_line;

/* Moves a picture row into 8 page bytes p0 to p7: each page byte's bits
 * move down one, and the row's pixels go in at their top bits, the
 * leftmost pixel's into p0; on the chip two instructions a pixel, through
 * the carry. */
#define ROW_IN_ASM                                                                                 \
    "lsl %[row]\n\tror %[p0]\n\tlsl %[row]\n\tror %[p1]\n\tlsl %[row]\n\tror %[p2]\n\t"            \
    "lsl %[row]\n\tror %[p3]\n\tlsl %[row]\n\tror %[p4]\n\tlsl %[row]\n\tror %[p5]\n\t"            \
    "lsl %[row]\n\tror %[p6]\n\tlsl %[row]\n\tror %[p7]\n\t"
#define PAGE_OPERANDS                                                                              \
    [p0] "+r"(p0), [p1] "+r"(p1), [p2] "+r"(p2), [p3] "+r"(p3), [p4] "+r"(p4), [p5] "+r"(p5),      \
        [p6] "+r"(p6), [p7] "+r"(p7)
#define PIXEL_IN(row, p) (p = (uint8_t)(p >> 1 | (row & 0x80)), row = (uint8_t)(row << 1))
#define ROW_IN_C(row)                                                                              \
    (PIXEL_IN(row, p0), PIXEL_IN(row, p1), PIXEL_IN(row, p2), PIXEL_IN(row, p3),                   \
     PIXEL_IN(row, p4), PIXEL_IN(row, p5), PIXEL_IN(row, p6), PIXEL_IN(row, p7))

/*
 * The 8 page bytes of the line's byte column at byte, the leftmost pixel's
 * first, to out: its rows go in from the top, then dark rows, 8 - from in
 * all, so that they end at the page's bits from..to - 1 and the bits above
 * and below them are dark. Each flash byte is read once, and the page bytes
 * are built in registers: on the chip 28 cycles a row.
 */
static void __attribute__((noinline))
page_bytes(const page_line *line, flash_place byte, uint8_t *out)
{
    const uint8_t step = line->step;
    uint8_t count = line->to - line->from, rows = 8 - line->from;
    uint8_t p0 = 0, p1 = 0, p2 = 0, p3 = 0, p4 = 0, p5 = 0, p6 = 0, p7 = 0, row;
#if defined(__AVR__) && !FAR_FLASH
    __asm__ __volatile__("1: clr %[row]\n\t"
                         "cp %[count], __zero_reg__\n\t"
                         "breq 2f\n\t"
                         "lpm %[row], Z\n\t"
                         "add %A[byte], %[step]\n\t"
                         "adc %B[byte], __zero_reg__\n\t"
                         "dec %[count]\n\t"
                         "2: " ROW_IN_ASM "dec %[rows]\n\t"
                         "brne 1b\n\t"
                         "st %a[out]+, %[p0]\n\tst %a[out]+, %[p1]\n\tst %a[out]+, %[p2]\n\t"
                         "st %a[out]+, %[p3]\n\tst %a[out]+, %[p4]\n\tst %a[out]+, %[p5]\n\t"
                         "st %a[out]+, %[p6]\n\tst %a[out], %[p7]"
                         : [row] "=&r"(row), [byte] "+z"(byte), [count] "+r"(count),
                           [rows] "+r"(rows), [out] "+x"(out), PAGE_OPERANDS
                         : [step] "r"(step)
                         : "memory");
#else
    for (; rows; rows--) {
        row = 0;
        if (count) {
            row = FLASH_BYTE(byte);
            byte += step;
            count--;
        }
        ROW_IN_C(row);
    }
    *out++ = p0, *out++ = p1, *out++ = p2, *out++ = p3;
    *out++ = p4, *out++ = p5, *out++ = p6, *out = p7;
#endif
}

/* A page line a byte column at a time: 8 page bytes built, then sent. */
static void send_line_in_blocks(tesselon_display *display, page_line *line, bus_send_fn send)
{
    uint8_t *const out = line->out;
    flash_place column = line->bytes;
    uint8_t first = line->skip, columns = line->columns;
    for (;;) {
        page_bytes(line, column++, out);
        uint8_t count = 8 - first;
        if (count > columns)
            count = columns;
        send(display, out + first, count);
        if (!(columns -= count))
            return;
        first = 0;
    }
}

/* ---- I2C, on the chip's TWI, beside Arduino's Wire ---- */

#define TWI_START 0x08
#define TWI_REPEATED_START 0x10
#define TWI_ADDRESS_ACK 0x18
#define TWI_DATA_ACK 0x28
#define TWI_ARBITRATION_LOST 0x38
#define TWI_SLAVE_FIRST 0x60 /* from here up, Wire's slave transfers */
#define TWI_NO_STATE 0xF8    /* between transfers */
#define TWI_TIMED_OUT 0xFF
#define TWI_IDLE_BITS (_BV(TWEA) | _BV(TWEN) | _BV(TWIE))

/* Over I2C, pins holds the address to write to, the stream's control byte
 * and TWCR's idle bits as the TWI was found (Wire's, or none). */
enum { ADDRESS, CONTROL, TWI_AS_FOUND };

/* The TWI's lines as port bits, for clearing a bus held low. */
#if defined(__AVR_ATmega2560__) || defined(__AVR_ATmega1280__) || defined(__AVR_ATmega32U4__)
#define TWI_PORT PORTD
#define TWI_DDR DDRD
#define TWI_PIN PIND
#define TWI_SDA _BV(1)
#define TWI_SCL _BV(0)
#elif defined(__AVR_ATmega644P__) || defined(__AVR_ATmega1284P__)
#define TWI_PORT PORTC
#define TWI_DDR DDRC
#define TWI_PIN PINC
#define TWI_SDA _BV(1)
#define TWI_SCL _BV(0)
#else /* ATmega328P, 168, 88, 8 */
#define TWI_PORT PORTC
#define TWI_DDR DDRC
#define TWI_PIN PINC
#define TWI_SDA _BV(4)
#define TWI_SCL _BV(5)
#endif

/* Starts a step of the TWI; Wire's interrupt stays off while it runs. */
static void twi_go(uint8_t control) { TWCR = _BV(TWINT) | _BV(TWEN) | control; }

/* Half a clock at 100 kHz, with a line pulled low or let go: a line is
 * pulled low as an output (its output bit 0) and let go as an input, for
 * the bus's resistors to pull up. */
static void __attribute__((noinline)) twi_half_clock(void) { _delay_us(5); }
#define TWI_LOW(line) (TWI_DDR |= (line), twi_half_clock())
#define TWI_LET_GO(line) (TWI_DDR &= ~(line), twi_half_clock())

/*
 * Clears a bus that a transfer left in a muddle, as NXP's I2C-bus manual
 * UM10204 has it. The TWI is turned off, which lets go of both lines; a
 * module that still holds SDA low, stuck in the middle of a byte it sends,
 * gets up to nine clocks on SCL to finish it, and then a STOP, so that
 * every module starts afresh.
 */
static void twi_clear_bus(void)
{
    TWCR = 0;
    const uint8_t pullups = TWI_PORT;
    TWI_PORT &= ~TWI_SDA;
    TWI_PORT &= ~TWI_SCL;
    for (uint8_t clocks = 9; clocks && !(TWI_PIN & TWI_SDA); clocks--) {
        TWI_LOW(TWI_SCL);
        TWI_LET_GO(TWI_SCL);
    }
    TWI_LOW(TWI_SCL); /* the STOP: SDA rises while SCL is high */
    TWI_LOW(TWI_SDA);
    TWI_LET_GO(TWI_SCL);
    TWI_LET_GO(TWI_SDA);
    TWI_PORT |= pullups & (TWI_SDA | TWI_SCL);
}

/* Sends a STOP; a STOP that does not end is a bus held low. Then the TWI
 * is handed back as it was found. */
static void twi_release(tesselon_display *display)
{
    twi_go(_BV(TWSTO));
    uint16_t polls;
    POLL_WHILE(TWCR & _BV(TWSTO), polls);
    if (!polls) {
        fail(display, TESSELON_DISPLAY_BUS_FAULT);
        twi_clear_bus();
    }
    TWCR = display->pins[TWI_AS_FOUND];
}

/* Waits for the step under way: its status, or TWI_TIMED_OUT (which TWSR
 * never reads) when it does not end in time. */
INLINE uint8_t twi_wait(void)
{
    uint16_t polls;
    POLL_WHILE(!(TWCR & _BV(TWINT)), polls);
    return polls ? TWSR & 0xF8 : TWI_TIMED_OUT;
}

/*
 * Ends a step that went wrong: no module answering, no pull-ups, a bus
 * held low (the bus is cleared), or another master that won the bus,
 * which is left to it with no STOP. What went wrong is kept, and the TWI
 * is handed back as it was found.
 */
static uint8_t twi_failed(tesselon_display *display, uint8_t status)
{
    if (status == TWI_ARBITRATION_LOST) {
        fail(display, TESSELON_DISPLAY_ARBITRATION_LOST);
        TWCR = _BV(TWINT) | display->pins[TWI_AS_FOUND];
    } else {
        fail(display, TESSELON_DISPLAY_BUS_FAULT);
        twi_clear_bus();
        TWCR = display->pins[TWI_AS_FOUND];
    }
    return 0;
}

/*
 * Whether the TWI may go on: nothing failed, and the step under way, if
 * any, ended well: a START (avr8js 0.21 reports a repeated one), or a byte
 * (the address too) acknowledged. Each of these statuses can follow only
 * its own step, so one test serves all (and takes the data's status after
 * the address, which simavr 1.6 reports there).
 */
INLINE uint8_t i2c_ready(tesselon_display *display)
{
    if (FAILED(display->state))
        return 0;
    if (!(display->state & ON_THE_BUS))
        return 1;
    const uint8_t status = twi_wait();
    /* TWI_START, TWI_REPEATED_START, TWI_ADDRESS_ACK: one range */
    return (uint8_t)(status - TWI_START) <= TWI_ADDRESS_ACK - TWI_START || status == TWI_DATA_ACK ||
           twi_failed(display, status);
}

/*
 * TWBR for the fastest SCL of 400 kHz at the most, with the prescaler at 1:
 * SCL is f / (16 + 2 TWBR), so TWBR is rounded up (rounded down, SCL would
 * come out at 425 kHz from 11.0592 MHz); below 6.4 MHz, 0 gives f / 16. The
 * ATmega8 wants 10 at the least in master mode, which only slows SCL.
 */
#define TWI_BITRATE(f) ((f) > 6400000UL ? ((f)-6400000UL + 799999UL) / 800000UL : 0)
#if defined(__AVR_ATmega8__)
#define TWBR_LEAST 10
#else
#define TWBR_LEAST 0
#endif

static void i2c_init(tesselon_display *display)
{
    (void)display;
    /* Unless Wire has the TWI, at its own clock. The prescaler is left as
     * it is: 1 from reset, and any other only slows SCL. */
    if (!(TWCR & _BV(TWEN)))
        TWBR = TWI_BITRATE(F_CPU) > TWBR_LEAST ? TWI_BITRATE(F_CPU) : TWBR_LEAST;
    /* An I2C module has no reset line: it resets itself as its supply
     * comes up, before it takes a command. */
    wait_ms(100);
}

/* Sends count bytes of the stream, the address too, each once the step
 * before ended well, the last left on the bus; a count of 0 sends the
 * STOP instead, once the last byte has ended well. */
static void i2c_send(tesselon_display *display, const uint8_t *bytes, uint8_t count)
{
    const uint8_t flash = count & FROM_FLASH;
    count = COUNT(count);
    do {
        if (!i2c_ready(display))
            return;
        if (!count) {
            twi_release(display);
            return;
        }
        TWDR = NEXT_BYTE(bytes, flash);
        twi_go(0);
        display->state |= ON_THE_BUS;
    } while (--count);
}

/*
 * A stream of commands or of data, behind its control byte (0x00 or 0x40,
 * never with the Co bit); its head lies in pins, the address to write to,
 * then the control byte, and the first of them waits for the START. The
 * bus is not taken while Wire holds it: a START of Wire's to come (a
 * repeated START it keeps for its next transfer) or under way, or a
 * transfer addressed to Wire as a slave, which TWSR shows. A master
 * transfer of Wire's is over when its call returns, so master statuses
 * count as idle; simavr 1.6 also leaves the last byte's status in TWSR
 * after a STOP, where the chip shows 0xF8.
 */
static void i2c_begin(tesselon_display *display, uint8_t kind)
{
    if (FAILED(display->state))
        return;
    const uint8_t control = TWCR, status = TWSR & 0xF8;
    if (control & _BV(TWSTA) || (status >= TWI_SLAVE_FIRST && status != TWI_NO_STATE)) {
        fail(display, TESSELON_DISPLAY_BUS_BUSY);
        return;
    }
    display->pins[TWI_AS_FOUND] = control & TWI_IDLE_BITS;
    twi_go(_BV(TWSTA));
    display->state = ON_THE_BUS;
    display->pins[CONTROL] = kind;
    i2c_send(display, display->pins, 2);
}

static void i2c_end(tesselon_display *display) { i2c_send(display, 0, 0); }

/* The TWI's 22.5 us a byte leave room to build 8 page bytes at once. */
static void i2c_send_line(tesselon_display *display, page_line *line)
{
    send_line_in_blocks(display, line, i2c_send);
}

/* The bus's functions, in a panel. */
#define I2C_BUS i2c_init, i2c_begin, i2c_send, i2c_send_line, i2c_end

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

/* Sets the SPI's pins up, CS at its idle level. SS stays an output so
 * that the SPI stays master. Whether every pin named is a pin. */
static uint8_t spi_pins(tesselon_display *display, uint8_t cs_idle)
{
    return pin_write(display->pins[CS], cs_idle, 1) && pin_write(display->pins[RESET], 1, 1) &&
           pin_write(display->pins[DC], 1, 1) && pin_write(SPI_SS, 1, 1) &&
           pin_write(SPI_MOSI, 0, 1) && pin_write(SPI_SCK, 0, 1);
}

/* A reset pulse on RESET, or the module's own power-up reset where RESET
 * is not wired, which a controller whose registers are undefined until a
 * pulse (NEEDS_RESET) refuses. */
static void spi_reset(tesselon_display *display)
{
    if (display->pins[RESET] == TESSELON_NO_PIN) {
        if (pgm_read_byte(&display->panel->setting) & NEEDS_RESET)
            fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        wait_ms(100); /* reset with the board: the module's own power-up reset, as over I2C */
        return;
    }
    wait_ms(1);
    pin_write(display->pins[RESET], 0, 0); /* a reset pulse of at least 10 us */
    wait_ms(1);
    pin_write(display->pins[RESET], 1, 0);
    wait_ms(5); /* the controller's own reset */
}

static void spi_init(tesselon_display *display)
{
    /* D/C must be wired: without it commands would be taken for pixels. */
    if (display->pins[DC] == TESSELON_NO_PIN || !spi_pins(display, 1)) {
        fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return;
    }
    spi_reset(display);
}

/* The SPI at the panel's clock, in mode 0, MSB first. The clock is set
 * each time, as another device on the SPI may want another. */
static void spi_clock(const tesselon_display *display)
{
    const uint8_t rate = pgm_read_byte(&display->panel->setting);
    SPCR = _BV(SPE) | _BV(MSTR) | (rate & SPI_CLOCK_BITS);
    SPSR = rate >> 7;
    (void)SPSR; /* reading both clears a finished transfer's flag, which */
    (void)SPDR; /* another device's may have left, before the first wait */
}

static void spi_begin(tesselon_display *display, uint8_t kind)
{
    if (FAILED(display->state))
        return;
    spi_clock(display);
    pin_write(display->pins[DC], kind, 0);
    pin_write(display->pins[CS], 0, 0);
}

/* Whether the byte on the SPI left in time; it mostly has, when asked. */
INLINE uint8_t spi_done(void)
{
    if (SPSR & _BV(SPIF))
        return 1;
    uint16_t polls;
    POLL_WHILE(!(SPSR & _BV(SPIF)), polls);
    return polls != 0;
}

/* Waits for a byte a call before left on the SPI: a byte must be out
 * before the next is written or CS and D/C change. Whether all went well. */
static uint8_t spi_ready(tesselon_display *display)
{
    if (display->state & ON_THE_BUS && !spi_done())
        fail(display, TESSELON_DISPLAY_BUS_FAULT);
    display->state &= ~ON_THE_BUS;
    return !FAILED(display->state);
}

static void spi_send(tesselon_display *display, const uint8_t *bytes, uint8_t count)
{
    if (!spi_ready(display))
        return;
    const uint8_t flash = count & FROM_FLASH;
    for (count = COUNT(count);;) {
        SPDR = NEXT_BYTE(bytes, flash);
        if (!--count)
            break;
        if (!spi_done()) {
            fail(display, TESSELON_DISPLAY_BUS_FAULT);
            return;
        }
    }
    display->state |= ON_THE_BUS;
}

static void spi_end(tesselon_display *display)
{
    spi_ready(display);
    pin_write(display->pins[CS], 1, 0);
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
INLINE void read_column(flash_place byte, uint8_t step, uint8_t count, uint8_t *rows)
{
    for (; count; count--, byte += step)
        *rows++ = FLASH_BYTE(byte);
}

/*
 * The SPI takes a byte in 16 cycles at its fastest, less than building 8
 * at once takes a byte, so each page byte is worked out while the one
 * before is on the bus: a byte column's rows are read once into registers
 * (column-wise, the other way round from page_bytes), and each page byte
 * is taken from them on its way out.
 */
static void spi_send_line(tesselon_display *display, page_line *line)
{
    if (!spi_ready(display))
        return;
    uint8_t rows[8] = {0};
    flash_place column = line->bytes;
    uint8_t skip = line->skip, columns = line->columns, waiting = 0;
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
                fail(display, TESSELON_DISPLAY_BUS_FAULT);
                return;
            }
            SPDR = page;
            waiting = 1;
        } while (--count);
    } while (columns);
    display->state |= ON_THE_BUS;
}

/* The bus's functions, in a panel. */
#define SPI_BUS spi_init, spi_begin, spi_send, spi_send_line, spi_end

/* The PCD8544 on the SPI: its banks of 84 bytes are pages, and a page
 * address becomes its Y (the bank) and X (the column). */
static void pcd8544_send(tesselon_display *display, const uint8_t *bytes, uint8_t count)
{
    if (count & PAGE_ADDRESS) {
        const uint8_t address[2] = {(uint8_t)(0x40 | (bytes[0] & 7)),
                                    (uint8_t)(0x80 | bytes[1] | (bytes[2] & 15) << 4)};
        spi_send(display, address, 2);
    } else {
        spi_send(display, bytes, count);
    }
}

#define PCD8544_BUS spi_init, spi_begin, pcd8544_send, spi_send_line, spi_end

/* The SPI clock bits for the fastest clock a controller takes, at most max Hz. */
#define SPI_RATE(max)                                                                              \
    (F_CPU / 2 <= (max)    ? 0x80                                                                  \
     : F_CPU / 4 <= (max)  ? 0x00                                                                  \
     : F_CPU / 8 <= (max)  ? 0x81                                                                  \
     : F_CPU / 16 <= (max) ? 0x01                                                                  \
     : F_CPU / 32 <= (max) ? 0x82                                                                  \
     : F_CPU / 64 <= (max) ? 0x02                                                                  \
                           : 0x03)

/* ---- The ST7920's serial mode, on the chip's SPI ---- */

/*
 * Each byte goes as a frame of three: a sync byte that names it an
 * instruction or data, then its high nibble and its low nibble, each at
 * the top of a byte. Nothing can be read back, so there is no busy flag:
 * after each frame the driver waits the controller's execution time. CS is
 * active high, and there is no D/C, so pins holds CS, then the stream's
 * state and the pixels of the byte under way behind a marker bit; RESET is
 * needed in init alone.
 */
enum { ST7920_STATE = DC, ST7920_PIXELS = RESET };
#define DATA_STREAM 0x01   /* the stream's own bytes are data */
#define LOW_BYTE_DUE 0x02  /* a word's high byte is sent, its low byte due */
#define ROW_UNDER_WAY 0x04 /* the stream has begun a row */
#define NO_PIXELS 0x01     /* the marker bit alone */
#define ST7920_INSTRUCTION 0xF8
#define ST7920_DATA 0xFA
#define ST7920_CLEAR 0x01

/* One byte as a frame, then its execution time: 72 us, or 1.6 ms for a
 * clear (2 ms here). */
static void st7920_frame(tesselon_display *display, uint8_t sync, uint8_t byte)
{
    const uint8_t frame[3] = {sync, (uint8_t)(byte & 0xF0), (uint8_t)(byte << 4)};
    spi_send(display, frame, 3);
    if (!spi_ready(display))
        return;
    if (sync == ST7920_INSTRUCTION && byte == ST7920_CLEAR)
        wait_ms(2);
    else
        _delay_us(72);
}

/* CS is the module's RS pin, active high, so it idles low. A module
 * starts 40 ms after its supply comes up, and the same is waited for
 * after a reset pulse. */
static void st7920_init(tesselon_display *display)
{
    if (!spi_pins(display, 0)) {
        fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return;
    }
    spi_reset(display);
    wait_ms(40);
}

static void st7920_begin(tesselon_display *display, uint8_t kind)
{
    if (FAILED(display->state))
        return;
    spi_clock(display);
    display->pins[ST7920_STATE] = kind ? DATA_STREAM : 0;
    display->pins[ST7920_PIXELS] = NO_PIXELS;
    pin_write(display->pins[CS], 1, 0);
}

/* A page address is left where begin_page built it, in the line's room,
 * for the line's rows to take. */
static void st7920_send(tesselon_display *display, const uint8_t *bytes, uint8_t count)
{
    if (count & PAGE_ADDRESS)
        return;
    const uint8_t flash = count & FROM_FLASH;
    const uint8_t sync =
        display->pins[ST7920_STATE] & DATA_STREAM ? ST7920_DATA : ST7920_INSTRUCTION;
    for (count = COUNT(count); count; count--)
        st7920_frame(display, sync, NEXT_BYTE(bytes, flash));
}

/* A pixel into the byte under way, pixels (behind its marker bit), and
 * the byte under way after it: a full byte is sent. The byte under way
 * stays in a register while a row's pixels go in, and in pins between
 * calls. */
INLINE uint8_t st7920_pixel(tesselon_display *display, uint8_t pixels, uint8_t lit)
{
    const uint8_t full = pixels & 0x80;
    pixels = (uint8_t)(pixels << 1 | lit);
    if (!full)
        return pixels;
    st7920_frame(display, ST7920_DATA, pixels);
    display->pins[ST7920_STATE] ^= LOW_BYTE_DUE;
    return NO_PIXELS;
}

/* The word under way's dark pixels to its end, which takes its two bytes
 * whole; then count dark pixels more. */
static void st7920_dark(tesselon_display *display, uint8_t count)
{
    uint8_t pixels = display->pins[ST7920_PIXELS];
    while (pixels != NO_PIXELS || display->pins[ST7920_STATE] & LOW_BYTE_DUE)
        pixels = st7920_pixel(display, pixels, 0);
    for (; count; count--)
        pixels = st7920_pixel(display, pixels, 0);
    display->pins[ST7920_PIXELS] = pixels;
}

static void st7920_end(tesselon_display *display)
{
    st7920_dark(display, 0);
    pin_write(display->pins[CS], 0, 0);
}

/* A row's pixels of a page line, dark where the line has no rows. */
static void st7920_row_pixels(tesselon_display *display, const page_line *line, uint8_t row)
{
    const uint8_t lit = row >= line->from && row < line->to;
    flash_place byte = line->bytes;
    uint8_t bits = 0, left = 8 - line->skip;
    if (lit) {
        byte += (uint16_t)(row - line->from) * line->step;
        bits = FLASH_BYTE(byte) << line->skip;
    }
    uint8_t pixels = display->pins[ST7920_PIXELS];
    for (uint8_t count = line->columns; count; count--, left--, bits <<= 1) {
        if (!left) {
            bits = lit ? FLASH_BYTE(++byte) : 0;
            left = 8;
        }
        pixels = st7920_pixel(display, pixels, bits >> 7);
    }
    display->pins[ST7920_PIXELS] = pixels;
}

/*
 * The controller takes rows of 16-pixel words, the leftmost pixel in the
 * top bit: the picture's own order. Screen rows 0 to 31 are words 0 to 7
 * of its 32 RAM rows, rows 32 to 63 words 8 to 15. A page line's rows
 * (all 8 for a dark line, which has none) are sent one by one, each from
 * the word that holds the line's first column, with dark pixels before it
 * and after it to the ends of the words it touches; the page's other rows
 * are left as they are. Lines that follow one another in a row of a
 * stream (text's glyphs) go on where the one before ended.
 */
static void st7920_send_line(tesselon_display *display, page_line *line)
{
    /* The page address in the line's room: 0xB0 | page, then the column's nibbles. */
    const uint8_t page_row = (line->out[0] & 7) * 8;
    const uint8_t column = line->out[1] | (uint8_t)((line->out[2] & 15) << 4);
    uint8_t first = line->from, last = line->to;
    if (first == last) /* a dark line */
        first = 0, last = 8;
    for (uint8_t row = first; row < last; row++) {
        if (row != first || !(display->pins[ST7920_STATE] & ROW_UNDER_WAY)) {
            display->pins[ST7920_STATE] |= ROW_UNDER_WAY;
            const uint8_t y = page_row + row;
            st7920_dark(display, 0); /* the row before to its word's end */
            st7920_frame(display, ST7920_INSTRUCTION, 0x80 | (y & 31));
            st7920_frame(display, ST7920_INSTRUCTION, 0x80 | (column >> 4) | (y & 32) >> 2);
            st7920_dark(display, column & 15);
        }
        st7920_row_pixels(display, line, row);
        if (FAILED(display->state))
            return;
    }
}

#define ST7920_BUS st7920_init, st7920_begin, st7920_send, st7920_send_line, st7920_end

/* ---- The controllers ---- */

/* Every register a firmware before may have changed is set, as a module
 * without a reset line (and one whose RESET is not wired) keeps them over
 * a restart of the chip: the glass after begin is the same after a cold
 * start and a warm one. Display on follows once the RAM is cleared. */
#define SSD1306_SETUP(rows, com_pins, contrast)                                                    \
    0xAE,               /* display off */                                                          \
        0x2E,           /* scrolling off, which must come before the RAM is written */             \
        0xD5, 0x80,     /* clock: divide by 1, oscillator at its reset value */                    \
        0xA8, rows - 1, /* multiplex ratio */                                                      \
        0xD3, 0x00,     /* display offset 0 */                                                     \
        0x8D, 0x14,     /* charge pump on at display on: the panel's voltage from 3.3 V */         \
        0x20, 0x02,     /* page addressing, as the SH1106 has it */                                \
        0xA1,           /* segment remap: column 127 to SEG0 */                                    \
        0xC8,           /* COM scan from COM[N-1] to COM0 */                                       \
        0xDA, com_pins, /* COM pins: alternative (0x12) or sequential (0x02) */                    \
        0x81, contrast, /* contrast */                                                             \
        0xD9, 0xF1,     /* discharge 1 clock, pre-charge 15 clocks, for the charge pump */         \
        0xDB, 0x20,     /* VCOMH deselect level: 0.77 VCC */                                       \
        0x40,           /* start line 0 */                                                         \
        0xA4,           /* show the RAM; simavr 1.6 takes it for 0x40's argument, harmless as it   \
                           is the reset state (on the chip 0x40 has none) */                       \
        0xA6            /* normal display: 1-bits lit */

static const uint8_t ssd1306_setup[] LOW_FLASH(ssd1306_setup) = {SSD1306_SETUP(64, 0x12, 0xCF)};
static const uint8_t ssd1306_32_setup[] LOW_FLASH(ssd1306_32_setup) = {
    SSD1306_SETUP(32, 0x02, 0x8F)};

/* The SSD1309 has the SSD1306's commands but for the charge pump: its
 * module supplies the panel's voltage. The timings are its reset values. */
static const uint8_t ssd1309_setup[] LOW_FLASH(ssd1309_setup) = {
    0xAE,       /* display off */
    0xFD, 0x12, /* commands unlocked: the reset state */
    0x2E,       /* scrolling off */
    0xD5, 0x70, /* clock: divide by 1, oscillator at its reset value */
    0xA8, 0x3F, /* multiplex ratio: 64 rows */
    0xD3, 0x00, /* display offset 0 */
    0x40,       /* start line 0 */
    0x20, 0x02, /* page addressing */
    0xA1,       /* segment remap: column 127 to SEG0 */
    0xC8,       /* COM scan from COM63 to COM0 */
    0xDA, 0x12, /* COM pins: alternative configuration */
    0x81, 0x7F, /* contrast: the reset value */
    0xD9, 0x22, /* discharge 2 clocks, pre-charge 2 clocks: the reset value */
    0xDB, 0x34, /* VCOMH deselect level: 0.78 VCC, the reset value */
    0xA4,       /* show the RAM */
    0xA6,       /* normal display: 1-bits lit */
};

/* The SH1106 has no addressing modes, no scrolling but its start line, and
 * no charge pump command. */
static const uint8_t sh1106_setup[] LOW_FLASH(sh1106_setup) = {
    0xAE,       /* display off */
    0xEE,       /* out of read-modify-write mode */
    0xD5, 0x50, /* clock: divide by 1, oscillator at its reset value */
    0xA8, 0x3F, /* multiplex ratio: 64 rows */
    0xD3, 0x00, /* display offset 0 */
    0x40,       /* start line 0 */
    0xAD, 0x8B, /* DC-DC converter on at display on */
    0x32,       /* its output: 8.0 V, the reset value */
    0xA1,       /* segment remap: column 131 to SEG0 */
    0xC8,       /* COM scan from COM63 to COM0 */
    0xDA, 0x12, /* COM pads: alternative configuration */
    0x81, 0x80, /* contrast: the reset value */
    0xD9, 0x22, /* discharge 2 clocks, pre-charge 2 clocks: the reset value */
    0xDB, 0x35, /* VCOM deselect level: the reset value */
    0xA4,       /* show the RAM */
    0xA6,       /* normal display: 1-bits lit */
};

/* The PCD8544 after its reset pulse. Its operating voltage suits one
 * module and not another: setContrast sets it. */
static const uint8_t pcd8544_setup[] LOW_FLASH(pcd8544_setup) = {
    0x21, /* extended instructions, horizontal addressing, powered up */
    0xC0, /* operating voltage: Vop 64, 6.9 V */
    0x04, /* temperature coefficient 0 */
    0x13, /* bias 1:48, for its 48 rows */
    0x20, /* back to the basic instructions */
    0x08, /* display blank; normal display (0x0C) turns it on */
};

/* The ST7920's text layer is cleared to blanks, as its power-up content
 * would show over the picture; the graphics memory follows. RE changes
 * alone in one instruction, G in the next. */
static const uint8_t st7920_setup[] LOW_FLASH(st7920_setup) = {
    0x30,         /* basic instructions, 8-bit frames */
    ST7920_CLEAR, /* the text layer to blanks */
    0x0C,         /* display on, no cursor */
    0x34,         /* extended instructions, graphics off; graphics on (0x36) turns it on */
};

/* A panel: its glass, its bus, its controller's set-up, RAM and clock. */
#define PANEL(name, columns, rows, bus, setup, on, first, ram_columns, clock, flags)               \
    const tesselon_display_panel name LOW_FLASH(name) = {                                          \
        {bus}, columns,      rows,                                                                 \
        setup, sizeof setup, on,                                                                   \
        first, ram_columns,  SPI_RATE(clock) | (flags)}

PANEL(tesselon_display_ssd1306_i2c, 128, 64, I2C_BUS, ssd1306_setup, 0xAF, 0, 128, 10000000UL,
      KIND_OF(OLED));
PANEL(tesselon_display_ssd1306_32_i2c, 128, 32, I2C_BUS, ssd1306_32_setup, 0xAF, 0, 128, 10000000UL,
      KIND_OF(OLED));
PANEL(tesselon_display_ssd1309_i2c, 128, 64, I2C_BUS, ssd1309_setup, 0xAF, 0, 128, 10000000UL,
      KIND_OF(OLED) | NEEDS_RESET);
/* The SH1106's 132 RAM columns: the usual 128-pixel glass shows 2 to 129. */
PANEL(tesselon_display_sh1106_i2c, 128, 64, I2C_BUS, sh1106_setup, 0xAF, 2, 132, 4000000UL,
      KIND_OF(OLED));
PANEL(tesselon_display_ssd1306_spi, 128, 64, SPI_BUS, ssd1306_setup, 0xAF, 0, 128, 10000000UL,
      KIND_OF(OLED));
PANEL(tesselon_display_ssd1306_32_spi, 128, 32, SPI_BUS, ssd1306_32_setup, 0xAF, 0, 128, 10000000UL,
      KIND_OF(OLED));
PANEL(tesselon_display_ssd1309_spi, 128, 64, SPI_BUS, ssd1309_setup, 0xAF, 0, 128, 10000000UL,
      KIND_OF(OLED) | NEEDS_RESET);
PANEL(tesselon_display_sh1106_spi, 128, 64, SPI_BUS, sh1106_setup, 0xAF, 2, 132, 4000000UL,
      KIND_OF(OLED));
PANEL(tesselon_display_pcd8544_spi, 84, 48, PCD8544_BUS, pcd8544_setup, 0x0C, 0, 84, 4000000UL,
      KIND_OF(PCD8544) | NEEDS_RESET);
PANEL(tesselon_display_st7920_spi, 128, 64, ST7920_BUS, st7920_setup, 0x36, 0, 128, 2500000UL,
      KIND_OF(ST7920));

/* ---- Drawing ---- */

/* The panel's height, once init has named the panel. */
static uint8_t panel_rows(const tesselon_display *display)
{
    return pgm_read_byte(&display->panel->rows);
}

static uint8_t panel_columns(const tesselon_display *display)
{
    return pgm_read_byte(&display->panel->columns);
}

uint8_t tesselon_display_rows(const tesselon_display *display)
{
    return display->panel ? panel_rows(display) : 0;
}

uint8_t tesselon_display_columns(const tesselon_display *display)
{
    return display->panel ? panel_columns(display) : 0;
}

uint8_t tesselon_display_result(const tesselon_display *display) { return outcome(display); }

/* The start of every call after init: what the call before left is
 * forgotten, so that a fault passes with its call. A call is refused
 * before init has set the display up (a display init has not seen is all
 * zeros), and when refuse is set. */
static uint8_t refused(tesselon_display *display, uint8_t refuse)
{
    refuse |= !display->panel;
    display->state = refuse ? TESSELON_DISPLAY_ARGUMENT_ERROR << 1 : 0;
    return refuse;
}

static bus_send_fn bus_send(const tesselon_display *display)
{
    return (bus_send_fn)pgm_read_ptr(&bus_of(display)->send);
}

/* Sends commands from RAM as a stream of their own. */
static void send_commands(tesselon_display *display, const uint8_t *commands, uint8_t count)
{
    bus_begin(display, COMMANDS);
    bus_send(display)(display, commands, count);
    bus_end(display);
}

/*
 * Starts a stream of data for line at a page and RAM column, with the page
 * addressing of the SSD1306, SSD1309 and SH1106. The commands are built in
 * the line's room for page bytes, free until its bytes are sent, and
 * marked as a page address: the PCD8544's bus sends its own addressing
 * instead, and the ST7920's takes the page and column from the line's room.
 */
static void begin_page(tesselon_display *display, uint8_t page, uint8_t ram_column, page_line *line)
{
    uint8_t *const commands = line->out;
    commands[0] = 0xB0 | page;
    commands[1] = ram_column & 15;
    commands[2] = 0x10 | ram_column >> 4;
    send_commands(display, commands, 3 | PAGE_ADDRESS);
    bus_begin(display, DATA);
}

/* Sends a page line within a stream of data. */
static void send_page_line(tesselon_display *display, page_line *line)
{
    ((bus_send_line_fn)pgm_read_ptr(&bus_of(display)->send_line))(display, line);
}

/* A page line at a page and RAM column, as a stream of its own. */
static void send_line(tesselon_display *display, uint8_t page, uint8_t ram_column, page_line *line)
{
    begin_page(display, page, ram_column, line);
    send_page_line(display, line);
    bus_end(display);
}

/* A page at a time, as page addressing stays within its page: a dark line
 * over all of the controller's RAM columns. */
static void clear_pages(tesselon_display *display)
{
    page_line dark; /* no rows: nothing read, the page bytes built dark */
    dark.bytes = 0;
    dark.from = dark.to = dark.skip = 0;
    dark.columns = pgm_read_byte(&display->panel->ram_columns);
    for (uint8_t page = 0; page < panel_rows(display) / 8; page++)
        send_line(display, page, 0, &dark);
}

uint8_t tesselon_display_clear(tesselon_display *display)
{
    if (!refused(display, 0))
        clear_pages(display);
    return outcome(display);
}

/* The one-byte commands of each kind of controller, 0 for one it lacks:
 * the OLEDs', the PCD8544's (on and off as powered up and down) and the
 * ST7920's (on and off as out of sleep and asleep; normal display is
 * graphics on again, and there is no inverted display). */
enum { ON, OFF, INVERTED, NORMAL };
static const uint8_t controller_commands[][4] LOW_FLASH(controller_commands) = {
    {0xAF, 0xAE, 0xA7, 0xA6}, /* OLED */
    {0x20, 0x24, 0x0D, 0x0C}, /* PCD8544 */
    {0x0C, 0x08, 0, 0x36},    /* ST7920 */
};

/* The panel's controller's kind, once init has named the panel. */
static uint8_t controller_kind(const tesselon_display *display)
{
    return pgm_read_byte(&display->panel->setting) >> KIND_SHIFT & KIND;
}

/* A command of the panel's controller, once init has set the display up;
 * one the controller lacks is refused. */
static uint8_t controller_command(tesselon_display *display, uint8_t which)
{
    if (!refused(display, 0)) {
        const uint8_t command =
            pgm_read_byte(&controller_commands[controller_kind(display)][which]);
        if (command)
            send_commands(display, &command, 1);
        else
            fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
    }
    return outcome(display);
}

uint8_t tesselon_display_on(tesselon_display *display, uint8_t on)
{
    return controller_command(display, on ? ON : OFF);
}

uint8_t tesselon_display_invert(tesselon_display *display, uint8_t inverted)
{
    return controller_command(display, inverted ? INVERTED : NORMAL);
}

/* 0 to 255 as the OLEDs' contrast, or halved as the PCD8544's operating
 * voltage; the extended instruction for it leaves the PCD8544 powered up.
 * The ST7920's contrast is its module's potentiometer: refused. */
uint8_t tesselon_display_contrast(tesselon_display *display, uint8_t value)
{
    if (refused(display, 0))
        return outcome(display);
    const uint8_t kind = controller_kind(display);
    uint8_t commands[3] = {0x81, value};
    if (kind == OLED) {
        send_commands(display, commands, 2);
    } else if (kind == PCD8544) {
        commands[0] = 0x21, commands[1] = 0x80 | value >> 1, commands[2] = 0x20;
        send_commands(display, commands, 3);
    } else {
        fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
    }
    return outcome(display);
}

/*
 * The waits the controllers need: the bus's init waits for the module's
 * reset; the set-up, the RAM cleared and display on then follow at once.
 * The OLEDs' panel voltage (the SSD1306's charge pump, the SH1106's DC-DC
 * converter, the SSD1309 module's own supply) comes up with display on,
 * and the glass lights about 100 ms later by itself.
 */
static uint8_t start(tesselon_display *display, const tesselon_display_panel *panel)
{
    display->panel = panel;
    if (refused(display, 0)) /* no panel */
        return outcome(display);
    ((bus_init_fn)pgm_read_ptr(&bus_of(display)->init))(display);
    send_commands(display, (const uint8_t *)pgm_read_ptr(&panel->setup),
                  pgm_read_byte(&panel->setup_length) | FROM_FLASH);
    clear_pages(display); /* the RAM holds noise after power-up */
    send_commands(display, &panel->display_on, 1 | FROM_FLASH);
    return outcome(display);
}

uint8_t tesselon_display_init_i2c(tesselon_display *display, const tesselon_display_panel *panel,
                                  uint8_t address)
{
    display->pins[ADDRESS] = address << 1; /* to write to it */
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

/* The bytes of a row of pixels: 8 pixels a byte, the last one padded. */
static uint8_t row_bytes(uint8_t width) { return (width >> 3) + ((width & 7) != 0); }

/*
 * Draws a window of width x height pixels of a picture whose rows start at
 * rows, step bytes apart, from its pixel column origin on, with the
 * window's top left pixel at column x, row y of the panel. Only the
 * window's own bytes are read.
 */
static uint8_t draw_window(tesselon_display *display, flash_place rows, uint8_t step,
                           uint8_t origin, uint8_t width, uint8_t height, int16_t x, int16_t y)
{
    /* columns and rows side by side in flash, read at once */
    const uint16_t size = pgm_read_word(&display->panel->columns);
    const uint8_t panel_width = (uint8_t)size, panel_height = size >> 8;
    /* Nothing to draw unless the window reaches into the panel; past this
     * test x and y are below 128, so adding a width or height cannot overflow. */
    if (x >= panel_width || y >= panel_height || x + width <= 0 || y + height <= 0)
        return outcome(display);
    /* The window's columns from left to right - 1, and its rows from top
     * to bottom - 1, that lie on the panel. */
    const uint8_t left = x < 0 ? -x : 0;
    const uint8_t right = x + width < panel_width ? width : panel_width - x;
    const uint8_t top = y < 0 ? -y : 0;
    const uint8_t bottom = y + height < panel_height ? height : panel_height - y;
    /* Page by page from the one that holds the panel row of the window's
     * row top, at its bit from, then from bit 0. */
    const uint8_t first_row = y + top, first_column = origin + left;
    page_line line;
    line.bytes = rows + top * step + first_column / 8;
    line.step = step;
    line.from = first_row & 7;
    line.skip = first_column & 7;
    line.columns = right - left;
    const uint8_t ram_column = pgm_read_byte(&display->panel->first_column) + x + left;
    for (uint8_t page = first_row / 8, rows_left = bottom - top;; page++) {
        const uint8_t room = 8 - line.from;
        line.to = rows_left < room ? line.from + rows_left : 8;
        send_line(display, page, ram_column, &line);
        const uint8_t sent = line.to - line.from;
        if (!(rows_left -= sent))
            break;
        line.bytes += sent * step;
        line.from = 0;
    }
    return outcome(display);
}

static uint8_t draw_at(tesselon_display *display, flash_place picture, int16_t x, int16_t y)
{
    const uint8_t width = FLASH_BYTE(picture);
    return draw_window(display, picture + 2, row_bytes(width), 0, width, FLASH_BYTE(picture + 1), x,
                       y);
}

/*
 * Draws tile index of a sheet cut into tiles of width x height pixels,
 * numbered left to right, then top to bottom; what is left over at the
 * right or the bottom of the sheet is no tile, and an index past the last
 * tile (or a tile of no pixels) is refused.
 */
static uint8_t draw_tile_at(tesselon_display *display, flash_place sheet, uint8_t width,
                            uint8_t height, uint16_t index, int16_t x, int16_t y)
{
    const uint8_t sheet_width = FLASH_BYTE(sheet), sheet_height = FLASH_BYTE(sheet + 1);
    const uint8_t per_row = width ? sheet_width / width : 0;
    if (!height || index >= (uint16_t)per_row * (sheet_height / height)) {
        fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return outcome(display);
    }
    const uint8_t step = row_bytes(sheet_width), row = index / per_row;
    return draw_window(display, sheet + 2 + (uint16_t)row * height * step, step,
                       (uint8_t)(index % per_row) * width, width, height, x, y);
}

/*
 * Writes text with a font: a sheet of glyphs of width x height pixels in
 * ASCII order from the blank (0x20) on, numbered as tiles are. The string
 * is drawn as one strip, page by page across all its glyphs, so that
 * glyphs sharing a page do not darken each other; a character the sheet
 * has no glyph for shows as a blank.
 */
static uint8_t draw_text_at(tesselon_display *display, flash_place font, uint8_t width,
                            uint8_t height, const char *text, uint8_t text_in_flash, int16_t x,
                            int16_t y)
{
    const uint8_t sheet_width = FLASH_BYTE(font), sheet_height = FLASH_BYTE(font + 1);
    const uint8_t per_row = width ? sheet_width / width : 0;
    if (!height || !per_row) {
        fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return outcome(display);
    }
    const uint8_t glyph_rows = sheet_height / height, step = row_bytes(sheet_width);
    const uint16_t glyph_row_bytes = (uint16_t)height * step;
    const uint8_t panel_width = panel_columns(display), panel_height = panel_rows(display);
    if (x >= panel_width || y >= panel_height || y + height <= 0)
        return outcome(display);
    const uint8_t top = y < 0 ? -y : 0;
    const uint8_t bottom = y + height < panel_height ? height : panel_height - y;
    const uint8_t first_row = y + top;
    const uint8_t ram_column = pgm_read_byte(&display->panel->first_column) + (x < 0 ? 0 : x);
    /* A page's rows at once, or a row at once on the ST7920, which takes rows
     * (its kind the one with bit 1 set). */
    const uint8_t band = pgm_read_byte(&display->panel->setting) & KIND_OF(ST7920) ? 1 : 8;
    page_line line;
    line.step = step;
    for (uint8_t page = first_row / 8, row = top, from = first_row & 7;;) {
        const uint8_t room = 8 - from < band ? 8 - from : band, rows_left = bottom - row;
        line.from = from;
        line.to = from + (rows_left < room ? rows_left : room);
        /* Every glyph's page line in one stream: an empty one, where no
         * glyph reaches into the panel, is harmless. */
        begin_page(display, page, ram_column, &line);
        const flash_place page_rows = font + 2 + row * step;
        /* Pixels of the text still left of the panel, and the next panel
         * column to draw. */
        uint16_t hidden = x < 0 ? -x : 0;
        uint8_t column = x < 0 ? 0 : x;
        for (const char *at = text; column < panel_width;) {
            const uint8_t character = text_in_flash ? pgm_read_byte(at) : *at;
            at++;
            if (!character) /* the string's end */
                break;
            const uint8_t glyph = character - 0x20;
            if (hidden >= width) {
                hidden -= width;
                continue;
            }
            const uint8_t left = hidden, room = panel_width - column;
            hidden = 0;
            line.columns = width - left < room ? width - left : room;
            column += line.columns;
            uint8_t sheet_row = glyph / per_row, sheet_column = glyph % per_row;
            if (sheet_row >= glyph_rows) /* no glyph in the sheet: its first, the blank */
                sheet_row = sheet_column = 0;
            const uint8_t origin = sheet_column * width + left;
            line.bytes = page_rows + sheet_row * glyph_row_bytes + origin / 8;
            line.skip = origin & 7;
            send_page_line(display, &line);
        }
        bus_end(display);
        if ((row += line.to - from) == bottom)
            break;
        from = line.to & 7; /* on in this page, or from the next one's top */
        page += !from;
    }
    return outcome(display);
}

#if FAR_FLASH
/* Where the sketch's data in flash ends: the last picture ends before it. */
extern const uint8_t __ctors_start[];
/* A 16-bit pointer names the picture at it, or one 64 KB above it when
 * the data in flash reaches that far: then only a far address tells. */
#define NEAR_POINTER_AMBIGUOUS(pointer)                                                            \
    ((uint32_t)(uintptr_t)(pointer) + 0x10000 < pgm_get_far_address(__ctors_start))
#define NEAR_PLACE(pointer) ((uint16_t)(pointer))
#define FAR_PLACE(address) (address)
#else
#define NEAR_POINTER_AMBIGUOUS(pointer) 0
#define NEAR_PLACE(pointer) (pointer)
#define FAR_PLACE(address) ((const uint8_t *)(uintptr_t)(address))
#endif

uint8_t tesselon_display_draw(tesselon_display *display, const uint8_t *picture, int16_t x,
                              int16_t y)
{
    if (refused(display, !picture || NEAR_POINTER_AMBIGUOUS(picture)))
        return outcome(display);
    return draw_at(display, NEAR_PLACE(picture), x, y);
}

uint8_t tesselon_display_draw_far(tesselon_display *display, uint32_t picture, int16_t x, int16_t y)
{
    if (refused(display, !picture))
        return outcome(display);
    return draw_at(display, FAR_PLACE(picture), x, y);
}

uint8_t tesselon_display_draw_tile(tesselon_display *display, const uint8_t *sheet, uint8_t width,
                                   uint8_t height, uint16_t index, int16_t x, int16_t y)
{
    if (refused(display, !sheet || NEAR_POINTER_AMBIGUOUS(sheet)))
        return outcome(display);
    return draw_tile_at(display, NEAR_PLACE(sheet), width, height, index, x, y);
}

uint8_t tesselon_display_draw_tile_far(tesselon_display *display, uint32_t sheet, uint8_t width,
                                       uint8_t height, uint16_t index, int16_t x, int16_t y)
{
    if (refused(display, !sheet))
        return outcome(display);
    return draw_tile_at(display, FAR_PLACE(sheet), width, height, index, x, y);
}

uint8_t tesselon_display_draw_text(tesselon_display *display, const uint8_t *font, uint8_t width,
                                   uint8_t height, const char *text, int16_t x, int16_t y)
{
    if (refused(display, !font || !text || NEAR_POINTER_AMBIGUOUS(font)))
        return outcome(display);
    return draw_text_at(display, NEAR_PLACE(font), width, height, text, 0, x, y);
}

uint8_t tesselon_display_draw_text_P(tesselon_display *display, const uint8_t *font, uint8_t width,
                                     uint8_t height, const char *text, int16_t x, int16_t y)
{
    if (refused(display, !font || !text || NEAR_POINTER_AMBIGUOUS(font)))
        return outcome(display);
    return draw_text_at(display, NEAR_PLACE(font), width, height, text, 1, x, y);
}
