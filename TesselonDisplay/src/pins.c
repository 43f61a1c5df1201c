/* Pins: a pin number's port and bit, driven high or low. */
#include "tesselon_driver.h"

/* The ATtinies' ports lie elsewhere than the ATmegas' (PINA at I/O 0, three
 * registers a port): each port a sketch may drive, with its pins but the
 * chip's RESET. */
#define TD_PORT(letter, port, pins)                                                                \
    if (pin >> 3 == (letter) - 'A' && *mask & (pins))                                              \
        return &port;
#if defined(__AVR_ATtiny25__) || defined(__AVR_ATtiny45__) || defined(__AVR_ATtiny85__)
#define TD_PORTS TD_PORT('B', PORTB, 0x1F) /* PB5 is RESET */
#elif defined(__AVR_ATtiny24__) || defined(__AVR_ATtiny44__) || defined(__AVR_ATtiny84__)
#define TD_PORTS TD_PORT('A', PORTA, 0xFF) TD_PORT('B', PORTB, 0x07) /* PB3 is RESET */
#elif defined(__AVR_ATtiny2313__) || defined(__AVR_ATtiny2313A__) || defined(__AVR_ATtiny4313__)
#define TD_PORTS                                                                                   \
    TD_PORT('A', PORTA, 0x03) TD_PORT('B', PORTB, 0xFF) TD_PORT('D', PORTD, 0x7F) /* PA2 is RESET */
#endif

/* A pin's output register and bit, 0 for a number that names no pin. */
static volatile uint8_t *pin_port(uint8_t pin, uint8_t *mask)
{
#ifdef ARDUINO
    if (pin >= NUM_DIGITAL_PINS || digitalPinToPort(pin) == NOT_A_PIN)
        return 0;
    *mask = digitalPinToBitMask(pin);
    return portOutputRegister(digitalPinToPort(pin));
#elif defined(TD_PORTS)
    *mask = _BV(pin & 7);
    TD_PORTS
    return 0;
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
uint8_t td_pin_write(uint8_t pin, uint8_t high, uint8_t output)
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
