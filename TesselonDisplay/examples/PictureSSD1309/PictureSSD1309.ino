// Shows a picture that tesselon made in the middle of a 2.42" 128 x 64
// SSD1309 OLED on 4-wire SPI, the way these modules come set. picture.h is
// tesselon's output for its bundled 16 x 16 smiley; make your own with
//   tesselon mypicture.bmp > picture.h
//
// Wiring (module pin: board pin):
//   GND: GND          VCC: the module's supply (see its board)
//   SCK or D0: SCK    SDA or D1: MOSI   (Uno, Nano: 13 and 11; Mega: 52
//                                        and 51; Leonardo: the ICSP header)
//   CS: 10            DC: 9             RES: 8
// (The module pin names differ between makers, and the boards' SPI pin
// numbers are the usual ones: neither is checked here on a module or a
// board; the sketch was run on a simulated Uno and panel.)
// RES must be wired: the SSD1309's registers are undefined until a reset
// pulse, and begin refuses NO_PIN here. Moved to I2C (its resistors
// resoldered), the module answers at 0x3C or 0x3D:
// beginI2C(TesselonDisplay::SSD1309_128x64, 0x3C, 8) pulses its RES on 8.
// Over SPI nothing answers, so begin fails only for a pin that is no pin:
// then the LED blinks (on an Uno pin 13 is the SPI's clock as well, which
// the panel ignores while its CS is high).
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    if (!display.beginSPI(TesselonDisplay::SSD1309_128x64, 10, 9, 8)) {
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
