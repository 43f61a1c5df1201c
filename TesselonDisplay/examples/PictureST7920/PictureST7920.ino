// Shows a picture that tesselon made in the middle of a 128 x 64 ST7920
// LCD (the "12864" modules) in its serial mode. picture.h is tesselon's
// output for its bundled 16 x 16 smiley; make your own with
//   tesselon mypicture.bmp > picture.h
//
// Wiring (module pin: board pin):
//   GND: GND          VCC: 5 V on most modules (see yours)
//   V0: the module's contrast, its potentiometer (setContrast has none)
//   PSB: GND, which chooses the serial mode
//   RS: 10            this is CS in serial mode, and it is active high
//   R/W: MOSI         E: SCK            (Uno, Nano: 11 and 13; Mega: 51
//                                        and 52; Leonardo: the ICSP header)
//   RST: 8, or NO_PIN with RST left to the module's own power-up reset
//   BLA, BLK: the backlight, per its module
// (The module pin names differ between makers, and the boards' SPI pin
// numbers are the usual ones: neither is checked here on a module or a
// board; the sketch was run on a simulated Uno and panel.)
// There is no D/C: NO_PIN. Nothing can be read back from the module, so
// the driver waits 72 us after each byte: a full screen takes about 120 ms.
// begin fails only for a pin that is no pin: then the LED blinks (on an
// Uno pin 13 is the SPI's clock as well, which the module ignores while
// RS is low).
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    if (!display.beginSPI(TesselonDisplay::ST7920_128x64, 10, TesselonDisplay::NO_PIN, 8)) {
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
