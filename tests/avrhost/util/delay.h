// Waits take no time on the host.
#pragma once

#define _delay_us(us) ((void)(us))
#define _delay_ms(ms) ((void)(ms))
