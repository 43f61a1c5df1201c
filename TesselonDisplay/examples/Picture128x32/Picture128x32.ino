// Shows a picture that tesselon made in the middle of a 128 x 32 SSD1306
// OLED (the 0.91" modules) on I2C at address 0x3C, and blinks the LED when
// the module does not answer. picture.h is tesselon's output for its
// bundled 16 x 16 smiley; make your own with
//   tesselon mypicture.bmp > picture.h
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    if (!display.beginI2C(TesselonDisplay::SSD1306_128x32, 0x3C)) {
        // No module answered (wrong address, no pull-ups, a loose wire).
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
