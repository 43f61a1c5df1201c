// Shows a picture that tesselon made in the middle of a 128 x 64 SSD1306
// OLED on I2C at address 0x3C. picture.h is tesselon's output for its
// bundled 16 x 16 smiley; make your own with
//   tesselon mypicture.bmp > picture.h
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    display.beginI2C(TesselonDisplay::SSD1306_128x64, 0x3C);
    display.draw(bmppic, (display.width() - pgm_read_byte(&bmppic[0])) / 2,
                 (display.height() - pgm_read_byte(&bmppic[1])) / 2);
}

void loop() {}
