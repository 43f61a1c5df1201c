/*
 * OLED driver for AVR microcontrollers that draws tesselon's bmppic arrays
 * straight from flash on an SSD1306 (128 x 64 or 128 x 32) or an SH1106
 * (128 x 64) module, over I2C or 4-wire SPI. It keeps no frame buffer: the
 * picture's rows of horizontal bytes are turned into the controller's
 * pages of 8 vertical pixels as they are sent. Its RAM is the six bytes of
 * one struct tesselon_oled.
 *
 * Controller, height and bus are one panel description in flash, named at
 * the call to init; only the one named is linked into the firmware:
 *
 *   tesselon_ssd1306_i2c   tesselon_ssd1306_32_i2c   tesselon_sh1106_i2c
 *   tesselon_ssd1306_spi   tesselon_ssd1306_32_spi   tesselon_sh1106_spi
 *
 * Pins: I2C uses the chip's TWI pins (SDA, SCL). SPI uses the chip's MOSI
 * and SCK, keeps its SS an output, and drives CS, D/C and RESET on pins
 * named at init: Arduino pin numbers in a sketch, TESSELON_PIN('B', 2) and
 * the like elsewhere.
 *
 * Every call returns TESSELON_OLED_OK or TESSELON_OLED_BUS_FAULT. A fault
 * (no module answering on I2C, a bus held low, a pin that is no pin) ends
 * the transfer and releases the bus; from then on every call returns the
 * fault at once, until init is called again.
 */
#ifndef TESSELON_OLED_H
#define TESSELON_OLED_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TESSELON_OLED_OK 0
#define TESSELON_OLED_BUS_FAULT 1

#define TESSELON_OLED_COLUMNS 128

#ifndef ARDUINO
/* A pin of ports A to G outside the Arduino core: TESSELON_PIN('B', 2) is PB2. */
#define TESSELON_PIN(port, bit) ((uint8_t)((((port) - 'A') << 3) | (bit)))
#endif

typedef struct tesselon_oled_panel tesselon_oled_panel;

typedef struct tesselon_oled {
    const tesselon_oled_panel *panel; /* in flash */
    uint8_t state;                    /* the fault, and the TWI's idle bits */
    uint8_t pins[3];                  /* I2C: the address; SPI: CS, D/C, RESET */
} tesselon_oled;

extern const tesselon_oled_panel tesselon_ssd1306_i2c, tesselon_ssd1306_32_i2c,
    tesselon_sh1106_i2c, tesselon_ssd1306_spi, tesselon_ssd1306_32_spi, tesselon_sh1106_spi;

/* Sets the bus and an I2C panel at address (0x3C or 0x3D) up, clears it and
 * turns it on. */
uint8_t tesselon_oled_init_i2c(tesselon_oled *oled, const tesselon_oled_panel *panel,
                               uint8_t address);

/* The same for an SPI panel with its CS, D/C and RESET pins. */
uint8_t tesselon_oled_init_spi(tesselon_oled *oled, const tesselon_oled_panel *panel, uint8_t cs,
                               uint8_t dc, uint8_t reset);

/* The panel's height in pixels: 64 or 32. */
uint8_t tesselon_oled_rows(const tesselon_oled *oled);

/* Turns every pixel of the panel off. */
uint8_t tesselon_oled_clear(tesselon_oled *oled);

/*
 * Draws a bmppic array from flash with its top left pixel at column x,
 * row y of the panel; both may be any value, negative ones too, and what
 * falls outside the panel is left out. The 1-bits are lit, the 0-bits
 * dark. The controller takes 8 rows a byte, so the rows above and below
 * the picture that share a page with it are darkened within its columns.
 */
uint8_t tesselon_oled_draw(tesselon_oled *oled, const uint8_t *picture, int16_t x, int16_t y);

#ifdef __cplusplus
}
#endif

#endif
