// Waits take no time on the host; each is told to hostwait, which a test
// may use as a clock, or to watch the lines while the driver waits.
#pragma once

#include <functional>

extern std::function<void(double microseconds)> hostwait;

#define _delay_us(us) hostwait(us)
#define _delay_ms(ms) hostwait((ms)*1000.0)
