// Pictures beyond the Mega 2560's first 64 KB of flash: 70,000 bytes of
// other data in flash push the picture above it. drawFar draws it from its
// far address; draw refuses the pointer, which may name the picture or the
// place 64 KB below it. The outcome goes out on the serial port.
#include <TesselonDisplay.h>

#include "picture.h"

const uint8_t data1[30000] PROGMEM = {1};
const uint8_t data2[30000] PROGMEM = {2};
const uint8_t data3[10000] PROGMEM = {3};

TesselonDisplay display;

void setup()
{
    Serial.begin(9600);
    const uint32_t far = pgm_get_far_address(bmppic);
    Serial.println(far > 0xFFFF ? "picture: beyond 64 KB" : "picture: below 64 KB");
    display.beginI2C(TesselonDisplay::SSD1306_128x64);
    const bool refused =
        !display.draw(bmppic, 0, 0) && display.result() == TesselonDisplay::ARGUMENT_ERROR;
    Serial.println(refused ? "pointer: refused" : "pointer: drawn");
    Serial.println(display.drawFar(far, 40, 16) ? "far: drawn" : "far: failed");
    // the other data, kept by the linker
    Serial.println(pgm_read_byte(&data1[0]) + pgm_read_byte(&data2[0]) + pgm_read_byte(&data3[0]));
}

void loop() {}
