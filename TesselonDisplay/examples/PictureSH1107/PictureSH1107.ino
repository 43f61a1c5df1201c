// Shows a picture that tesselon made in the middle of a 128 x 128 SH1107
// OLED (the 1.5" modules) on I2C. picture.h is tesselon's output for its
// bundled 16 x 16 smiley; make your own with
//   tesselon mypicture.bmp > picture.h
// For a 64 x 128 module, name SH1107_64x128: width() is then 64 and
// height() 128, as the module stands.
//
// Wiring (module pin: board pin): VCC: the module's supply (see its
// board), GND: GND, SDA: SDA, SCL: SCL (Uno, Nano: A4 and A5; Mega: 20
// and 21; Leonardo: 2 and 3).
// (The pin names and numbers are the usual ones, unchecked here on a
// module or a board; the sketch was run on a simulated Uno and panel.)
// No module answering at 0x3C or 0x3D: the sketch tries both in turn.
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    uint8_t address = 0x3C;
    while (!display.beginI2C(TesselonDisplay::SH1107_128x128, address))
        address ^= 0x3C ^ 0x3D;
    display.draw(bmppic, (display.width() - pgm_read_byte(&bmppic[0])) / 2,
                 (display.height() - pgm_read_byte(&bmppic[1])) / 2);
}

void loop() {}
