/*
 * TesselonDisplay: draws tesselon's bmppic arrays from flash on an SSD1306 or
 * SH1106 OLED module, over I2C or 4-wire SPI, with no frame buffer.
 *
 *   #include <TesselonDisplay.h>
 *   #include "picture.h"        // tesselon picture.bmp > picture.h
 *
 *   TesselonDisplay display;
 *   display.beginI2C(TesselonDisplay::SSD1306_128x64, 0x3C);
 *   display.draw(bmppic, x, y);
 *
 * begin, clear and draw return false after a bus fault (no module answering
 * on I2C, a bus held low, a pin that is no pin, a D/C that is NO_PIN); from
 * then on they return false at once, until begin is called again. What a
 * sketch does not call costs it no flash.
 */
#ifndef TESSELONDISPLAY_H
#define TESSELONDISPLAY_H

#include "tesselon_display.h"

class TesselonDisplay
{
  public:
    enum Panel { SSD1306_128x64, SSD1306_128x32, SH1106_128x64 };

    // A line that is not wired, for beginSPI: a RESET tied to the board's
    // reset (no hardware reset is sent; the panel starts after its power-up
    // wait) or a CS tied low.
    static const uint8_t NO_PIN = TESSELON_NO_PIN;

    // Sets the bus and the panel at an I2C address (0x3C or 0x3D) up,
    // clears it and turns it on. Another device may share the bus through Wire.
    bool beginI2C(Panel panel, uint8_t address = 0x3C)
    {
        return tesselon_display_init_i2c(&display_,
                                         panel == SH1106_128x64 ? &tesselon_display_sh1106_i2c
                                         : panel == SSD1306_128x32
                                             ? &tesselon_display_ssd1306_32_i2c
                                             : &tesselon_display_ssd1306_i2c,
                                         address) == TESSELON_DISPLAY_OK;
    }

    // The same on the SPI, with the Arduino pin numbers of CS, D/C and
    // RESET; CS and RESET may be NO_PIN.
    bool beginSPI(Panel panel, uint8_t cs, uint8_t dc, uint8_t reset)
    {
        return tesselon_display_init_spi(&display_,
                                         panel == SH1106_128x64 ? &tesselon_display_sh1106_spi
                                         : panel == SSD1306_128x32
                                             ? &tesselon_display_ssd1306_32_spi
                                             : &tesselon_display_ssd1306_spi,
                                         cs, dc, reset) == TESSELON_DISPLAY_OK;
    }

    // Turns every pixel off.
    bool clear() { return tesselon_display_clear(&display_) == TESSELON_DISPLAY_OK; }

    // Draws a bmppic array with its top left pixel at column x, row y; any
    // values will do, and what falls outside the panel is left out. The
    // 1-bits are lit; rows above and below the picture that share its
    // 8-row pages are darkened within its columns.
    bool draw(const uint8_t *picture, int16_t x, int16_t y)
    {
        return tesselon_display_draw(&display_, picture, x, y) == TESSELON_DISPLAY_OK;
    }

    uint8_t width() const { return TESSELON_DISPLAY_COLUMNS; }
    uint8_t height() const { return tesselon_display_rows(&display_); }

  private:
    tesselon_display display_;
};

#endif
