// Shows a picture that tesselon made in the middle of a 128 x 64 ST7567
// LCD on I2C (the ST7567A/S modules, at address 0x3F). picture.h is
// tesselon's output for its bundled 16 x 16 smiley; make your own with
//   tesselon mypicture.bmp > picture.h
//
// Wiring (module pin: board pin): VCC: 3.3 V (or 5 V where the module's
// board has a regulator and level shifters: see its maker's notes), GND:
// GND, SDA: SDA, SCL: SCL (Uno, Nano: A4 and A5; Mega: 20 and 21;
// Leonardo: 2 and 3). Nothing else: the module resets itself.
// (The pin names and numbers are the usual ones, unchecked here on a
// module or a board; the sketch was run on a simulated Uno and panel.)
// No module answering: the LED blinks.
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    if (!display.beginI2C(TesselonDisplay::ST7567_128x64, 0x3F)) {
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
