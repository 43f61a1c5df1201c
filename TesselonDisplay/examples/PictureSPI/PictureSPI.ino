// Shows a picture that tesselon made in the middle of a 128 x 64 SSD1306
// OLED on 4-wire SPI: the board's SPI pins, CS on pin 10, D/C on 9 and
// RESET on 8. picture.h is tesselon's output for its bundled 16 x 16
// smiley; make your own with
//   tesselon mypicture.bmp > picture.h
// Over SPI nothing answers, so begin fails only for a pin that is no pin:
// then the LED blinks (on an Uno pin 13 is the SPI's clock as well, which
// the panel ignores while its CS is high).
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    if (!display.beginSPI(TesselonDisplay::SSD1306_128x64, 10, 9, 8)) {
        pinMode(LED_BUILTIN, OUTPUT);
        for (;;) {
            digitalWrite(LED_BUILTIN, !digitalRead(LED_BUILTIN));
            delay(250);
        }
    }
    display.draw(bmppic, (display.width() - pgm_read_byte(&bmppic[0])) / 2,
                 (display.height() - pgm_read_byte(&bmppic[1])) / 2);
}

void loop() {}
