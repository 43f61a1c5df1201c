// Shows a picture that tesselon made in the middle of a Nokia 5110 LCD
// (PCD8544, 84 x 48) on 4-wire SPI. picture.h is tesselon's output for its
// bundled 16 x 16 smiley; make your own with
//   tesselon mypicture.bmp > picture.h
//
// The PCD8544's logic runs at 2.7 to 3.3 V. On a 5 V board (Uno, Nano,
// Mega, Leonardo) its five inputs go through a level shifter to 3.3 V
// (a 74HC4050 supplied with 3.3 V, say); straight from 5 V pins they are
// driven beyond the PCD8544's ratings. A 3.3 V board needs none.
//
// Wiring (module pin: board pin, through the level shifter on 5 V):
//   VCC: 3.3 V        GND: GND          BL: the backlight, per its module
//   CLK: SCK          DIN: MOSI         (Uno, Nano: 13 and 11; Mega: 52
//                                        and 51; Leonardo: the ICSP header)
//   CE or SCE: 10     DC: 9             RST: 8
// (The module pin names differ between makers, and the boards' SPI pin
// numbers are the usual ones: neither is checked here on a module or a
// board; the sketch was run on a simulated Uno and panel.)
// RST must be wired: the PCD8544's registers and memory are undefined
// until a reset pulse, and begin refuses NO_PIN here.
//
// The right contrast differs from module to module: if the glass is blank
// or all dark, try other values in setContrast below (0 to 255: 6.0 to
// 8.5 V on the glass; begin sets about 90). Over SPI nothing answers, so begin fails only for a pin that is no
// pin: then the LED blinks (on an Uno pin 13 is the SPI's clock as well,
// which the panel ignores while its CE is high).
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    if (!display.beginSPI(TesselonDisplay::PCD8544_84x48, 10, 9, 8)) {
        pinMode(LED_BUILTIN, OUTPUT);
        for (;;) {
            digitalWrite(LED_BUILTIN, !digitalRead(LED_BUILTIN));
            delay(250);
        }
    }
    display.setContrast(128);
    display.draw(bmppic, (display.width() - pgm_read_byte(&bmppic[0])) / 2,
                 (display.height() - pgm_read_byte(&bmppic[1])) / 2);
}

void loop() {}
