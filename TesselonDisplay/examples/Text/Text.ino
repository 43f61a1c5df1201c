// A picture and a line of text on a 128 x 64 SSD1306 OLED on I2C at
// address 0x3C or 0x3D. font6x7latin1.h is tesselon's output for the
// library's Latin-1 font sheet (examples/font6x7latin1.bmp: U+0020 to
// U+007E, then U+00A0 to U+00FF, 6 x 7 pixels each, 16 to a row); a sketch
// that writes ASCII alone may take the ASCII sheet, examples/font6x7.bmp,
// half its size. picture.h is the 16 x 16 smiley. Each header declares
// bmppic, so the font is given its own name. The IDE saves the sketch as
// UTF-8, which drawText reads.
#include <TesselonDisplay.h>

#define bmppic font
#include "font6x7latin1.h"
#undef bmppic
#include "picture.h"

TesselonDisplay display;

void setup()
{
    // The module at 0x3C or 0x3D (0x78 or 0x7A on its board): asked at
    // one, then at the other, until it answers.
    uint8_t address = 0x3C;
    while (!display.beginI2C(TesselonDisplay::SSD1306_128x64, address))
        address ^= 0x3C ^ 0x3D;
    display.draw(bmppic, 56, 16);
    // Rows 40 to 46 and 47 dark: one page, so the text darkens nothing else.
    display.drawText(font, 6, 7, F("Grüße, tesselon!"), 16, 40);
}

void loop() {}
