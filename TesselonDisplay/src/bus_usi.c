/* I2C and SPI on the USI of a chip that has neither a TWI nor an SPI (the
 * ATtiny25/45/85, 24/44/84, 2313/4313): I2C in its two-wire mode, SPI in
 * its three-wire mode, each bit clocked by the firmware (a software clock
 * strobe, USITC), as the ATtiny25/45/85 datasheet's USI chapter describes
 * them. A transport that knows no controller. */
#include "tesselon_driver.h"

#if TD_HAS_USI

/* The USI's pins: SDA is DI, SCL is USCK; an SPI panel's MOSI goes to DO. */
#if defined(__AVR_ATtiny24__) || defined(__AVR_ATtiny44__) || defined(__AVR_ATtiny84__)
#define USI_PORT PORTA
#define USI_DDR DDRA
#define USI_PIN PINA
#define USI_SDA _BV(6)
#define USI_DO _BV(5)
#define USI_SCL _BV(4)
#define USI_PORT_LETTER 'A'
#elif defined(__AVR_ATtiny2313__) || defined(__AVR_ATtiny2313A__) || defined(__AVR_ATtiny4313__)
#define USI_PORT PORTB
#define USI_DDR DDRB
#define USI_PIN PINB
#define USI_SDA _BV(5)
#define USI_DO _BV(6)
#define USI_SCL _BV(7)
#define USI_PORT_LETTER 'B'
#else /* ATtiny25/45/85 */
#define USI_PORT PORTB
#define USI_DDR DDRB
#define USI_PIN PINB
#define USI_SDA _BV(0)
#define USI_DO _BV(1)
#define USI_SCL _BV(2)
#define USI_PORT_LETTER 'B'
#endif

/* Whether a pin named at init is one of the USI's own lines. */
static uint8_t usi_line(uint8_t pin, uint8_t lines)
{
    return pin != TESSELON_NO_PIN && pin >> 3 == USI_PORT_LETTER - 'A' && (lines & _BV(pin & 7));
}

/* The counter overflows after 16 clock edges (8 bits), or after 2 from 14 (1 bit). */
#define USI_FLAGS (_BV(USISIF) | _BV(USIOIF) | _BV(USIPF) | _BV(USIDC))
#define USI_EIGHT_BITS (USI_FLAGS | 0)
#define USI_ONE_BIT (USI_FLAGS | 14)

/* ---- I2C: the two-wire mode ---- */

/* The shift register clocked by SCL's rising edge, the counter by each
 * USITC, which toggles SCL. SDA and SCL are open drain: a line is let go by
 * its port bit high (SDA also by USIDR's top bit), pulled low by it low. */
#define TWO_WIRE (_BV(USIWM1) | _BV(USICS1) | _BV(USICLK))
#define TWO_WIRE_TOGGLE (TWO_WIRE | _BV(USITC))

/*
 * Fast-mode's SCL: low 1.3 us at the least, high 0.6 us, 400 kHz at the
 * most (2.5 us a period). The chip's RC oscillator may run 10 % fast, so
 * each is a tenth longer here: low 1.43 us, a period of 2.75 us, high the
 * rest (1.32 us, past 0.66). The cycles the code takes between two edges
 * count in, at their fewest: 4 between bits while SCL is low, 6 before an
 * acknowledge's clock, 12 between bytes; 1 while it is high. Display
 * controllers do not stretch the clock, so SCL is seen high once a byte,
 * on the acknowledge's clock: a line held low is found there.
 */
#define CYCLES_IN_NS(ns) ((F_CPU / 1000 * (ns) + 999999UL) / 1000000UL)
#define LESS(cycles, code) ((cycles) > (code) ? (cycles) - (code) : 0)
#define LOW_CYCLES CYCLES_IN_NS(1430)
#define HIGH_CYCLES (CYCLES_IN_NS(2750) - LOW_CYCLES)
#define I2C_LOW_CYCLES LESS(LOW_CYCLES, 4)
#define I2C_ACK_LOW_CYCLES LESS(LOW_CYCLES, 6)
#define I2C_FIRST_LOW_CYCLES LESS(LOW_CYCLES, 12)
#define I2C_HIGH_CYCLES LESS(HIGH_CYCLES, 1)
#if HIGH_CYCLES < LOW_CYCLES * 6 / 13 /* 0.66 us */
#error "SCL's high time would be short of Fast-mode's at this F_CPU"
#endif

/* Waits for SCL to rise once let go (a module may hold it low a while);
 * one held low is a fault. */
static uint8_t __attribute__((noinline)) scl_risen(tesselon_display *display)
{
    uint16_t polls;
    for (polls = TD_POLLS_BEFORE_GIVING_UP; !(USI_PIN & USI_SCL) && --polls;)
        ;
    if (!polls)
        td_fail(display, TESSELON_DISPLAY_BUS_FAULT);
    return polls != 0;
}

/* One clock, SCL low before and after: let go, high, low. The shift
 * register takes SDA as SCL rises; the counter counts both edges. */
TD_INLINE void scl_pulse(void)
{
    USICR = TWO_WIRE_TOGGLE;
    __builtin_avr_delay_cycles(I2C_HIGH_CYCLES);
    USICR = TWO_WIRE_TOGGLE;
}

/* A STOP: SDA rises while SCL is high (USIDR's top bit let go, the port
 * bit moves it); then the bus is free 1.43 us. */
static void i2c_stop(tesselon_display *display)
{
    USIDR = 0xFF;
    USI_PORT &= ~USI_SDA;
    __builtin_avr_delay_cycles(LOW_CYCLES);
    USI_PORT |= USI_SCL;
    scl_risen(display);
    __builtin_avr_delay_cycles(HIGH_CYCLES);
    USI_PORT |= USI_SDA;
    __builtin_avr_delay_cycles(LOW_CYCLES);
}

/* SCL low on the acknowledge's clock, which no display controller does: a
 * fault even where it rises within the polls (the byte's clocks went
 * unseen), then both lines let go. */
static uint8_t __attribute__((noinline)) i2c_held(tesselon_display *display)
{
    if (scl_risen(display))
        td_fail(display, TESSELON_DISPLAY_BUS_FAULT);
    USI_PORT |= USI_SDA | USI_SCL;
    return 0;
}

/* No acknowledge: a fault, and a STOP that ends the transfer. */
static uint8_t __attribute__((noinline)) i2c_unacknowledged(tesselon_display *display)
{
    td_fail(display, TESSELON_DISPLAY_BUS_FAULT);
    i2c_stop(display);
    return 0;
}

/* A byte, and the module's acknowledge on the ninth clock: SDA let go for
 * it, and read back through the shift register; SCL must be high then.
 * SCL has been low since the byte before. */
TD_INLINE uint8_t i2c_byte(tesselon_display *display, uint8_t byte)
{
    USIDR = byte;
    USISR = USI_EIGHT_BITS;
    __builtin_avr_delay_cycles(I2C_FIRST_LOW_CYCLES);
    for (;;) {
        scl_pulse();
        if (USISR & _BV(USIOIF))
            break;
        __builtin_avr_delay_cycles(I2C_LOW_CYCLES);
    }
    USI_DDR &= ~USI_SDA;
    USISR = USI_ONE_BIT;
    __builtin_avr_delay_cycles(I2C_ACK_LOW_CYCLES);
    USICR = TWO_WIRE_TOGGLE;
    __builtin_avr_delay_cycles(I2C_HIGH_CYCLES);
    const uint8_t high = USI_PIN & USI_SCL;
    USICR = TWO_WIRE_TOGGLE;
    USI_DDR |= USI_SDA;
    if (!high)
        return i2c_held(display);
    return USIDR & 1 ? i2c_unacknowledged(display) : 1;
}

/* The USI in two-wire mode, SDA and SCL its lines, let go. Set at each
 * START too, as a sketch may use the USI otherwise between calls. */
static void two_wire_lines(void)
{
    USIDR = 0xFF;
    USI_PORT |= USI_SDA | USI_SCL;
    USI_DDR |= USI_SDA | USI_SCL;
    USICR = TWO_WIRE;
}

/* Both lines driven by the USI, let go; a module that still holds SDA low
 * in the middle of a byte it sends (read with SDA an input) gets up to
 * nine clocks to finish it, then a STOP, as NXP's I2C-bus manual UM10204
 * clears a bus. */
void td_i2c_init(tesselon_display *display)
{
    USICR = 0; /* the pins plain while the bus is cleared: the shift register left alone */
    USI_DDR &= ~USI_SDA;
    USI_PORT |= USI_SCL;
    USI_DDR |= USI_SCL;
    for (uint8_t clocks = 9; clocks && !(USI_PIN & USI_SDA); clocks--) {
        USI_PORT &= ~USI_SCL;
        _delay_us(5);
        USI_PORT |= USI_SCL;
        _delay_us(5);
    }
    two_wire_lines();
    USISR = USI_FLAGS;
    USI_PORT &= ~USI_SCL;
    i2c_stop(display);
    /* An I2C module resets itself as its supply comes up, before it takes
     * a command. */
    _delay_ms(100);
}

/* A START (SDA falls while SCL is high, held 0.66 us), the address to
 * write to, and the control byte. */
void td_i2c_begin(tesselon_display *display, uint8_t carries)
{
    if (TD_FAILED(display->state))
        return;
    two_wire_lines();
    if (!scl_risen(display))
        return;
    USI_PORT &= ~USI_SDA;
    __builtin_avr_delay_cycles(I2C_HIGH_CYCLES);
    USI_PORT &= ~USI_SCL;
    USI_PORT |= USI_SDA; /* SDA follows USIDR's top bit again */
    display->bus.i2c.control = carries;
    td_i2c_send(display, &display->bus.i2c.address, 2, 0);
}

void td_i2c_send(tesselon_display *display, const uint8_t *bytes, uint8_t count, uint8_t in_flash)
{
    if (TD_FAILED(display->state))
        return;
    do
        if (!i2c_byte(display, TD_NEXT_BYTE(bytes, in_flash)))
            return;
    while (--count);
}

/* The STOP ends a stream; one that failed has ended already. */
void td_i2c_end(tesselon_display *display)
{
    if (!TD_FAILED(display->state))
        i2c_stop(display);
}

void td_i2c_send_line(tesselon_display *display, td_page_line *line)
{
    td_send_line_in_blocks(display, line, td_i2c_send);
}

/* ---- SPI: the three-wire mode ---- */

/* DO shows USIDR's top bit, changed on USCK's falling edge; the shift
 * register takes DI on the rising edge, the counter each USITC, which
 * toggles USCK: SPI mode 0, most significant bit first. */
#define THREE_WIRE (_BV(USIWM0) | _BV(USICS1) | _BV(USICLK))
#define THREE_WIRE_TOGGLE (THREE_WIRE | _BV(USITC))

/* The loop that toggles USCK takes 4 cycles at the least a half clock:
 * USCK at F_CPU / 8 at the most, within the slowest controller's 2.5 MHz
 * (the ST7920's) with the RC oscillator 10 % fast, up to 18 MHz. */
#if F_CPU / 8 * 11 / 10 > 2500000UL
#error "the USI's SPI clock would pass the ST7920's 2.5 MHz at this F_CPU"
#endif

/* DO and USCK outputs, USCK low; CS, D/C and RESET as given, none of them
 * a line of the USI's (DI is free). */
uint8_t td_spi_pins(tesselon_display *display, uint8_t cs_idle)
{
    const uint8_t bus = USI_DO | USI_SCL;
    if (usi_line(display->bus.spi.cs, bus) || usi_line(display->bus.spi.dc, bus) ||
        usi_line(display->bus.spi.reset, bus))
        return 0;
    USI_PORT &= ~(USI_DO | USI_SCL);
    USI_DDR |= USI_DO | USI_SCL;
    USI_DDR &= ~USI_SDA;
    USICR = THREE_WIRE;
    return td_pin_write(display->bus.spi.cs, cs_idle, 1) &&
           td_pin_write(display->bus.spi.reset, 1, 1) && td_pin_write(display->bus.spi.dc, 1, 1);
}

/* The USI's mode, set each time: another device may have used it. */
void td_spi_clock_set(const tesselon_display *display)
{
    (void)display;
    USICR = THREE_WIRE;
}

/* Every byte is out when td_spi_send returns. */
uint8_t td_spi_ready(tesselon_display *display) { return !TD_FAILED(display->state); }

void td_spi_send(tesselon_display *display, const uint8_t *bytes, uint8_t count, uint8_t in_flash)
{
    if (TD_FAILED(display->state))
        return;
    for (; count; count--) {
        USIDR = TD_NEXT_BYTE(bytes, in_flash);
        USISR = USI_EIGHT_BITS;
        do
            USICR = THREE_WIRE_TOGGLE;
        while (!(USISR & _BV(USIOIF)));
    }
}

void td_spi_send_line(tesselon_display *display, td_page_line *line)
{
    td_send_line_in_blocks(display, line, td_spi_send);
}

#endif
