/*
 * TesselonDisplay: draws tesselon's bmppic arrays from flash with no frame
 * buffer on an SSD1306, SSD1309, SH1106 or SH1107 OLED module or an ST7567
 * LCD over I2C or 4-wire SPI, on a UC1701 LCD or a Nokia 5110's PCD8544
 * over 4-wire SPI, or on an ST7920 LCD in its serial mode on the SPI pins.
 *
 *   #include <TesselonDisplay.h>
 *   #include "picture.h"        // tesselon picture.bmp > picture.h
 *
 *   TesselonDisplay display;
 *   display.beginI2C(TesselonDisplay::SSD1306_128x64, 0x3C);
 *   display.draw(bmppic, x, y);
 *
 * It also draws one tile of a sheet of icons or frames (drawTile) and
 * text with a font that is a sheet of glyphs (drawText). Every call
 * returns whether it did its work; result() then tells why not: BUS_FAULT
 * (no module answering on I2C, a bus held low), ARBITRATION_LOST (another
 * I2C master won the bus), BUS_BUSY (Wire holds the bus, or keeps a
 * repeated START for its next transfer: nothing was sent) or
 * ARGUMENT_ERROR (a call before begin, no picture, a pin that is no pin, a
 * D/C that is NO_PIN, a RESET that must be wired and is not, a panel on a
 * bus it lacks, a call its controller lacks). Each call tries afresh. What
 * a sketch does not call costs it no flash.
 */
#ifndef TESSELONDISPLAY_H
#define TESSELONDISPLAY_H

#include <Arduino.h>

#include "tesselon_display.h"

class TesselonDisplay
{
  public:
    // The panels of the driver's list (tesselon_display.h): SSD1306_128x64,
    // SSD1306_128x32, SH1106_128x64, SH1107_128x128, SH1107_64x128 (64
    // wide, 128 tall), SSD1309_128x64, ST7567_128x64, UC1701_128x64 (SPI
    // alone), PCD8544_84x48 (SPI alone) and ST7920_128x64 (SPI alone, with
    // no D/C).
    enum Panel {
#define TESSELON_DISPLAY_NAME(name, stem, i2c, spi) name,
        TESSELON_DISPLAY_PANELS(TESSELON_DISPLAY_NAME)
#undef TESSELON_DISPLAY_NAME
    };
    enum Result {
        OK = TESSELON_DISPLAY_OK,
        BUS_FAULT = TESSELON_DISPLAY_BUS_FAULT,
        ARBITRATION_LOST = TESSELON_DISPLAY_ARBITRATION_LOST,
        BUS_BUSY = TESSELON_DISPLAY_BUS_BUSY,
        ARGUMENT_ERROR = TESSELON_DISPLAY_ARGUMENT_ERROR
    };

    // A line that is not wired, for beginSPI: a RESET tied to the board's
    // reset (no hardware reset is sent; the panel starts after its power-up
    // wait) or a CS tied low.
    static const uint8_t NO_PIN = TESSELON_NO_PIN;

    // Sets the bus and the panel at an I2C address (0x3C or 0x3D, or 0x78
    // or 0x7A as module boards print them) up, clears it and turns it on;
    // a module's RES line wired to pin reset (the SSD1309's 2.42" modules
    // need it) is pulsed first. Another device may share the bus through
    // Wire. The PCD8544 and the ST7920 have no I2C: false.
    bool beginI2C(Panel panel, uint8_t address = 0x3C, uint8_t reset = NO_PIN)
    {
        return done(tesselon_display_init_i2c_reset(&display_, i2cPanel(panel), address, reset));
    }

    // The same on the SPI, with the Arduino pin numbers of CS, D/C and
    // RESET; CS and RESET may be NO_PIN, but for the SSD1309's and the
    // PCD8544's RESET, which must be wired. The ST7920 has no D/C (NO_PIN),
    // and its CS, the module's RS pin, is active high.
    // (Inlined into the sketch, so that the compiler picks the one panel
    // before linking: else every SPI panel's code would come along.)
    __attribute__((always_inline)) bool beginSPI(Panel panel, uint8_t cs, uint8_t dc, uint8_t reset)
    {
        return done(tesselon_display_init_spi(&display_, spiPanel(panel), cs, dc, reset));
    }

    // Turns every pixel off.
    bool clear() { return done(tesselon_display_clear(&display_)); }

    // Draws a bmppic array with its top left pixel at column x, row y; any
    // values will do, and what falls outside the panel is left out. The
    // 1-bits are lit; rows above and below the picture that share its
    // 8-row pages are darkened within its columns.
    bool draw(const uint8_t *picture, int16_t x, int16_t y)
    {
        return done(tesselon_display_draw(&display_, picture, x, y));
    }

    // The same for a picture anywhere in flash, the Mega's beyond 64 KB too:
    // drawFar(pgm_get_far_address(bmppic), x, y). A picture there is out of
    // a pointer's reach, and draw refuses a pointer that may name it.
    bool drawFar(uint32_t picture, int16_t x, int16_t y)
    {
        return done(tesselon_display_draw_far(&display_, picture, x, y));
    }

    // Draws tile index of a sheet cut into tiles of tileWidth x tileHeight
    // pixels, numbered left to right, then top to bottom, with its top left
    // pixel at column x, row y, clipped as draw is; false past the last tile.
    bool drawTile(const uint8_t *sheet, uint8_t tileWidth, uint8_t tileHeight, uint16_t index,
                  int16_t x, int16_t y)
    {
        return done(
            tesselon_display_draw_tile(&display_, sheet, tileWidth, tileHeight, index, x, y));
    }

    // The same for a sheet at a far address, as drawFar.
    bool drawTileFar(uint32_t sheet, uint8_t tileWidth, uint8_t tileHeight, uint16_t index,
                     int16_t x, int16_t y)
    {
        return done(
            tesselon_display_draw_tile_far(&display_, sheet, tileWidth, tileHeight, index, x, y));
    }

    // Writes text with a font, a sheet of glyphs of glyphWidth x glyphHeight
    // pixels from the blank on (U+0020 to U+007E, then U+00A0 to U+00FF
    // where the sheet has them), its top left pixel at column x, row y:
    // drawText(font, 6, 8, "Größe", 0, 0), or F("Größe") to keep the string
    // in flash. The text is UTF-8, as the IDE saves it; a character the font
    // has no glyph for, or a malformed byte, is a blank.
    bool drawText(const uint8_t *font, uint8_t glyphWidth, uint8_t glyphHeight, const char *text,
                  int16_t x, int16_t y)
    {
        return done(
            tesselon_display_draw_text(&display_, font, glyphWidth, glyphHeight, text, x, y));
    }
    bool drawText(const uint8_t *font, uint8_t glyphWidth, uint8_t glyphHeight,
                  const __FlashStringHelper *text, int16_t x, int16_t y)
    {
        return done(tesselon_display_draw_text_P(&display_, font, glyphWidth, glyphHeight,
                                                 reinterpret_cast<const char *>(text), x, y));
    }

    // Lights (lit true) or darkens a rectangle, clipped as draw is; the rows
    // sharing its 8-row pages (the ST7920: its 16-pixel words) are darkened
    // within its columns, as with draw.
    bool fillRect(int16_t x, int16_t y, uint8_t width, uint8_t height, bool lit)
    {
        return done(tesselon_display_fill_rect(&display_, x, y, width, height, lit));
    }

    // Everything drawn after setInvertMode(true) is sent inverted, the rows
    // sharing its pages lit, until setInvertMode(false); unlike invert, what
    // is on the glass stays. (This, flip and setColumnOffset keep a display's
    // view in 3 bytes of RAM, for two displays at once; a sketch that calls
    // none of them pays nothing for them.)
    bool setInvertMode(bool on) { return done(tesselon_display_invert_mode(&display_, on)); }

    // Turns everything drawn after it by 180 degrees, for a module mounted
    // upside down, or back (false); draw again after it. The PCD8544, the
    // ST7920 and the SH1107_64x128 cannot: false.
    bool flip(bool flipped) { return done(tesselon_display_flip(&display_, flipped)); }

    // The RAM column the glass's left column shows while upright, for a
    // module that wires its glass elsewhere (ST7565-family modules at 0 or
    // 4, SH1106 modules at 0 to 4); call it after begin, then draw.
    bool setColumnOffset(uint8_t column)
    {
        return done(tesselon_display_column_offset(&display_, column));
    }

    // Turns the glass off and on again; what it shows is kept.
    bool off() { return done(tesselon_display_on(&display_, 0)); }
    bool on() { return done(tesselon_display_on(&display_, 1)); }

    // Shows the picture's 0-bits lit and its 1-bits dark, or as drawn; the
    // ST7920 has no inverted display (false).
    bool invert(bool inverted) { return done(tesselon_display_invert(&display_, inverted)); }

    // Sets the contrast, 0 to 255: the OLEDs' own, or the PCD8544's
    // operating voltage (which differs from module to module; a PCD8544
    // that is off stays dark until on). The ST7920's is its potentiometer:
    // false.
    bool setContrast(uint8_t value) { return done(tesselon_display_contrast(&display_, value)); }

    // The panel's size in pixels, 0 before begin.
    uint8_t width() const { return tesselon_display_columns(&display_); }
    uint8_t height() const { return tesselon_display_rows(&display_); }

    // Why the last call did not do its work, OK when it did.
    Result result() const { return Result(tesselon_display_result(&display_)); }

  private:
    static bool done(uint8_t result) { return result == TESSELON_DISPLAY_OK; }

    // A panel's C description on each bus from the list; nullptr, which
    // begin refuses, for a bus the panel lacks and a value the list lacks.
#define TESSELON_DISPLAY_ON_I2C(name, stem, i2c, spi)                                              \
    TESSELON_DISPLAY_IF(i2c, panel == name ? &tesselon_display_##stem##_i2c :)
#define TESSELON_DISPLAY_ON_SPI(name, stem, i2c, spi)                                              \
    TESSELON_DISPLAY_IF(spi, panel == name ? &tesselon_display_##stem##_spi :)
    __attribute__((always_inline)) static const tesselon_display_panel *i2cPanel(Panel panel)
    {
        return TESSELON_DISPLAY_PANELS(TESSELON_DISPLAY_ON_I2C) nullptr;
    }
    __attribute__((always_inline)) static const tesselon_display_panel *spiPanel(Panel panel)
    {
        return TESSELON_DISPLAY_PANELS(TESSELON_DISPLAY_ON_SPI) nullptr;
    }
#undef TESSELON_DISPLAY_ON_I2C
#undef TESSELON_DISPLAY_ON_SPI

    tesselon_display display_ = {}; // all zeros until begin, in a function too
};

#endif
