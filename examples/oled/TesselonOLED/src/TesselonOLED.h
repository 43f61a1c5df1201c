/*
 * TesselonOLED: draws tesselon's bmppic arrays from flash on an SSD1306 or
 * SH1106 OLED module, over I2C or 4-wire SPI, with no frame buffer.
 *
 *   #include <TesselonOLED.h>
 *   #include "picture.h"        // tesselon picture.bmp > picture.h
 *
 *   TesselonOLED oled;
 *   oled.beginI2C(TesselonOLED::SSD1306_128x64, 0x3C);
 *   oled.draw(bmppic, x, y);
 *
 * begin, clear and draw return false after a bus fault (no module answering
 * on I2C, a bus held low, a pin that is no pin); from then on they return
 * false at once, until begin is called again. What a sketch does not call
 * costs it no flash.
 */
#ifndef TESSELONOLED_H
#define TESSELONOLED_H

#include "tesselon_oled.h"

class TesselonOLED {
  public:
    enum Panel { SSD1306_128x64, SSD1306_128x32, SH1106_128x64 };

    // Sets the bus and the panel at an I2C address (0x3C or 0x3D) up,
    // clears it and turns it on. Another device may share the bus through Wire.
    bool beginI2C(Panel panel, uint8_t address = 0x3C)
    {
        return tesselon_oled_init_i2c(&oled_,
                                      panel == SH1106_128x64    ? &tesselon_sh1106_i2c
                                      : panel == SSD1306_128x32 ? &tesselon_ssd1306_32_i2c
                                                                : &tesselon_ssd1306_i2c,
                                      address) == TESSELON_OLED_OK;
    }

    // The same on the SPI, with the Arduino pin numbers of CS, D/C and RESET.
    bool beginSPI(Panel panel, uint8_t cs, uint8_t dc, uint8_t reset)
    {
        return tesselon_oled_init_spi(&oled_,
                                      panel == SH1106_128x64    ? &tesselon_sh1106_spi
                                      : panel == SSD1306_128x32 ? &tesselon_ssd1306_32_spi
                                                                : &tesselon_ssd1306_spi,
                                      cs, dc, reset) == TESSELON_OLED_OK;
    }

    // Turns every pixel off.
    bool clear() { return tesselon_oled_clear(&oled_) == TESSELON_OLED_OK; }

    // Draws a bmppic array with its top left pixel at column x, row y; any
    // values will do, and what falls outside the panel is left out. The
    // 1-bits are lit; rows above and below the picture that share its
    // 8-row pages are darkened within its columns.
    bool draw(const uint8_t *picture, int16_t x, int16_t y)
    {
        return tesselon_oled_draw(&oled_, picture, x, y) == TESSELON_OLED_OK;
    }

    uint8_t width() const { return TESSELON_OLED_COLUMNS; }
    uint8_t height() const { return tesselon_oled_rows(&oled_); }

  private:
    tesselon_oled oled_;
};

#endif
