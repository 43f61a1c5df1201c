/* The ST7920 in its serial mode on the chip's SPI: its framing, its rows of
 * 16-pixel words, its set-up and its panel. */
#include "tesselon_driver.h"

#if TD_SPI_BUS

/*
 * Each byte goes as a frame of three: a sync byte that names it an
 * instruction or data, then its high nibble and its low nibble, each at
 * the top of a byte. Nothing can be read back, so there is no busy flag:
 * after each frame the driver waits the controller's execution time. CS is
 * active high, and there is no D/C; RESET is needed in init alone, so
 * their bytes then hold the stream's state and the pixels of the byte
 * under way, behind a marker bit.
 */
#define DATA_STREAM 0x01   /* the stream's own bytes are data */
#define LOW_BYTE_DUE 0x02  /* a word's high byte is sent, its low byte due */
#define ROW_UNDER_WAY 0x04 /* the stream has begun a row */
#define NO_PIXELS 0x01     /* the marker bit alone */
#define ST7920_INSTRUCTION 0xF8
#define ST7920_DATA 0xFA
#define ST7920_CLEAR 0x01

/*
 * The waits after a frame. The datasheet gives the execution times at its
 * typical RC oscillator: 72 us, 1.6 ms for a clear; its initialisation
 * flow asks for 100 us after a function set and 10 ms after the clear.
 * The oscillator's range is not given, and its frequency depends on a
 * resistor on the module: each wait here is a quarter longer than the
 * datasheet's, for an oscillator up to a fifth slow.
 */
#define ST7920_WAIT_US(us) ((us)*5.0 / 4)

static void st7920_wait(uint8_t sync, uint8_t byte)
{
    if (sync == ST7920_DATA)
        _delay_us(ST7920_WAIT_US(72));
    else if (byte == ST7920_CLEAR)
        td_wait_ms(13);             /* 10 ms and a quarter, rounded up */
    else if ((byte & 0xE0) == 0x20) /* a function set */
        _delay_us(ST7920_WAIT_US(100));
    else
        _delay_us(ST7920_WAIT_US(72));
}

/* One byte as a frame, CS high while it is sent and low again once it
 * has left, so that no other traffic on the SPI reaches the module during
 * the waits; then its execution time. */
static void st7920_frame(tesselon_display *display, uint8_t sync, uint8_t byte)
{
    const uint8_t frame[3] = {sync, (uint8_t)(byte & 0xF0), (uint8_t)(byte << 4)};
    if (TD_FAILED(display->state))
        return;
    td_pin_write(display->bus.st7920.cs, 1, 0);
    td_spi_send(display, frame, 3, 0);
    const uint8_t sent = td_spi_ready(display);
    td_pin_write(display->bus.st7920.cs, 0, 0);
    if (sent)
        st7920_wait(sync, byte);
}

/* CS is the module's RS pin, active high, so it idles low. A module
 * starts 40 ms after its supply comes up, and the same is waited for
 * after a reset pulse. */
static void st7920_init(tesselon_display *display)
{
    if (!td_spi_pins(display, 0)) {
        td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return;
    }
    td_spi_reset(display);
    td_wait_ms(40);
}

static void st7920_begin(tesselon_display *display, uint8_t carries)
{
    if (TD_FAILED(display->state))
        return;
    td_spi_clock_set(display);
    display->bus.st7920.stream = carries == TD_DATA ? DATA_STREAM : 0;
    display->bus.st7920.pixels = NO_PIXELS;
}

static void st7920_send(tesselon_display *display, const uint8_t *bytes, uint8_t count,
                        uint8_t in_flash)
{
    const uint8_t sync =
        display->bus.st7920.stream & DATA_STREAM ? ST7920_DATA : ST7920_INSTRUCTION;
    for (; count; count--)
        st7920_frame(display, sync, TD_NEXT_BYTE(bytes, in_flash));
}

/* A pixel into the byte under way, pixels (behind its marker bit), and
 * the byte under way after it: a full byte is sent. The byte under way
 * stays in a register while a row's pixels go in, and in the display
 * between calls. */
TD_INLINE uint8_t st7920_pixel(tesselon_display *display, uint8_t pixels, uint8_t lit)
{
    const uint8_t full = pixels & 0x80;
    pixels = (uint8_t)(pixels << 1 | lit);
    if (!full)
        return pixels;
    st7920_frame(display, ST7920_DATA, pixels);
    display->bus.st7920.stream ^= LOW_BYTE_DUE;
    return NO_PIXELS;
}

/* The word under way's dark pixels to its end, which takes its two bytes
 * whole; then count dark pixels more (lit in invert mode). */
static void st7920_dark(tesselon_display *display, uint8_t count)
{
    const uint8_t dark = td_ink(display, 0) & 1;
    uint8_t pixels = display->bus.st7920.pixels;
    while (pixels != NO_PIXELS || display->bus.st7920.stream & LOW_BYTE_DUE)
        pixels = st7920_pixel(display, pixels, dark);
    for (; count; count--)
        pixels = st7920_pixel(display, pixels, dark);
    display->bus.st7920.pixels = pixels;
}

static void st7920_end(tesselon_display *display) { st7920_dark(display, 0); }

/* A row's pixels of a page line, dark where the line has no rows. */
static void st7920_row_pixels(tesselon_display *display, const td_page_line *line, uint8_t row)
{
    const uint8_t lit = row >= line->from && row < line->to, ink = td_ink(display, line) & 1;
    td_flash_place byte = line->bytes;
    uint8_t bits = 0, left = 8 - line->skip;
    if (lit) {
        byte += (uint16_t)(row - line->from) * line->step;
        bits = TD_FLASH_BYTE(byte) << line->skip;
    }
    uint8_t pixels = display->bus.st7920.pixels;
    for (uint8_t count = line->columns; count; count--, left--, bits <<= 1) {
        if (!left) {
            bits = lit ? TD_FLASH_BYTE(++byte) : 0;
            left = 8;
        }
        pixels = st7920_pixel(display, pixels, (bits >> 7) ^ ink);
    }
    display->bus.st7920.pixels = pixels;
}

/* Rows are addressed as each is sent (st7920_send_line): no address
 * ahead of a line. */
static uint8_t st7920_address(td_page_line *line)
{
    (void)line;
    return 0;
}

/*
 * The controller takes rows of 16-pixel words, the leftmost pixel in the
 * top bit: the picture's own order. Screen rows 0 to 31 are words 0 to 7
 * of its 32 RAM rows, rows 32 to 63 words 8 to 15. A page line's rows
 * (all 8 for a dark line, which has none) are sent one by one, each from
 * the word that holds the line's first column, with dark pixels before it
 * and after it to the ends of the words it touches; the page's other rows
 * are left as they are. Lines that follow one another in a row of a
 * stream (text's glyphs) go on where the one before ended.
 */
static void st7920_send_line(tesselon_display *display, td_page_line *line)
{
    const uint8_t page_row = line->page * 8, column = line->column;
    uint8_t first = line->from, last = line->to;
    if (first == last) /* a dark line */
        first = 0, last = 8;
    for (uint8_t row = first; row < last; row++) {
        if (row != first || !(display->bus.st7920.stream & ROW_UNDER_WAY)) {
            display->bus.st7920.stream |= ROW_UNDER_WAY;
            const uint8_t y = page_row + row;
            st7920_dark(display, 0); /* the row before to its word's end */
            st7920_frame(display, ST7920_INSTRUCTION, 0x80 | (y & 31));
            st7920_frame(display, ST7920_INSTRUCTION, 0x80 | (column >> 4) | (y & 32) >> 2);
            st7920_dark(display, column & 15);
        }
        st7920_row_pixels(display, line, row);
        if (TD_FAILED(display->state))
            return;
    }
}

/*
 * From any state a firmware may leave the module in without a reset
 * (RESET need not be wired), to the cold start's: no function set
 * changes RE and G at once (nor DL, which stays 8-bit), the extended
 * instructions are reached before anything else is undone. The first
 * 0x34 reaches them from the basic ones (G as it was) or turns graphics
 * off among them, and may be taken up by ending standby alone; the second
 * leaves it certain. A GDRAM address left half set is ended by any other
 * instruction. A reversed line cannot be undone: its instruction
 * toggles, and serial mode cannot read it back (RESET or the power can).
 * The text layer is cleared to blanks, as its power-up content would
 * show over the picture.
 */
static const uint8_t st7920_setup[] TD_LOW_FLASH(st7920_setup) = TD_SETUP(
    0x34, /* extended instructions, graphics off */
    0x34, /* the same, for certain */
    0x0C, /* out of sleep, before a clear the datasheet does not say it carries out asleep */
    0x03, /* the vertical scroll's address selected */
    0x40, /* scroll address 0: no scroll */
    0x02, /* IRAM addresses selected, as at a cold start */
    0x30, /* basic instructions, 8-bit frames */
    0x0C, /* display on, no cursor */
    ST7920_CLEAR, /* the text layer to blanks */
    0x06,         /* the address counting up */
    0x34          /* extended instructions, graphics off; graphics on (0x36) turns it on */
);

/* Among the extended instructions, where the set-up leaves it: graphics
 * on for the normal display (there is no inverted one), out of sleep and
 * asleep for on and off. Its contrast is its module's potentiometer. Text
 * goes a row at a time, so that glyphs sharing a word keep each other. */
TD_PANEL(tesselon_display_st7920_spi) = {
    .stream = {.init = st7920_init,
               .begin = st7920_begin,
               .send = st7920_send,
               .send_line = st7920_send_line,
               .end = st7920_end},
    .controller = {.setup = st7920_setup,
                   .address = st7920_address,
                   .commands = {.normal = 0x36, .on = 0x0C, .inverted = 0, .off = 0x08},
                   .contrast = {.command = 0, .top = 0, .base = 0, .tail = 0},
                   .text_rows = 1,
                   .traits = 0},
    .columns = 128,
    .rows = 64,
    .first_column = 0,
    .ram_columns = 128,
    .spi_clock = TD_SPI_CLOCK(2500000UL),
};

#endif
