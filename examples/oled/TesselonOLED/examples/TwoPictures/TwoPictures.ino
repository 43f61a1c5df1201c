// Two pictures side by side on a 1.3" SH1106 OLED (128 x 64) on I2C at
// address 0x3C, and what to do when the module does not answer: the LED
// blinks. smiley.h and heart.h are tesselon's output; each header declares
// bmppic, so each is given its own name as it is included.
#include <TesselonOLED.h>

#define bmppic smiley
#include "smiley.h"
#undef bmppic
#define bmppic heart
#include "heart.h"
#undef bmppic

TesselonOLED oled;

// No module answered (wrong address, no pull-ups, a loose wire): say so
// with the LED, since nothing can be shown.
void blinkForever()
{
    pinMode(LED_BUILTIN, OUTPUT);
    for (;;) {
        digitalWrite(LED_BUILTIN, !digitalRead(LED_BUILTIN));
        delay(250);
    }
}

void setup()
{
    // For an SSD1306: TesselonOLED::SSD1306_128x64 or SSD1306_128x32.
    // For SPI: oled.beginSPI(TesselonOLED::SH1106_128x64, 10, 9, 8) with
    // the pins of CS, D/C and RESET.
    if (!oled.beginI2C(TesselonOLED::SH1106_128x64, 0x3C))
        blinkForever();
    const int16_t top = (oled.height() - pgm_read_byte(&smiley[1])) / 2;
    if (!oled.draw(smiley, 32, top) || !oled.draw(heart, 80, top))
        blinkForever();
}

void loop() {}
