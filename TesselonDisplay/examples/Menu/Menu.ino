// A menu of four entries on a 128 x 64 SSD1306 OLED on I2C at address
// 0x3C: the selected entry lit, its letters dark. A button on pin 2 (to
// GND; the chip's pull-up holds the pin high while it is open) moves the
// selection down, from the last entry back to the first; each press
// redraws only the two entries that change. Each entry is one 8-row page,
// so drawing it leaves its neighbours alone. font6x7latin1.h is tesselon's
// output for the library's Latin-1 font sheet (examples/font6x7latin1.bmp).
#include <TesselonDisplay.h>

#define bmppic font
#include "font6x7latin1.h"
#undef bmppic

const uint8_t BUTTON = 2;
const uint8_t ENTRIES = 4, ENTRY_ROWS = 16; // an entry every 16 rows: pages 0, 2, 4 and 6

const char entry0[] PROGMEM = "Uhrzeit";
const char entry1[] PROGMEM = "Helligkeit";
const char entry2[] PROGMEM = "Töne";
const char entry3[] PROGMEM = "Über";
const char *const entries[ENTRIES] PROGMEM = {entry0, entry1, entry2, entry3};

TesselonDisplay display;
uint8_t selected = 0;
bool wasPressed = false;

// An entry's line, lit and drawn inverted while selected: the rectangle
// lights the whole line, and the text in invert mode lights its own 8th
// row too.
void drawEntry(uint8_t entry, bool lit)
{
    const int16_t y = entry * ENTRY_ROWS;
    display.fillRect(0, y, display.width(), 8, lit);
    display.setInvertMode(lit);
    display.drawText(font, 6, 7,
                     reinterpret_cast<const __FlashStringHelper *>(pgm_read_ptr(&entries[entry])),
                     6, y);
    display.setInvertMode(false);
}

void setup()
{
    pinMode(BUTTON, INPUT_PULLUP);
    while (!display.beginI2C(TesselonDisplay::SSD1306_128x64, 0x3C))
        delay(500); // the module not there yet: ask again
    for (uint8_t entry = 0; entry < ENTRIES; entry++)
        drawEntry(entry, entry == selected);
}

void loop()
{
    const bool pressed = digitalRead(BUTTON) == LOW;
    if (pressed && !wasPressed) {
        drawEntry(selected, false);
        selected = (selected + 1) % ENTRIES;
        drawEntry(selected, true);
    }
    wasPressed = pressed;
    delay(20); // longer than a button's contacts bounce
}
