// Shows a picture that tesselon made in the middle of a 128 x 64 SSD1306
// OLED on 4-wire SPI: the board's SPI pins, CS on pin 10, D/C on 9 and
// RESET on 8. picture.h is tesselon's output for its bundled 16 x 16
// smiley; make your own with
//   tesselon mypicture.bmp > picture.h
#include <TesselonOLED.h>

#include "picture.h"

TesselonOLED oled;

void setup()
{
    oled.beginSPI(TesselonOLED::SSD1306_128x64, 10, 9, 8);
    oled.draw(bmppic, (oled.width() - pgm_read_byte(&bmppic[0])) / 2,
              (oled.height() - pgm_read_byte(&bmppic[1])) / 2);
}

void loop() {}
