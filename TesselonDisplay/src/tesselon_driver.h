/*
 * Inside the display driver: how its rooms meet. Not for sketches.
 *
 *   tesselon_display.c    the core: state, init, clear, pictures, tiles,
 *                         text, on/off/invert/contrast, all through the panel
 *   page_bytes.c          the 8 x 8 block turned in registers, for the buses
 *                         that send a byte at a time
 *   pins.c                a pin's port and bit, driven high or low
 *   bus_twi.c             I2C on the chip's TWI        (built where TWCR is)
 *   bus_spi.c             4-wire SPI on the chip's SPI (built where SPCR is)
 *   controller_oled.c     SSD1306, SSD1309, SH1106: set-ups, page addressing, panels
 *   controller_pcd8544.c  PCD8544: set-up, its bank and column addressing, panel
 *   controller_st7920.c   ST7920: serial framing on the SPI, rows of words, panel
 *   view.c                how a display is viewed: flipped, its column offset,
 *                         invert mode; linked only where a sketch calls them
 *
 * A panel names its stream (a bus's functions, or a controller's framing on
 * a bus) and describes its controller by data and one small hook; the core
 * knows no controller and no bus by name.
 */
#ifndef TESSELON_DRIVER_H
#define TESSELON_DRIVER_H

#include "tesselon_display.h"

#ifdef ARDUINO
#include <Arduino.h>
#endif
#include <stddef.h>

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <util/delay.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The buses the chip has: a bus's file and the panels on it are built only there. */
#ifdef TWCR
#define TD_HAS_TWI 1
#else
#define TD_HAS_TWI 0
#endif
#ifdef SPCR
#define TD_HAS_SPI 1
#else
#define TD_HAS_SPI 0
#endif
/* The USI, where a chip has neither (the ATtiny25/45/85, 24/44/84,
 * 2313/4313): I2C in its two-wire mode, SPI in its three-wire mode. */
#if defined(USICR) && !TD_HAS_TWI && !TD_HAS_SPI
#define TD_HAS_USI 1
#else
#define TD_HAS_USI 0
#endif
/* The buses a panel may be on: by the chip's TWI or SPI, or by its USI. */
#define TD_I2C_BUS (TD_HAS_TWI || TD_HAS_USI)
#define TD_SPI_BUS (TD_HAS_SPI || TD_HAS_USI)

/* For the small functions on the way of every byte. */
#define TD_INLINE static inline __attribute__((always_inline))

/*
 * The driver's own tables in flash. On a chip with more than 64 KB of
 * flash, the linker puts sections named .progmem.gcc_* first, in the
 * lowest 64 KB, where a 16-bit flash read finds them, whatever size the
 * sketch's own data in flash grows to. Each table has a section of its
 * own, so that a table no call names is left out.
 */
#define TD_LOW_FLASH(name) __attribute__((__section__(".progmem.gcc_tesselon." #name)))

/*
 * A picture's place in flash. Where there is more than 64 KB of it (the
 * ATmega2560), a picture may lie above the first 64 KB, out of a 16-bit
 * pointer's reach: there the place is a far address, which
 * pgm_get_far_address gives, read with ELPM.
 */
#if defined(FLASHEND) && FLASHEND > 0xFFFF
#define TD_FAR_FLASH 1
typedef uint32_t td_flash_place;
#define TD_FLASH_BYTE(place) pgm_read_byte_far(place)
#else
#define TD_FAR_FLASH 0
typedef const uint8_t *td_flash_place;
#define TD_FLASH_BYTE(place) pgm_read_byte(place)
#endif

/* ---- A call's state ---- */

/* In tesselon_display.state: bit 0 a byte handed to the bus whose end is
 * still to be waited for; above it the call's result, 0 while all goes
 * well. Each call starts afresh, so that a fault passes with its call. */
#define TD_ON_THE_BUS 0x01
#define TD_FAILED(state) ((state) > TD_ON_THE_BUS)

/* Keeps a call's result; the first result is the only one, as every step
 * after a failure is left out. */
void td_fail(tesselon_display *display, uint8_t result);

/* A wait on a bus gives up after this many polls of 6 cycles and more:
 * 6 ms and more at any clock, far beyond any byte at 100 kHz. The polls
 * run without a pause, so that the next byte follows the moment the bus
 * is free. */
#define TD_POLLS_BEFORE_GIVING_UP ((uint16_t)(F_CPU / 1000))

/* One delay loop for every pause, which keeps the code small. */
void td_wait_ms(uint8_t ms);

/* ---- The view: what view.c changes, where a sketch calls it ---- */

/*
 * Each has a weak definition in the core: the panel's own view (its first
 * column, nothing inverted), which the compiler folds into the code that
 * asks when view.c is not linked. A sketch that calls none of view.c's
 * functions pays for none of it, as long as the library is linked as an
 * archive (dot_a_linkage), so that view.c is taken only when named.
 */
struct td_page_line;
/* The RAM column at the glass's left edge as the glass is viewed now. */
uint8_t td_glass_column(const tesselon_display *display);
/* What a line's page bytes (or the ST7920's pixels) are XORed with: 0xFF
 * in invert mode, else 0; a line with no bytes (a cleared one) is never
 * inverted. line may be NULL: the pixels that pad a stream's words. */
uint8_t td_ink(const tesselon_display *display, const struct td_page_line *line);
/* init has set the display up again: the panel's own view. */
void td_view_begun(tesselon_display *display);

/* The core's steps that view.c's calls share. */
uint8_t td_refused(tesselon_display *display, uint8_t refuse);
uint8_t td_outcome(const tesselon_display *display);
void td_send_commands(tesselon_display *display, const uint8_t *commands, uint8_t count,
                      uint8_t in_flash);

/* ---- A page line: what the drawing hands the bus ---- */

/*
 * One page's stretch of a picture as a bus sends it: columns page bytes
 * (at least 1), the first skip columns of the first byte column left out.
 * Byte column by byte column, its rows from..to - 1 (step bytes apart in
 * flash, from bytes on) become the page's bits from..to - 1; the other bits
 * are dark, and with from == to (no bytes read) the whole stretch is. It
 * goes to page page of the controller's RAM, from RAM column column on.
 */
typedef struct td_page_line {
    uint8_t out[8]; /* room for a byte column's page bytes, or the address, on their way;
                       first, where the chip reaches it without an offset */
    td_flash_place bytes;
    uint8_t step, from, to, skip, columns;
    uint8_t page, column;
} td_page_line;

/* ---- Streams: a bus, or a controller's framing on a bus ---- */

/* What a stream carries: for I2C its control byte, for SPI its D/C level. */
enum { TD_COMMANDS = 0x00, TD_DATA = 0x40 };

/* Sets the bus and its lines up and waits for the module's reset; keeps a failure. */
typedef void (*td_init_fn)(tesselon_display *display);
/* Starts a stream of commands or of data (TD_COMMANDS, TD_DATA). */
typedef void (*td_begin_fn)(tesselon_display *display, uint8_t carries);
/* Sends count bytes, at least 1, from flash where in_flash is set, else
 * from RAM. Each waits only for the one before it, and the last may still
 * be on its way when it returns, so that the next bytes are worked out
 * meanwhile. */
typedef void (*td_send_fn)(tesselon_display *display, const uint8_t *bytes, uint8_t count,
                           uint8_t in_flash);
/* The next byte to send, from flash or from RAM. */
#define TD_NEXT_BYTE(bytes, in_flash) ((in_flash) ? pgm_read_byte((bytes)++) : *(bytes)++)
/* Sends a page line within a stream of data. */
typedef void (*td_send_line_fn)(tesselon_display *display, td_page_line *line);
/* Ends the stream once its last byte has left. */
typedef void (*td_end_fn)(tesselon_display *display);

typedef struct td_stream {
    td_init_fn init;
    td_begin_fn begin;
    td_send_fn send;
    td_send_line_fn send_line;
    td_end_fn end;
} td_stream;

/* ---- Controllers: data and one hook ---- */

/* Builds the commands that address a page line's page and RAM column in
 * the line's room (out) and returns their count: 0 for a controller that
 * addresses its rows as they are sent, in its stream's send_line. */
typedef uint8_t (*td_address_fn)(td_page_line *line);

/* One-byte commands, 0 for one the controller lacks. The first two, in
 * this order, light the glass once the set-up has cleared its RAM. */
typedef struct td_commands {
    uint8_t normal;   /* the 1-bits lit */
    uint8_t on;       /* the glass on */
    uint8_t inverted; /* the 0-bits lit */
    uint8_t off;      /* the glass off, its RAM kept */
} td_commands;

/* The contrast, 0 to 255, as the controller takes it: command, then
 * base + value x (top + 1) / 256 (0 to top), then tail unless it is 0. A
 * controller with no contrast of its own has command 0. */
typedef struct td_contrast {
    uint8_t command, top, base, tail;
} td_contrast;

typedef struct td_controller {
    const uint8_t *setup; /* TD_SETUP: every register another firmware may have changed */
    td_address_fn address;
    td_commands commands;
    td_contrast contrast;
    uint8_t text_rows;   /* rows of a page sent in one stream of text: 8, or 1 where
                            glyphs share the controller's words, which take rows */
    uint8_t traits;      /* TD_NEEDS_RESET, and how it turns its glass */
} td_controller;

/* A controller's traits: its registers are undefined until a reset pulse;
 * it turns its glass by 180 degrees with its segment (0xA0, bit 0) and COM
 * (0xC0, bit 3) directions, which the set-up gives as TD_UPRIGHT_* says. */
#define TD_NEEDS_RESET 0x80
#define TD_TURNS 0x40
#define TD_UPRIGHT_SEGMENTS_REVERSED 0x01 /* 0xA1 */
#define TD_UPRIGHT_COMS_REVERSED 0x08     /* 0xC8 */

/* The page controllers (the OLEDs, the ST7565 family): page addressing,
 * one command each for normal, on, inverted and off, the contrast as
 * 0x81 and a value up to top; traits as above. */
uint8_t td_page_address(td_page_line *line);
#define TD_PAGE_CONTROLLER(setup_bytes, top_contrast, controller_traits)                           \
    {                                                                                              \
        .setup = setup_bytes, .address = td_page_address,                                          \
        .commands = {.normal = 0xA6, .on = 0xAF, .inverted = 0xA7, .off = 0xAE},                   \
        .contrast = {.command = 0x81, .top = top_contrast, .base = 0, .tail = 0}, .text_rows = 8,  \
        .traits = controller_traits                                                                \
    }

struct tesselon_display_panel {
    td_stream stream;
    td_controller controller;
    uint8_t columns, rows; /* the glass, side by side: read as one word */
    uint8_t first_column;  /* the RAM column at the glass's left edge */
    uint8_t ram_columns;
    uint8_t spi_clock; /* SPCR's clock bits and SPI2X at bit 7: TD_SPI_CLOCK */
};

/* A set-up in flash: its length, then its commands. */
#define TD_SETUP(...)                                                                              \
    {                                                                                              \
        TD_COUNT(__VA_ARGS__), __VA_ARGS__                                                         \
    }
#ifndef __cplusplus
#define TD_COUNT(...) ((uint8_t)sizeof((const uint8_t[]){__VA_ARGS__}))
#endif

/* A panel's definition, in a section of its own in the low flash. */
#define TD_PANEL(name) const tesselon_display_panel name TD_LOW_FLASH(name)

/* The SPI clock bits for the fastest clock a controller takes, at most max Hz. */
#define TD_SPI_CLOCK(max)                                                                          \
    (F_CPU / 2 <= (max)    ? 0x80                                                                  \
     : F_CPU / 4 <= (max)  ? 0x00                                                                  \
     : F_CPU / 8 <= (max)  ? 0x81                                                                  \
     : F_CPU / 16 <= (max) ? 0x01                                                                  \
     : F_CPU / 32 <= (max) ? 0x82                                                                  \
     : F_CPU / 64 <= (max) ? 0x02                                                                  \
                           : 0x03)
#define TD_SPI2X 0x80

/* ---- Page bytes, for the buses that send a byte at a time ---- */

/* A page line a byte column at a time: 8 page bytes built, then sent. */
void td_send_line_in_blocks(tesselon_display *display, td_page_line *line, td_send_fn send);

/* ---- Pins ---- */

/* Drives pin high or low, making it an output if asked; TESSELON_NO_PIN
 * takes nothing. Whether pin names a pin. */
uint8_t td_pin_write(uint8_t pin, uint8_t high, uint8_t output);

/* A reset pulse on a module's RESET line, an output already high: low for
 * 1 ms (the controllers ask 3 to 10 us at the least) after 1 ms high, then
 * 5 ms for the controller's own reset. */
TD_INLINE void td_reset_pulse(uint8_t pin)
{
    td_wait_ms(1);
    td_pin_write(pin, 0, 0);
    td_wait_ms(1);
    td_pin_write(pin, 1, 0);
    td_wait_ms(5);
}

/* ---- Buses ---- */

/* A bus's stream: its five functions, td_<bus>_init to td_<bus>_end, as
 * declared here and as a panel names them. */
#define TD_BUS_FUNCTIONS(bus)                                                                      \
    void td_##bus##_init(tesselon_display *display);                                               \
    void td_##bus##_begin(tesselon_display *display, uint8_t carries);                             \
    void td_##bus##_send(tesselon_display *display, const uint8_t *bytes, uint8_t count,           \
                         uint8_t in_flash);                                                        \
    void td_##bus##_send_line(tesselon_display *display, td_page_line *line);                      \
    void td_##bus##_end(tesselon_display *display);
#define TD_BUS_STREAM(bus)                                                                         \
    {                                                                                              \
        .init = td_##bus##_init, .begin = td_##bus##_begin, .send = td_##bus##_send,               \
        .send_line = td_##bus##_send_line, .end = td_##bus##_end                                   \
    }

#if TD_I2C_BUS
TD_BUS_FUNCTIONS(i2c)
#endif

#if TD_SPI_BUS
TD_BUS_FUNCTIONS(spi)
/* For a controller's framing on the SPI: its lines set up with CS at its
 * idle level, whether every pin named is a pin; the reset pulse or the
 * module's own power-up reset; the panel's clock; whether the byte a call
 * before left on the bus is out and all went well. */
uint8_t td_spi_pins(tesselon_display *display, uint8_t cs_idle);
void td_spi_reset(tesselon_display *display);
void td_spi_clock_set(const tesselon_display *display);
uint8_t td_spi_ready(tesselon_display *display);
#endif

#ifdef __cplusplus
}
/* The driver compiled as C++, by its host test. */
template <typename... Bytes> constexpr uint8_t td_count(Bytes...) { return sizeof...(Bytes); }
#define TD_COUNT(...) td_count(__VA_ARGS__)
#endif

#endif
