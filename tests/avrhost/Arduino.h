// The one name of the Arduino core that the library's class uses, for its
// host test; ARDUINO stays undefined, so the driver names pins as outside
// the core.
#pragma once

class __FlashStringHelper;
