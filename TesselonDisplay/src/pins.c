/* Pins: a pin number's port and bit, driven high or low. */
#include "tesselon_driver.h"

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
