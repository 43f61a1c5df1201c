// Shows a picture that tesselon made in the middle of a 128 x 64 SSD1306
// OLED on I2C. picture.h is tesselon's output for its bundled 16 x 16
// smiley; make your own with
//   tesselon mypicture.bmp > picture.h
// Modules answer at 0x3C or 0x3D (printed on the board as 0x78 or 0x7A):
// the sketch asks at one, then at the other, until a module answers, so
// the picture shows at either address, and as soon as a loose wire is
// put right. While none answers the glass stays dark.
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    uint8_t address = 0x3C;
    while (!display.beginI2C(TesselonDisplay::SSD1306_128x64, address))
        address ^= 0x3C ^ 0x3D;
    display.draw(bmppic, (display.width() - pgm_read_byte(&bmppic[0])) / 2,
                 (display.height() - pgm_read_byte(&bmppic[1])) / 2);
}

void loop() {}
