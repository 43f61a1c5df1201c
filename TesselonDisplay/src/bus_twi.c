/* I2C on the chip's TWI, beside Arduino's Wire: a transport that knows no
 * controller. Built only on a chip that has a TWI. */
#include "tesselon_driver.h"

#if TD_HAS_TWI

#define TWI_START 0x08
#define TWI_REPEATED_START 0x10
#define TWI_ADDRESS_ACK 0x18
#define TWI_DATA_ACK 0x28
#define TWI_ARBITRATION_LOST 0x38
#define TWI_SLAVE_FIRST 0x60 /* from here up, Wire's slave transfers */
#define TWI_NO_STATE 0xF8    /* between transfers */
#define TWI_TIMED_OUT 0xFF
#define TWI_IDLE_BITS (_BV(TWEA) | _BV(TWEN) | _BV(TWIE))

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
    for (polls = TD_POLLS_BEFORE_GIVING_UP; (TWCR & _BV(TWSTO)) && --polls;)
        ;
    if (!polls) {
        td_fail(display, TESSELON_DISPLAY_BUS_FAULT);
        twi_clear_bus();
    }
    TWCR = display->bus.i2c.as_found;
}

/* Waits for the step under way: its status, or TWI_TIMED_OUT (which TWSR
 * never reads) when it does not end in time. */
TD_INLINE uint8_t twi_wait(void)
{
    uint16_t polls;
    for (polls = TD_POLLS_BEFORE_GIVING_UP; !(TWCR & _BV(TWINT)) && --polls;)
        ;
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
        td_fail(display, TESSELON_DISPLAY_ARBITRATION_LOST);
        TWCR = _BV(TWINT) | display->bus.i2c.as_found;
    } else {
        td_fail(display, TESSELON_DISPLAY_BUS_FAULT);
        twi_clear_bus();
        TWCR = display->bus.i2c.as_found;
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
TD_INLINE uint8_t twi_ready(tesselon_display *display)
{
    if (TD_FAILED(display->state))
        return 0;
    if (!(display->state & TD_ON_THE_BUS))
        return 1;
    const uint8_t status = twi_wait();
    /* TWI_START, TWI_REPEATED_START, TWI_ADDRESS_ACK: one range */
    return (uint8_t)(status - TWI_START) <= TWI_ADDRESS_ACK - TWI_START || status == TWI_DATA_ACK ||
           twi_failed(display, status);
}

/*
 * TWBR for the fastest SCL within Fast-mode's low and high periods, with
 * the prescaler at 1. SCL is f / (16 + 2 TWBR); by the AVR datasheet's
 * account of what its TWI generates, the low period is half of that less
 * 2 clocks, TWBR + 6 clocks, which must be 1.3 us at the least, and the
 * high period TWBR + 10 clocks, past the 0.6 us it needs whenever the low
 * one is long enough. At 16 MHz that is TWBR 15 and 347.8 kHz; 400 kHz
 * (TWBR 12) would leave SCL low for 1.125 us. The ATmega8 wants 10 at the
 * least in master mode, which only slows SCL.
 */
#define TWI_CLOCKS_IN_1300NS(f) (((f)*13UL + 9999999UL) / 10000000UL) /* rounded up */
#define TWI_BITRATE(f) (TWI_CLOCKS_IN_1300NS(f) > 6 ? TWI_CLOCKS_IN_1300NS(f) - 6 : 0)
#if defined(__AVR_ATmega8__)
#define TWBR_LEAST 10
#else
#define TWBR_LEAST 0
#endif

void td_i2c_init(tesselon_display *display)
{
    (void)display;
    /* Unless Wire has the TWI, at its own clock. The prescaler is left as
     * it is: 1 from reset, and any other only slows SCL. */
    if (!(TWCR & _BV(TWEN))) {
        TWBR = TWI_BITRATE(F_CPU) > TWBR_LEAST ? TWI_BITRATE(F_CPU) : TWBR_LEAST;
        /* A module that was sending a byte when the chip reset holds SDA
         * low through the boot: the first START would have no falling SDA
         * and be lost. With the TWI free, the bus is cleared before it. */
        twi_clear_bus(); /* a STOP alone where SDA is free */
    }
    /* An I2C module resets itself as its supply comes up, before it takes
     * a command. */
    _delay_ms(100);
}

/* Sends count bytes of the stream, the address too, each once the step
 * before ended well, the last left on the bus; a count of 0 sends the
 * STOP instead, once the last byte has ended well. */
void td_i2c_send(tesselon_display *display, const uint8_t *bytes, uint8_t count, uint8_t in_flash)
{
    do {
        if (!twi_ready(display))
            return;
        if (!count) {
            twi_release(display);
            return;
        }
        TWDR = TD_NEXT_BYTE(bytes, in_flash);
        twi_go(0);
        display->state |= TD_ON_THE_BUS;
    } while (--count);
}

/*
 * A stream of commands or of data, behind its control byte (0x00 or 0x40,
 * never with the Co bit); its head lies in the display's I2C bytes, the
 * address to write to, then the control byte, and the first of them waits
 * for the START. The bus is not taken while Wire holds it: a START of
 * Wire's to come (a repeated START it keeps for its next transfer) or
 * under way, or a transfer addressed to Wire as a slave, which TWSR shows.
 * A master transfer of Wire's is over when its call returns, so master
 * statuses count as idle; simavr 1.6 also leaves the last byte's status in
 * TWSR after a STOP, where the chip shows 0xF8.
 */
void td_i2c_begin(tesselon_display *display, uint8_t carries)
{
    if (TD_FAILED(display->state))
        return;
    const uint8_t control = TWCR, status = TWSR & 0xF8;
    if (control & _BV(TWSTA) || (status >= TWI_SLAVE_FIRST && status != TWI_NO_STATE)) {
        td_fail(display, TESSELON_DISPLAY_BUS_BUSY);
        return;
    }
    display->bus.i2c.as_found = control & TWI_IDLE_BITS;
    twi_go(_BV(TWSTA));
    display->state = TD_ON_THE_BUS;
    display->bus.i2c.control = carries;
    td_i2c_send(display, &display->bus.i2c.address, 2, 0);
}

void td_i2c_end(tesselon_display *display) { td_i2c_send(display, 0, 0, 0); }

/* The TWI's 22.5 us a byte leave room to build 8 page bytes at once. */
void td_i2c_send_line(tesselon_display *display, td_page_line *line)
{
    td_send_line_in_blocks(display, line, td_i2c_send);
}

#endif
