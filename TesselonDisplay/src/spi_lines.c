/* The SPI stream's lines, whichever block sends its bytes (the chip's SPI,
 * or its USI): CS, D/C and RESET on pins named at init. */
#include "tesselon_driver.h"

#if TD_SPI_BUS

/* A reset pulse on RESET, or the module's own power-up reset where RESET
 * is not wired, which a controller whose registers are undefined until a
 * pulse refuses. */
void td_spi_reset(tesselon_display *display)
{
    const uint8_t reset = display->bus.spi.reset;
    if (reset == TESSELON_NO_PIN) {
        if (pgm_read_byte(&display->panel->controller.traits) & TD_NEEDS_RESET)
            td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        td_wait_ms(100); /* reset with the board: the module's own power-up reset, as over I2C */
        return;
    }
    td_reset_pulse(reset);
}

void td_spi_init(tesselon_display *display)
{
    /* D/C must be wired: without it commands would be taken for pixels. */
    if (display->bus.spi.dc == TESSELON_NO_PIN || !td_spi_pins(display, 1)) {
        td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return;
    }
    td_spi_reset(display);
}

void td_spi_begin(tesselon_display *display, uint8_t carries)
{
    if (TD_FAILED(display->state))
        return;
    td_spi_clock_set(display);
    td_pin_write(display->bus.spi.dc, carries, 0);
    td_pin_write(display->bus.spi.cs, 0, 0);
}

void td_spi_end(tesselon_display *display)
{
    td_spi_ready(display);
    td_pin_write(display->bus.spi.cs, 1, 0);
}

#endif
