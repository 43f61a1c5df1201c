/* The display driver's core: see tesselon_display.h, and tesselon_driver.h
 * for its rooms. It reaches the controller only through the panel's
 * stream and its controller's description. */
#include "tesselon_driver.h"

void td_fail(tesselon_display *display, uint8_t result) { display->state |= result << 1; }

void td_wait_ms(uint8_t ms)
{
    while (ms--)
        _delay_ms(1);
}

uint8_t td_outcome(const tesselon_display *display) { return display->state >> 1; }

static const td_controller *controller_of(const tesselon_display *display)
{
    return &display->panel->controller;
}

/* A pointer in the panel, offset bytes into it: one of its functions, or
 * its set-up. */
static void *panel_pointer(const tesselon_display *display, uint8_t offset)
{
    return pgm_read_ptr((const uint8_t *)display->panel + offset);
}
#define PANEL_POINTER(display, type, field)                                                        \
    ((type)(uintptr_t)panel_pointer(display, offsetof(tesselon_display_panel, field)))

static void stream_begin(tesselon_display *display, uint8_t carries)
{
    PANEL_POINTER(display, td_begin_fn, stream.begin)(display, carries);
}

static td_send_fn stream_send(const tesselon_display *display)
{
    return PANEL_POINTER(display, td_send_fn, stream.send);
}

static void stream_end(tesselon_display *display)
{
    PANEL_POINTER(display, td_end_fn, stream.end)(display);
}

/* The panel's height, once init has named the panel. */
static uint8_t panel_rows(const tesselon_display *display)
{
    return pgm_read_byte(&display->panel->rows);
}

static uint8_t panel_columns(const tesselon_display *display)
{
    return pgm_read_byte(&display->panel->columns);
}

/* The panel's own view, where view.c is not linked. */
__attribute__((weak)) uint8_t td_glass_column(const tesselon_display *display)
{
    return pgm_read_byte(&display->panel->first_column);
}

__attribute__((weak)) uint8_t td_ink(const tesselon_display *display, const td_page_line *line)
{
    (void)display;
    (void)line;
    return 0;
}

__attribute__((weak)) void td_view_begun(tesselon_display *display) { (void)display; }

uint8_t tesselon_display_rows(const tesselon_display *display)
{
    return display->panel ? panel_rows(display) : 0;
}

uint8_t tesselon_display_columns(const tesselon_display *display)
{
    return display->panel ? panel_columns(display) : 0;
}

uint8_t tesselon_display_result(const tesselon_display *display) { return td_outcome(display); }

/* The start of every call after init: what the call before left is
 * forgotten, so that a fault passes with its call. A call is refused
 * before init has set the display up (a display init has not seen is all
 * zeros), and when refuse is set. */
uint8_t td_refused(tesselon_display *display, uint8_t refuse)
{
    refuse |= !display->panel;
    display->state = refuse ? TESSELON_DISPLAY_ARGUMENT_ERROR << 1 : 0;
    return refuse;
}

/* Sends commands, from flash where in_flash is set, as a stream of their own. */
void td_send_commands(tesselon_display *display, const uint8_t *commands, uint8_t count,
                      uint8_t in_flash)
{
    stream_begin(display, TD_COMMANDS);
    stream_send(display)(display, commands, count, in_flash);
    stream_end(display);
}

/* Starts a stream of data for a page line at its page and RAM column,
 * behind the controller's address commands, if it takes any. */
static void begin_line(tesselon_display *display, td_page_line *line)
{
    const uint8_t count = PANEL_POINTER(display, td_address_fn, controller.address)(line);
    if (count)
        td_send_commands(display, line->out, count, 0);
    stream_begin(display, TD_DATA);
}

/* A page line at its page and RAM column, as a stream of its own. */
static void send_line(tesselon_display *display, td_page_line *line)
{
    begin_line(display, line);
    PANEL_POINTER(display, td_send_line_fn, stream.send_line)(display, line);
    stream_end(display);
}

/* A page at a time, as page addressing stays within its page: a dark line
 * over all of the controller's RAM columns. */
static void clear_pages(tesselon_display *display)
{
    td_page_line dark; /* no rows: nothing read, the page bytes built dark */
    dark.bytes = 0;
    dark.from = dark.to = dark.skip = dark.column = 0;
    dark.columns = pgm_read_byte(&display->panel->ram_columns);
    for (dark.page = 0; dark.page < panel_rows(display) / 8; dark.page++)
        send_line(display, &dark);
}

uint8_t tesselon_display_clear(tesselon_display *display)
{
    if (!td_refused(display, 0))
        clear_pages(display);
    return td_outcome(display);
}

/* The one-byte command `which` bytes into the controller's td_commands,
 * once init has set the display up; one the controller lacks (0) is
 * refused. */
static uint8_t controller_command(tesselon_display *display, uint8_t which)
{
    if (!td_refused(display, 0)) {
        const uint8_t *command = (const uint8_t *)&controller_of(display)->commands + which;
        if (pgm_read_byte(command))
            td_send_commands(display, command, 1, 1);
        else
            td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
    }
    return td_outcome(display);
}

uint8_t tesselon_display_on(tesselon_display *display, uint8_t on)
{
    return controller_command(display, on ? offsetof(td_commands, on) : offsetof(td_commands, off));
}

uint8_t tesselon_display_invert(tesselon_display *display, uint8_t inverted)
{
    return controller_command(display, inverted ? offsetof(td_commands, inverted)
                                                : offsetof(td_commands, normal));
}

uint8_t tesselon_display_contrast(tesselon_display *display, uint8_t value)
{
    if (td_refused(display, 0))
        return td_outcome(display);
    const td_contrast *contrast = &controller_of(display)->contrast;
    const uint8_t commands[3] = {
        pgm_read_byte(&contrast->command),
        (uint8_t)(((uint16_t)value * (pgm_read_byte(&contrast->top) + 1) >> 8) +
                  pgm_read_byte(&contrast->base)),
        pgm_read_byte(&contrast->tail)};
    if (commands[0])
        td_send_commands(display, commands, commands[2] ? 3 : 2, 0);
    else
        td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
    return td_outcome(display);
}

/*
 * The waits the controllers need: the stream's init waits for the
 * module's reset; the set-up, the RAM cleared and the glass lit then
 * follow at once. The OLEDs' panel voltage (the SSD1306's charge pump,
 * the SH1106's DC-DC converter, the SSD1309 module's own supply) comes up
 * with display on, and the glass lights about 100 ms later by itself.
 */
static uint8_t start(tesselon_display *display, const tesselon_display_panel *panel, uint8_t refuse)
{
    display->panel = panel;
    td_view_begun(display);
    if (td_refused(display, refuse)) /* or no panel */
        return td_outcome(display);
    PANEL_POINTER(display, td_init_fn, stream.init)(display);
    const uint8_t *setup = PANEL_POINTER(display, const uint8_t *, controller.setup);
    td_send_commands(display, setup + 1, pgm_read_byte(setup), 1);
    clear_pages(display); /* the RAM holds noise after power-up */
    td_send_commands(display, &controller_of(display)->commands.normal, 2, 1); /* normal, then on */
    return td_outcome(display);
}

uint8_t tesselon_display_init_i2c_reset(tesselon_display *display,
                                        const tesselon_display_panel *panel, uint8_t address,
                                        uint8_t reset)
{
    /* To write to it. 0x78 to 0x7F are reserved 7-bit addresses, so such a
     * value is the 8-bit form that module boards print (0x78 for 0x3C). */
    display->bus.i2c.address = address >= 0x78 ? address & 0xFE : address << 1;
    /* An I2C module resets itself as its supply comes up; one whose RES
     * line is wired (the SSD1309's) is reset by a pulse first. */
    uint8_t refuse = 0;
    if (reset != TESSELON_NO_PIN) {
        refuse = !td_pin_write(reset, 1, 1);
        if (!refuse)
            td_reset_pulse(reset);
    }
    return start(display, panel, refuse);
}

uint8_t tesselon_display_init_i2c(tesselon_display *display, const tesselon_display_panel *panel,
                                  uint8_t address)
{
    return tesselon_display_init_i2c_reset(display, panel, address, TESSELON_NO_PIN);
}

uint8_t tesselon_display_init_spi(tesselon_display *display, const tesselon_display_panel *panel,
                                  uint8_t cs, uint8_t dc, uint8_t reset)
{
    display->bus.spi.cs = cs;
    display->bus.spi.dc = dc;
    display->bus.spi.reset = reset;
    return start(display, panel, 0);
}

/* The bytes of a row of pixels: 8 pixels a byte, the last one padded. */
static uint8_t row_bytes(uint8_t width) { return (width >> 3) + ((width & 7) != 0); }

/*
 * Draws a window of width x height pixels of a picture whose rows start at
 * rows, step bytes apart, from its pixel column origin on, with the
 * window's top left pixel at column x, row y of the panel. Only the
 * window's own bytes are read.
 */
static uint8_t draw_window(tesselon_display *display, td_flash_place rows, uint8_t step,
                           uint8_t origin, uint8_t width, uint8_t height, int16_t x, int16_t y)
{
    /* columns and rows side by side in flash, read at once */
    const uint16_t size = pgm_read_word(&display->panel->columns);
    const uint8_t panel_width = (uint8_t)size, panel_height = size >> 8;
    /* Nothing to draw unless the window reaches into the panel; past this
     * test x and y are below 128, so adding a width or height cannot overflow. */
    if (x >= panel_width || y >= panel_height || x + width <= 0 || y + height <= 0)
        return td_outcome(display);
    /* The window's columns from left to right - 1, and its rows from top
     * to bottom - 1, that lie on the panel. */
    const uint8_t left = x < 0 ? -x : 0;
    const uint8_t right = x + width < panel_width ? width : panel_width - x;
    const uint8_t top = y < 0 ? -y : 0;
    const uint8_t bottom = y + height < panel_height ? height : panel_height - y;
    /* Page by page from the one that holds the panel row of the window's
     * row top, at its bit from, then from bit 0. */
    const uint8_t first_row = y + top, first_column = origin + left;
    td_page_line line;
    line.bytes = rows + top * step + first_column / 8;
    line.step = step;
    line.from = first_row & 7;
    line.skip = first_column & 7;
    line.columns = right - left;
    line.column = td_glass_column(display) + x + left;
    for (uint8_t rows_left = bottom - top, page = first_row / 8;; page++) {
        const uint8_t room = 8 - line.from;
        line.to = rows_left < room ? line.from + rows_left : 8;
        line.page = page;
        send_line(display, &line);
        const uint8_t sent = line.to - line.from;
        if (!(rows_left -= sent))
            break;
        line.bytes += sent * step;
        line.from = 0;
    }
    return td_outcome(display);
}

static uint8_t draw_at(tesselon_display *display, td_flash_place picture, int16_t x, int16_t y)
{
    const uint8_t width = TD_FLASH_BYTE(picture);
    return draw_window(display, picture + 2, row_bytes(width), 0, width, TD_FLASH_BYTE(picture + 1),
                       x, y);
}

/*
 * Draws tile index of a sheet cut into tiles of width x height pixels,
 * numbered left to right, then top to bottom; what is left over at the
 * right or the bottom of the sheet is no tile, and an index past the last
 * tile (or a tile of no pixels) is refused.
 */
static uint8_t draw_tile_at(tesselon_display *display, td_flash_place sheet, uint8_t width,
                            uint8_t height, uint16_t index, int16_t x, int16_t y)
{
    const uint8_t sheet_width = TD_FLASH_BYTE(sheet), sheet_height = TD_FLASH_BYTE(sheet + 1);
    const uint8_t per_row = width ? sheet_width / width : 0;
    if (!height || index >= (uint16_t)per_row * (sheet_height / height)) {
        td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return td_outcome(display);
    }
    const uint8_t step = row_bytes(sheet_width), row = index / per_row;
    return draw_window(display, sheet + 2 + (uint16_t)row * height * step, step,
                       (uint8_t)(index % per_row) * width, width, height, x, y);
}

/* A byte of a string in RAM, or in flash where in_flash is set. */
static uint8_t text_byte(const char *at, uint8_t in_flash)
{
    return in_flash ? pgm_read_byte(at) : (uint8_t)*at;
}

#define TEXT_END 0xFF /* no glyph: the string's end */

/*
 * The glyph of the character that starts at *at, moving *at past it. The
 * string is UTF-8, as the Arduino IDE saves a sketch; a sheet holds
 * U+0020 to U+007E, then U+00A0 to U+00FF. Any other character, and each
 * malformed sequence, is glyph 0, the blank: one cell a character as an
 * editor shows it. A sequence is its lead byte and the continuation bytes
 * (10xxxxxx) the lead asks for; one cut short ends before the byte that
 * cut it, which starts the next character.
 */
TD_INLINE uint8_t next_glyph(const char **at, uint8_t in_flash)
{
    const char *next = *at;
    uint8_t byte = text_byte(next, in_flash), glyph = 0;
    if (!byte)
        return TEXT_END;
    next++;
    if (byte >= 0x20 && byte < 0x7F) {
        glyph = byte - 0x20;
    } else if (byte >= 0xC2 && byte <= 0xF4) {
        const uint8_t two_bytes = byte <= 0xC3; /* U+0080 to U+00FF */
        uint8_t more = byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : 3, code = byte << 6;
        for (; more; more--, next++) {
            byte = text_byte(next, in_flash);
            if ((byte & 0xC0) != 0x80)
                break;
            code |= byte & 0x3F;
        }
        if (!more && two_bytes && code >= 0xA0)
            glyph = 95 + code - 0xA0;
    }
    *at = next;
    return glyph;
}

/*
 * Writes text with a font: a sheet of glyphs of width x height pixels in
 * code-point order from the blank (0x20) on, numbered as tiles are (see
 * next_glyph). The string is drawn as one strip, page by page across all
 * its glyphs, so that glyphs sharing a page do not darken each other; a
 * character the sheet has no glyph for shows as a blank.
 */
static uint8_t draw_text_at(tesselon_display *display, td_flash_place font, uint8_t width,
                            uint8_t height, const char *text, uint8_t text_in_flash, int16_t x,
                            int16_t y)
{
    const uint8_t sheet_width = TD_FLASH_BYTE(font), sheet_height = TD_FLASH_BYTE(font + 1);
    const uint8_t per_row = width ? sheet_width / width : 0;
    if (!height || !per_row) {
        td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return td_outcome(display);
    }
    const uint8_t glyph_rows = sheet_height / height, step = row_bytes(sheet_width);
    const uint16_t glyph_row_bytes = (uint16_t)height * step;
    const uint8_t panel_width = panel_columns(display), panel_height = panel_rows(display);
    if (x >= panel_width || y >= panel_height || y + height <= 0)
        return td_outcome(display);
    const uint8_t top = y < 0 ? -y : 0;
    const uint8_t bottom = y + height < panel_height ? height : panel_height - y;
    const uint8_t first_row = y + top;
    /* A page's rows at once, or fewer where the controller takes rows. */
    const uint8_t band = pgm_read_byte(&controller_of(display)->text_rows);
    const td_send_line_fn send_page_line =
        PANEL_POINTER(display, td_send_line_fn, stream.send_line);
    td_page_line line;
    line.step = step;
    line.column = td_glass_column(display) + (x < 0 ? 0 : x);
    for (uint8_t page = first_row / 8, row = top, from = first_row & 7;;) {
        const uint8_t room = 8 - from < band ? 8 - from : band, rows_left = bottom - row;
        line.from = from;
        line.to = from + (rows_left < room ? rows_left : room);
        line.page = page;
        /* Every glyph's page line in one stream: an empty one, where no
         * glyph reaches into the panel, is harmless. */
        begin_line(display, &line);
        const td_flash_place page_rows = font + 2 + row * step;
        /* Pixels of the text still left of the panel, and the next panel
         * column to draw. */
        uint16_t hidden = x < 0 ? -x : 0;
        uint8_t column = x < 0 ? 0 : x;
        for (const char *at = text; column < panel_width;) {
            const uint8_t glyph = next_glyph(&at, text_in_flash);
            if (glyph == TEXT_END)
                break;
            if (hidden >= width) {
                hidden -= width;
                continue;
            }
            const uint8_t left = hidden, room = panel_width - column;
            hidden = 0;
            line.columns = width - left < room ? width - left : room;
            column += line.columns;
            uint8_t sheet_row = glyph / per_row, sheet_column = glyph % per_row;
            if (sheet_row >= glyph_rows) /* no glyph in the sheet: its first, the blank */
                sheet_row = sheet_column = 0;
            const uint8_t origin = sheet_column * width + left;
            line.bytes = page_rows + sheet_row * glyph_row_bytes + origin / 8;
            line.skip = origin & 7;
            send_page_line(display, &line);
        }
        stream_end(display);
        if ((row += line.to - from) == bottom)
            break;
        from = line.to & 7; /* on in this page, or from the next one's top */
        page += !from;
    }
    return td_outcome(display);
}

#if TD_FAR_FLASH
/* Where the sketch's data in flash ends: the last picture ends before it. */
extern const uint8_t __ctors_start[];
/* A 16-bit pointer names the picture at it, or one 64 KB above it when
 * the data in flash reaches that far: then only a far address tells. */
#define NEAR_POINTER_AMBIGUOUS(pointer)                                                            \
    ((uint32_t)(uintptr_t)(pointer) + 0x10000 < pgm_get_far_address(__ctors_start))
#define NEAR_PLACE(pointer) ((uint16_t)(pointer))
#define FAR_PLACE(address) (address)
#else
#define NEAR_POINTER_AMBIGUOUS(pointer) 0
#define NEAR_PLACE(pointer) (pointer)
#define FAR_PLACE(address) ((const uint8_t *)(uintptr_t)(address))
#endif

uint8_t tesselon_display_draw(tesselon_display *display, const uint8_t *picture, int16_t x,
                              int16_t y)
{
    if (td_refused(display, !picture || NEAR_POINTER_AMBIGUOUS(picture)))
        return td_outcome(display);
    return draw_at(display, NEAR_PLACE(picture), x, y);
}

uint8_t tesselon_display_draw_far(tesselon_display *display, uint32_t picture, int16_t x, int16_t y)
{
    if (td_refused(display, !picture))
        return td_outcome(display);
    return draw_at(display, FAR_PLACE(picture), x, y);
}

uint8_t tesselon_display_draw_tile(tesselon_display *display, const uint8_t *sheet, uint8_t width,
                                   uint8_t height, uint16_t index, int16_t x, int16_t y)
{
    if (td_refused(display, !sheet || NEAR_POINTER_AMBIGUOUS(sheet)))
        return td_outcome(display);
    return draw_tile_at(display, NEAR_PLACE(sheet), width, height, index, x, y);
}

uint8_t tesselon_display_draw_tile_far(tesselon_display *display, uint32_t sheet, uint8_t width,
                                       uint8_t height, uint16_t index, int16_t x, int16_t y)
{
    if (td_refused(display, !sheet))
        return td_outcome(display);
    return draw_tile_at(display, FAR_PLACE(sheet), width, height, index, x, y);
}

uint8_t tesselon_display_draw_text(tesselon_display *display, const uint8_t *font, uint8_t width,
                                   uint8_t height, const char *text, int16_t x, int16_t y)
{
    if (td_refused(display, !font || !text || NEAR_POINTER_AMBIGUOUS(font)))
        return td_outcome(display);
    return draw_text_at(display, NEAR_PLACE(font), width, height, text, 0, x, y);
}

uint8_t tesselon_display_draw_text_P(tesselon_display *display, const uint8_t *font, uint8_t width,
                                     uint8_t height, const char *text, int16_t x, int16_t y)
{
    if (td_refused(display, !font || !text || NEAR_POINTER_AMBIGUOUS(font)))
        return td_outcome(display);
    return draw_text_at(display, NEAR_PLACE(font), width, height, text, 1, x, y);
}

/* Lit bytes, then dark ones: a rectangle's rows, each read as a picture's
 * row from the same bytes (step 0), at most a panel's width. */
static const uint8_t fill_bytes[32] TD_LOW_FLASH(fill_bytes) = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

uint8_t tesselon_display_fill_rect(tesselon_display *display, int16_t x, int16_t y, uint8_t width,
                                   uint8_t height, uint8_t lit)
{
    if (td_refused(display, 0))
        return td_outcome(display);
    if (x < 0) { /* cut at the left edge here, so that no more than a panel's width is read */
        width = x + width > 0 ? x + width : 0;
        x = 0;
    }
    if (!width || !height)
        return td_outcome(display);
    return draw_window(display, NEAR_PLACE(lit ? fill_bytes : fill_bytes + 16), 0, 0, width, height,
                       x, y);
}
