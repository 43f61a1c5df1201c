// Plays an animation from one sheet: spinner.h is tesselon's output for a
// sheet of 8 frames of 32 x 32 pixels, 4 to a row (examples/spinner.bmp,
// made from an animated GIF as the sheets guide shows). Ten frames a
// second, in the middle of a 128 x 64 SSD1306 OLED on I2C at 0x3C or 0x3D.
#include <TesselonDisplay.h>

#include "spinner.h"

const uint8_t FRAME_SIZE = 32; // pixels a side
const uint8_t FRAMES = 8;
const unsigned long FRAME_MS = 100;

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
    // A steady rate: each frame is due FRAME_MS after the one before, not
    // after the draw before ended, so the rate does not drift.
    if (long(millis() - due) < 0)
        return;
    due += FRAME_MS;
    display.drawTile(bmppic, FRAME_SIZE, FRAME_SIZE, frame, (display.width() - FRAME_SIZE) / 2,
                     (display.height() - FRAME_SIZE) / 2);
    frame = (frame + 1) % FRAMES;
}
