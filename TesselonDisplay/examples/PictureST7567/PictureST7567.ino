// Shows a picture that tesselon made in the middle of a 128 x 64 ST7567
// LCD (the JLX12864 modules) on 4-wire SPI. picture.h is tesselon's output
// for its bundled 16 x 16 smiley; make your own with
//   tesselon mypicture.bmp > picture.h
//
// The ST7567's logic runs at 3.3 V: on a 5 V board (Uno, Nano, Mega,
// Leonardo) its inputs go through a level shifter to 3.3 V, unless the
// module's board has one (see its maker's notes; unchecked here).
//
// Wiring (module pin: board pin):
//   VCC: 3.3 V        GND: GND
//   SCK or SCL: SCK   SDA or SI: MOSI   (Uno, Nano: 13 and 11; Mega: 52
//                                        and 51; Leonardo: the ICSP header)
//   CS: 10            RS or A0 or DC: 9 RST: 8
// (The module pin names differ between makers, and the boards' SPI pin
// numbers are the usual ones: neither is checked here on a module or a
// board; the sketch was run on a simulated Uno and panel.)
// RST must be wired: begin refuses NO_PIN here. A picture shifted by 4
// columns or mirrored: see the guide's "modules" page. If the glass is
// blank or all dark, try other values in setContrast (0 to 255).
// Over SPI nothing answers, so begin fails only for a pin that is no pin:
// then the LED blinks (on an Uno pin 13 is the SPI's clock as well, which
// the panel ignores while its CS is high).
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    if (!display.beginSPI(TesselonDisplay::ST7567_128x64, 10, 9, 8)) {
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
