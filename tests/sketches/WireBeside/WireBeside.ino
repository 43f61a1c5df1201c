// The display driver beside Wire: an I2C EEPROM at 0x50 is written and read
// back through Wire before and after the panel is set up and drawn on; a
// draw before begin is refused, and so is one while Wire keeps a repeated
// START for its next transfer, which then reads unharmed. The outcome goes
// out on the serial port.
#include <TesselonDisplay.h>
#include <Wire.h>

#include "picture.h"

TesselonDisplay display;

// Writes 8 bytes from seed on at address, reads them back; whether all came back.
bool eepromRoundTrip(uint8_t address, uint8_t seed)
{
    Wire.beginTransmission(0x50);
    Wire.write(address);
    for (uint8_t i = 0; i < 8; i++)
        Wire.write(uint8_t(seed + 17 * i));
    if (Wire.endTransmission() != 0)
        return false;
    Wire.beginTransmission(0x50);
    Wire.write(address);
    if (Wire.endTransmission(false) != 0 || Wire.requestFrom(0x50, 8) != 8) // a repeated start
        return false;
    for (uint8_t i = 0; i < 8; i++)
        if (Wire.read() != uint8_t(seed + 17 * i))
            return false;
    return true;
}

void setup()
{
    Serial.begin(9600);
    Wire.begin();
    const bool early = display.draw(bmppic, 0, 0) || display.height() != 0 ||
                       display.result() != TesselonDisplay::ARGUMENT_ERROR;
    Serial.println(early ? "before begin: served" : "before begin: refused");
    Serial.println(eepromRoundTrip(0x10, 3) ? "before: ok" : "before: failed");
    const bool drawn = display.beginI2C(TesselonDisplay::SSD1306_128x64) && display.draw(bmppic, 0, 0);
    Serial.println(drawn ? "drawn: ok" : "drawn: failed");
    Serial.println(eepromRoundTrip(0x80, 101) ? "after: ok" : "after: failed");
    Wire.beginTransmission(0x50);
    Wire.write(0x80);
    Wire.endTransmission(false); // the repeated START waits for requestFrom
    const bool busy =
        !display.draw(bmppic, 0, 0) && display.result() == TesselonDisplay::BUS_BUSY;
    const bool read = Wire.requestFrom(0x50, 1) == 1 && Wire.read() == 101;
    Serial.println(busy && read ? "pending start: left alone" : "pending start: taken");
    Serial.println(display.draw(bmppic, 0, 0) ? "drawn again: ok" : "drawn again: failed");
}

void loop() {}
