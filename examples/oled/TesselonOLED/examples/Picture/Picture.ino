// Shows a picture that tesselon made in the middle of a 128 x 64 SSD1306
// OLED on I2C at address 0x3C. picture.h is tesselon's output for its
// bundled 16 x 16 smiley; make your own with
//   tesselon mypicture.bmp > picture.h
#include <TesselonOLED.h>

#include "picture.h"

TesselonOLED oled;

void setup()
{
    oled.beginI2C(TesselonOLED::SSD1306_128x64, 0x3C);
    oled.draw(bmppic, (oled.width() - pgm_read_byte(&bmppic[0])) / 2,
              (oled.height() - pgm_read_byte(&bmppic[1])) / 2);
}

void loop() {}
