// Plays full-screen frames kept in arrays of their own, through a table of
// pictures in flash: ball0.h to ball3.h are tesselon's output for
// examples/ball0.bmp to ball3.bmp (128 x 64 each). Four frames a second on
// a 128 x 64 SSD1306 OLED on I2C at 0x3C or 0x3D. Each header declares bmppic, so
// each is given its own name as it is included.
#include <TesselonDisplay.h>

#define bmppic ball0
#include "ball0.h"
#undef bmppic
#define bmppic ball1
#include "ball1.h"
#undef bmppic
#define bmppic ball2
#include "ball2.h"
#undef bmppic
#define bmppic ball3
#include "ball3.h"
#undef bmppic

// The table lies in flash too: read an entry with pgm_read_ptr.
const uint8_t *const frames[] PROGMEM = {ball0, ball1, ball2, ball3};
const uint8_t FRAMES = sizeof frames / sizeof frames[0];
const unsigned long FRAME_MS = 250;

TesselonDisplay display;
uint8_t frame = 0;
unsigned long due;

void setup()
{
    // The module at 0x3C or 0x3D (0x78 or 0x7A on its board): asked at
    // one, then at the other, until it answers.
    uint8_t address = 0x3C;
    while (!display.beginI2C(TesselonDisplay::SSD1306_128x64, address))
        address ^= 0x3C ^ 0x3D;
    due = millis();
}

void loop()
{
    // A steady rate: each frame is due FRAME_MS after the one before.
    if (long(millis() - due) < 0)
        return;
    due += FRAME_MS;
    display.draw((const uint8_t *)pgm_read_ptr(&frames[frame]), 0, 0);
    frame = (frame + 1) % FRAMES;
}
