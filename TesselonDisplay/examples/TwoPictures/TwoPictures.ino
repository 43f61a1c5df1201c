// Two pictures side by side on a 1.3" SH1106 OLED (128 x 64) on I2C at
// address 0x3C, and what to do when the module does not answer: the LED
// blinks. smiley.h and heart.h are tesselon's output; each header declares
// bmppic, so each is given its own name as it is included.
#include <TesselonDisplay.h>

#define bmppic smiley
#include "smiley.h"
#undef bmppic
#define bmppic heart
#include "heart.h"
#undef bmppic

TesselonDisplay display;

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
    // For an SSD1306: TesselonDisplay::SSD1306_128x64 or SSD1306_128x32.
    // For SPI: display.beginSPI(TesselonDisplay::SH1106_128x64, 10, 9, 8) with
    // the pins of CS, D/C and RESET.
    if (!display.beginI2C(TesselonDisplay::SH1106_128x64, 0x3C))
        blinkForever();
    const int16_t top = (display.height() - pgm_read_byte(&smiley[1])) / 2;
    if (!display.draw(smiley, 32, top) || !display.draw(heart, 80, top))
        blinkForever();
}

void loop() {}
