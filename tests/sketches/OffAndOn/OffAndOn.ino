// A PCD8544 (Nokia 5110) turned off, inverted while off and turned on
// again shows its picture inverted; off blanks the glass before powering
// it down. Pin numbers past the board's last pin are refused. The outcome
// goes out on the serial port.
#include <TesselonDisplay.h>

#include "picture.h"

TesselonDisplay display;

void setup()
{
    Serial.begin(9600);
    bool past = false;
    for (uint8_t pin = NUM_DIGITAL_PINS; pin <= NUM_DIGITAL_PINS + 1; pin++)
        past = past || display.beginSPI(TesselonDisplay::PCD8544_84x48, pin, 9, 8) ||
               display.result() != TesselonDisplay::ARGUMENT_ERROR;
    Serial.println(past ? "pin past the last: taken" : "pin past the last: refused");
    const bool shown = display.beginSPI(TesselonDisplay::PCD8544_84x48, 10, 9, 8) &&
                       display.draw(bmppic, 0, 0) && display.off() && display.invert(true) &&
                       display.on();
    Serial.println(shown ? "off, inverted, on: ok" : "off, inverted, on: failed");
}

void loop() {}
