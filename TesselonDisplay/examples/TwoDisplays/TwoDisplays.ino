// Two displays at once, each its own TesselonDisplay object (6 bytes of
// RAM each, no frame buffer): a 0.96" SSD1306 module at 0x3C and a 1.3"
// SH1106 one strapped to 0x3D on one I2C bus, a smiley on the first and a
// heart on the second. Each is drawn on its own: one that is missing or faulty does not
// keep the other from its picture. The outcome goes out on the serial port.
// A display on the SPI works beside them the same way (beginSPI).
//
// Wiring: both modules' SDA to SDA, SCL to SCL (Uno, Nano: A4 and A5;
// Mega: 20 and 21; Leonardo: 2 and 3), VCC and GND as the modules want
// them; the SH1106 module's address jumper (or resistor) set to 0x3D.
// (Unchecked here on modules or a board; the sketch was run on a
// simulated Uno with one panel at a time.)
#include <TesselonDisplay.h>

// tesselon names every array bmppic, so each gets its own name here.
#define bmppic smiley
#include "smiley.h"
#undef bmppic
#define bmppic heart
#include "heart.h"
#undef bmppic

TesselonDisplay left, right;

void setup()
{
    Serial.begin(9600);
    const bool shown = left.beginI2C(TesselonDisplay::SSD1306_128x64, 0x3C) &&
                       left.draw(smiley, (left.width() - pgm_read_byte(&smiley[0])) / 2,
                                 (left.height() - pgm_read_byte(&smiley[1])) / 2);
    Serial.println(shown ? "0x3C: smiley" : "0x3C: none");
    const bool drawn = right.beginI2C(TesselonDisplay::SH1106_128x64, 0x3D) &&
                       right.draw(heart, (right.width() - pgm_read_byte(&heart[0])) / 2,
                                  (right.height() - pgm_read_byte(&heart[1])) / 2);
    Serial.println(drawn ? "0x3D: heart" : "0x3D: none");
}

void loop() {}
