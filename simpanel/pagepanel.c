/* Virtual page-memory controllers: see pagepanel.h. */
#include "pagepanel.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "avr_ioport.h"
#include "avr_spi.h"
#include "avr_twi.h"

static void fail(pagepanel_t *p, const char *format, ...)
{
    if (p->fault[0])
        return; /* the first fault is the one to see */
    va_list ap;
    va_start(ap, format);
    int n = snprintf(p->fault, sizeof p->fault, "%s: ", p->name);
    vsnprintf(p->fault + n, sizeof p->fault - n, format, ap);
    va_end(ap);
}

/* The registers' reset values (the datasheets' command tables). */
static void reset(pagepanel_t *p)
{
    p->page = p->column = p->awaiting = p->arguments = 0;
    p->display_on = p->reverse = p->entire_on = p->remap = p->scan_reverse = 0;
    p->start_line = p->offset = 0;
    p->mux = p->coms - 1;
    p->dc_dc = 1;
    p->addressing = 2; /* page addressing */
    p->locked = 0;
    p->extended = p->vertical = p->mode = p->vop = 0;
    p->power_down = 1;
}

void pagepanel_init(avr_t *avr, pagepanel_t *p, pagepanel_kind kind, int columns)
{
    static const char *names[] = {"SH1106", "SSD1309", "PCD8544", "ST7567", "UC1701", "SH1107"};
    memset(p, 0, sizeof *p);
    p->avr = avr;
    p->kind = kind;
    p->name = names[kind];
    p->columns = kind == SSD1309 || kind == SH1107 ? 128 : kind == PCD8544 ? 84 : 132;
    p->width = kind == PCD8544 ? 84 : kind == SH1107 ? columns : 128;
    p->height = kind == PCD8544 ? 48 : kind == SH1107 ? 128 : 64;
    p->coms = kind == SH1107 ? 128 : 64;
    p->pages = p->height / 8;
    /* The usual modules, upright as the set-up leaves them: the SH1106 and
     * the SSD1309 with the segment order reversed and the COM scan from the
     * last COM, the ST7567's JLX12864 with the segment order reversed, the
     * UC1701's Mini12864 with the COM scan reversed, the SH1107 with
     * neither; the 64 x 128 SH1107 modules start their glass at COM32,
     * which a display offset of 0x60 maps to RAM row 0. */
    p->upright_remap = kind == SH1106 || kind == SSD1309 || kind == ST7567;
    p->upright_scan_reverse = kind == SH1106 || kind == SSD1309 || kind == UC1701;
    p->top_com = kind == SH1107 && columns == 64 ? 32 : 0;
    pagepanel_wire(p, kind == SH1106 ? 2 : kind == ST7567 ? 4 : 0, 0);
    p->max_clock = kind == SSD1309 ? 10000000 : 4000000;
    srand(1306);
    for (int page = 0; page < PAGEPANEL_PAGES; page++)
        for (int column = 0; column < PAGEPANEL_COLUMNS; column++)
            p->ram[page][column] = rand();
    reset(p);
}

void pagepanel_wire(pagepanel_t *p, int column, int upside_down)
{
    p->first_visible = column;
    p->upside_down = upside_down;
}

/* ---- The SH1106 ---- */

/* The SH1106's arguments, and the SH1107's: its rows go to 0x7F, and its
 * start line is a command with an argument (0xDC). */
static void sh110x_argument(pagepanel_t *p, uint8_t command, uint8_t value)
{
    const int last_row = p->coms - 1;
    switch (command) {
    case 0xA8: /* multiplex ratio */
    case 0xD3: /* display offset */
    case 0xDC: /* start line */
        if (value > last_row)
            fail(p, "argument 0x%02X of 0x%02X is above 0x%02X", value, command, last_row);
        if (command == 0xD3)
            p->offset = value;
        else if (command == 0xDC)
            p->start_line = value;
        else
            p->mux = value;
        break;
    case 0xAD: /* DC-DC control */
        if ((value & 0xFE) != 0x8A)
            fail(p, "argument 0x%02X of 0xAD is not 0x8A or 0x8B", value);
        p->dc_dc = value & 1;
        break;
    case 0xDA: /* common pads */
        if ((value & 0xEF) != 0x02)
            fail(p, "argument 0x%02X of 0xDA is not 0x02 or 0x12", value);
        break;
    default: /* 0x81 contrast, 0xD5 clock, 0xD9 discharge and pre-charge, 0xDB VCOM: any value */
        break;
    }
}

/* The commands the page controllers share, within each one's RAM: the
 * column's nibbles, the start line (but the SH1107's, 0xDC), segment
 * order, entire display, inverse, display on and off, the page (the
 * ST7565 family's icon page 8, the SH1107's 16) and NOP; whether byte was
 * one. */
static int page_command(pagepanel_t *p, uint8_t byte)
{
    const int last_page = p->kind == SH1107 ? 15 : p->kind == ST7567 || p->kind == UC1701 ? 8 : 7;
    if (byte <= 0x0F)
        p->column = (p->column & 0xF0) | byte;
    else if (byte <= 0x1F && (byte & 0x0F) <= (p->columns - 1) >> 4)
        p->column = (p->column & 0x0F) | (byte & 0x0F) << 4;
    else if (byte >= 0x40 && byte <= 0x7F && p->kind != SH1107)
        p->start_line = byte & 0x3F;
    else if (byte == 0xA0 || byte == 0xA1)
        p->remap = byte & 1;
    else if (byte == 0xA4 || byte == 0xA5)
        p->entire_on = byte & 1;
    else if (byte == 0xA6 || byte == 0xA7)
        p->reverse = byte & 1;
    else if (byte == 0xAE || byte == 0xAF)
        p->display_on = byte & 1;
    else if (byte >= 0xB0 && byte <= 0xB0 + last_page)
        p->page = byte & 15;
    else if (byte == 0xE3)
        ; /* NOP */
    else
        return 0;
    return 1;
}

static void sh1106_command(pagepanel_t *p, uint8_t byte)
{
    if (byte == 0x81 || byte == 0xA8 || byte == 0xAD || byte == 0xD3 || byte == 0xD5 ||
        byte == 0xD9 || byte == 0xDA || byte == 0xDB)
        p->awaiting = byte, p->arguments = 1;
    else if (byte >= 0x30 && byte <= 0x33)
        ; /* pump voltage */
    else if (byte >= 0xC0 && byte <= 0xCF)
        p->scan_reverse = byte >> 3 & 1;
    else if (byte == 0xE0 || byte == 0xEE)
        ; /* read-modify-write start and end */
    else if (!page_command(p, byte))
        fail(p, "0x%02X is no SH1106 command", byte);
}

/* ---- The SSD1309 ---- */

static void ssd1309_argument(pagepanel_t *p, uint8_t command, uint8_t value)
{
    switch (command) {
    case 0x20: /* addressing mode */
        if (value > 2)
            fail(p, "argument 0x%02X of 0x20 is no addressing mode", value);
        p->addressing = value;
        break;
    case 0xA8: /* multiplex ratio: 16 to 64 */
        if (value < 0x0F || value > 0x3F)
            fail(p, "argument 0x%02X of 0xA8 is outside 0x0F to 0x3F", value);
        p->mux = value;
        break;
    case 0xD3: /* display offset */
        if (value > 0x3F)
            fail(p, "argument 0x%02X of 0xD3 is above 0x3F", value);
        p->offset = value;
        break;
    case 0xDA: /* COM pins: A[5:4] */
        if ((value & 0xCF) != 0x02)
            fail(p, "argument 0x%02X of 0xDA is not 0x02, 0x12, 0x22 or 0x32", value);
        break;
    case 0xFD: /* command lock */
        if ((value & 0xFB) != 0x12)
            fail(p, "argument 0x%02X of 0xFD is not 0x12 or 0x16", value);
        p->locked = value >> 2 & 1;
        break;
    default: /* contrast, clock, pre-charge, VCOMH, ranges, scrolling: any value */
        break;
    }
}

/* The SSD1309's commands with the number of their arguments; no 0x8D, as
 * the SSD1309 has no charge pump. */
static void ssd1309_command(pagepanel_t *p, uint8_t byte)
{
    static const uint8_t with_arguments[][2] = {
        {0x20, 1}, {0x21, 2}, {0x22, 2}, {0x26, 6}, {0x27, 6}, {0x29, 5}, {0x2A, 5}, {0x81, 1},
        {0xA3, 2}, {0xA8, 1}, {0xD3, 1}, {0xD5, 1}, {0xD9, 1}, {0xDA, 1}, {0xDB, 1}, {0xFD, 1}};
    if (p->locked && byte != 0xFD)
        return; /* locked: all but the unlock is ignored */
    for (size_t i = 0; i < sizeof with_arguments / sizeof *with_arguments; i++)
        if (byte == with_arguments[i][0]) {
            p->awaiting = byte, p->arguments = with_arguments[i][1];
            return;
        }
    if (byte == 0x2E || byte == 0x2F)
        ; /* scrolling off and on */
    else if (byte == 0xC0 || byte == 0xC8)
        p->scan_reverse = byte >> 3 & 1;
    else if (byte >= 0x18 && byte <= 0x1F)
        fail(p, "0x%02X: the column's high nibble is above 7", byte);
    else if (!page_command(p, byte))
        fail(p, "0x%02X is no SSD1309 command", byte);
}

/* ---- The ST7565 family: the ST7567 and the UC1701 ---- */

static void st7565_argument(pagepanel_t *p, uint8_t command, uint8_t value)
{
    if (command == 0x81 && value > 0x3F)
        fail(p, "electronic volume 0x%02X is above 0x3F", value);
    if (command == 0xF8 && value > 0x01)
        fail(p, "booster 0x%02X is neither 4 (0x00) nor 5 times (0x01)", value);
}

/* Their shared command set (the ST7565S's table), and each one's own:
 * the ST7567's booster (0xF8), the UC1701's advanced program control
 * (0xFA). Columns 0 to 131, pages 0 to 8 (the icon page). */
static void st7565_command(pagepanel_t *p, uint8_t byte)
{
    if (byte == 0x81 || (byte == 0xF8 && p->kind == ST7567) || (byte == 0xFA && p->kind == UC1701))
        p->awaiting = byte, p->arguments = 1;
    else if (byte >= 0x20 && byte <= 0x27)
        ; /* regulation (resistor) ratio */
    else if (byte >= 0x28 && byte <= 0x2F)
        p->power = byte & 7;
    else if (byte == 0xA2 || byte == 0xA3)
        ; /* bias */
    else if (byte == 0xC0 || byte == 0xC8)
        p->scan_reverse = byte >> 3 & 1;
    else if (byte == 0xE0 || byte == 0xEE)
        ; /* read-modify-write (the UC1701's cursor update) start and end */
    else if (byte == 0xE2)
        reset(p);
    else if (!page_command(p, byte))
        fail(p, "0x%02X is no %s command", byte, p->name);
}

/* ---- The SH1107 ---- */

/* Its own commands: no 0x40 start line (0xDC), no COM pads (0xDA), 16
 * pages, 128 columns, page (0x20) or vertical (0x21) addressing. */
static void sh1107_command(pagepanel_t *p, uint8_t byte)
{
    if (byte == 0x81 || byte == 0xA8 || byte == 0xAD || byte == 0xD3 || byte == 0xD5 ||
        byte == 0xD9 || byte == 0xDB || byte == 0xDC)
        p->awaiting = byte, p->arguments = 1;
    else if (byte == 0x20 || byte == 0x21)
        p->addressing = byte == 0x20 ? 2 : 1;
    else if (byte >= 0xC0 && byte <= 0xCF)
        p->scan_reverse = byte >> 3 & 1;
    else if (byte == 0xE0 || byte == 0xEE)
        ; /* read-modify-write start and end */
    else if (!page_command(p, byte))
        fail(p, "0x%02X is no SH1107 command", byte);
}

/* ---- The PCD8544 ---- */

/* Its basic (H = 0) and extended (H = 1) instructions; 0x20 to 0x27, the
 * function set, is in both. */
static void pcd8544_command(pagepanel_t *p, uint8_t byte)
{
    if (byte >= 0x20 && byte <= 0x27) {
        if (byte & 0x04 && !p->power_down && p->mode)
            fail(p, "power-down 0x%02X with the display not blank (0x08 first)", byte);
        p->extended = byte & 1;
        p->vertical = byte >> 1 & 1;
        p->power_down = byte >> 2 & 1;
    } else if (byte == 0x00)
        ; /* NOP */
    else if (!p->extended) {
        if ((byte & 0xFA) == 0x08) {
            p->mode = byte & 0x05; /* D in bit 2, E in bit 0 */
            if (p->mode == 0x01 && !p->power_down)
                fail(p, "all segments on: the glass flashes dark");
        } else if (byte >= 0x40 && byte <= 0x45)
            p->page = byte & 7;
        else if (byte >= 0x80 && byte <= 0x80 + 83)
            p->column = byte & 0x7F;
        else
            fail(p, "0x%02X is no PCD8544 instruction (H = 0)", byte);
    } else if (byte >= 0x80) {
        p->vop = byte & 0x7F;
        if (p->vop > 90) /* VLCD = 3.06 V + 0.06 V x Vop */
            fail(p, "Vop %d: VLCD above the 8.5 V its generator may make", p->vop);
    } else if (!(byte >= 0x04 && byte <= 0x07) && !(byte >= 0x10 && byte <= 0x17))
        fail(p, "0x%02X is no PCD8544 instruction (H = 1)", byte);
}

/* ---- Commands and data ---- */

static void command(pagepanel_t *p, uint8_t byte)
{
    if (p->needs_reset) {
        fail(p, "command 0x%02X before a RES pulse: the registers are undefined", byte);
        return;
    }
    if (p->arguments) {
        (p->kind == SH1106 || p->kind == SH1107 ? sh110x_argument
         : p->kind == SSD1309                   ? ssd1309_argument
                                                : st7565_argument)(p, p->awaiting, byte);
        if (!--p->arguments)
            p->awaiting = 0;
    } else if (p->kind == SH1106)
        sh1106_command(p, byte);
    else if (p->kind == SH1107)
        sh1107_command(p, byte);
    else if (p->kind == SSD1309)
        ssd1309_command(p, byte);
    else if (p->kind == PCD8544)
        pcd8544_command(p, byte);
    else
        st7565_command(p, byte);
}

/* Page addressing: the column counter runs to the last column and stays in
 * its page. The PCD8544 goes on to the next bank (or, with V, the next
 * bank first). */
static void data(pagepanel_t *p, uint8_t byte)
{
    if (p->needs_reset) {
        fail(p, "data before a RES pulse: the registers are undefined");
        return;
    }
    if (p->awaiting)
        fail(p, "data while command 0x%02X awaits its argument", p->awaiting);
    if ((p->kind == SSD1309 || p->kind == SH1107) && p->addressing != 2)
        fail(p, "data in addressing mode %d: this model knows page addressing alone",
             p->addressing);
    if (p->column >= p->columns) {
        fail(p, "data past column %d in page %d", p->columns - 1, p->page);
        return;
    }
    p->ram[p->page][p->column] = byte;
    p->written[p->page][p->column] = 1;
    if (p->kind != PCD8544) {
        p->column++;
    } else if (p->vertical) {
        if (++p->page == p->pages)
            p->page = 0, p->column = (p->column + 1) % p->columns;
    } else if (++p->column == p->columns) {
        p->column = 0, p->page = (p->page + 1) % p->pages;
    }
}

/* ---- I2C ---- */

/* A byte of an I2C write: control bytes decide what the next bytes are. */
static void twi_byte(pagepanel_t *p, uint8_t byte)
{
    if (p->control_next) {
        if (byte & 0x3F)
            fail(p, "control byte 0x%02X has bits set below D/C", byte);
        p->data = byte >> 6 & 1;
        p->single = byte >> 7; /* Co: one byte, then another control byte */
        p->control_next = 0;
        return;
    }
    if (p->data)
        data(p, byte);
    else
        command(p, byte);
    p->control_next = p->single;
}

static void twi_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    pagepanel_t *p = param;
    avr_twi_msg_irq_t message;
    message.u.v = value;
    if (message.u.twi.msg & TWI_COND_STOP)
        p->selected = 0;
    if (message.u.twi.msg & TWI_COND_START) {
        p->selected = message.u.twi.addr == p->address << 1; /* a write to us */
        p->control_next = 1;
        if (p->selected)
            avr_raise_irq(p->irq + TWI_IRQ_INPUT,
                          avr_twi_irq_msg(TWI_COND_ACK, p->address << 1, 1));
    }
    if (p->selected && message.u.twi.msg & TWI_COND_WRITE) {
        avr_raise_irq(p->irq + TWI_IRQ_INPUT, avr_twi_irq_msg(TWI_COND_ACK, p->address << 1, 1));
        twi_byte(p, message.u.twi.data);
    }
}

void pagepanel_connect_twi(pagepanel_t *p, uint8_t address, avr_irq_t *twi)
{
    static const char *names[2] = {"pagepanel.twi.in", "pagepanel.twi.out"};
    p->address = address;
    p->irq = avr_alloc_irq(&p->avr->irq_pool, 0, 2, names);
    avr_irq_register_notify(p->irq + TWI_IRQ_OUTPUT, twi_hook, p);
    avr_connect_irq(twi + TWI_IRQ_OUTPUT, p->irq + TWI_IRQ_OUTPUT);
    avr_connect_irq(p->irq + TWI_IRQ_INPUT, twi + TWI_IRQ_INPUT);
}

/* ---- SPI ---- */

/* The SPI clock the chip runs at, from SPCR and SPSR. */
static unsigned long spi_clock(const pagepanel_t *p)
{
    const uint8_t spcr = p->avr->data[0x4C], spsr = p->avr->data[0x4D];
    const unsigned divider = (spcr & 3) == 3 ? 128 : 4u << 2 * (spcr & 3); /* 4, 16, 64, 128 */
    return p->avr->frequency / (divider >> (spsr & 1));                    /* halved by SPI2X */
}

static void spi_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    pagepanel_t *p = param;
    if (p->cs)
        return; /* not selected */
    const unsigned long clock = p->bus_clock ? *p->bus_clock : spi_clock(p);
    if (clock > p->spi_clock)
        p->spi_clock = clock;
    if (clock > p->max_clock)
        fail(p, "SPI clock %lu Hz, above its %lu Hz", clock, p->max_clock);
    if (p->dc)
        data(p, value);
    else
        command(p, value);
}

static void cs_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    ((pagepanel_t *)param)->cs = value;
}

static void dc_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    ((pagepanel_t *)param)->dc = value;
}

static void reset_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    pagepanel_t *p = param;
    if (!value) {
        reset(p);
        p->needs_reset = 0;
    }
}

/* The SSD1309's and the PCD8544's registers are undefined until a pulse on RES. */
void pagepanel_connect_spi(pagepanel_t *p, avr_irq_t *spi, const unsigned long *bus_clock,
                           int cs_bit, int dc_bit, int reset_bit)
{
    p->cs = 1;
    p->needs_reset = p->kind != SH1106 && p->kind != SH1107;
    p->bus_clock = bus_clock;
    avr_irq_register_notify(spi + SPI_IRQ_OUTPUT, spi_hook, p);
    avr_irq_register_notify(avr_io_getirq(p->avr, AVR_IOCTL_IOPORT_GETIRQ('B'), cs_bit), cs_hook,
                            p);
    avr_irq_register_notify(avr_io_getirq(p->avr, AVR_IOCTL_IOPORT_GETIRQ('B'), dc_bit), dc_hook,
                            p);
    avr_irq_register_notify(avr_io_getirq(p->avr, AVR_IOCTL_IOPORT_GETIRQ('B'), reset_bit),
                            reset_hook, p);
}

/* ---- The glass ---- */

int pagepanel_width(const pagepanel_t *p) { return p->width; }

int pagepanel_height(const pagepanel_t *p) { return p->height; }

/* The RAM bit at column x, row y, as the PCD8544's mode shows it. */
static int pcd8544_lit(const pagepanel_t *p, int x, int y)
{
    if (p->power_down)
        return 0;
    const int bit = p->ram[y / 8][x] >> (y % 8) & 1;
    switch (p->mode) {
    case 0x04: /* normal */
        return bit;
    case 0x05: /* inverse */
        return !bit;
    default: /* blank (0x00) or all segments on (0x01) */
        return p->mode;
    }
}

/* The page controllers: the module's wiring gives the segment and the COM
 * behind a pixel of the glass; the controller's segment order, COM scan,
 * multiplex ratio, start line and display offset the RAM bit they show.
 * With the segment order reversed, RAM column n drives SEG(last - n); with
 * the COM scan reversed, COM(last - n) shows what COMn would. */
int pagepanel_lit(const pagepanel_t *p, int x, int y)
{
    if (p->kind == PCD8544)
        return pcd8544_lit(p, x, y);
    if (p->upside_down)
        x = p->width - 1 - x, y = p->height - 1 - y;
    if (!p->display_on || !p->dc_dc || ((p->kind == ST7567 || p->kind == UC1701) && p->power != 7))
        return 0;
    if (p->entire_on)
        return 1;
    const int edge = p->upright_remap ? p->columns - 1 - p->first_visible : p->first_visible;
    const int segment = p->upright_remap ? edge - x : edge + x;
    const int column = p->remap ? p->columns - 1 - segment : segment;
    const int com = p->upright_scan_reverse ? p->coms - 1 - y : (p->top_com + y) % p->coms;
    const int scanned = p->scan_reverse ? p->coms - 1 - com : com;
    if (scanned > p->mux) /* a COM line the multiplex ratio leaves undriven */
        return 0;
    const int row = (scanned + p->start_line + p->offset) % p->coms;
    return (p->ram[row / 8][column] >> (row % 8) & 1) ^ p->reverse;
}

/* Whether the glass shows the RAM. */
static int showing(const pagepanel_t *p)
{
    if (p->kind == PCD8544)
        return !p->power_down && (p->mode & 0x04);
    if ((p->kind == ST7567 || p->kind == UC1701) && p->power != 7)
        return 0;
    return p->display_on && p->dc_dc && !p->entire_on;
}

const char *pagepanel_check(pagepanel_t *p)
{
    for (int page = 0; page < p->pages; page++)
        for (int column = 0; column < p->columns; column++)
            if (showing(p) && !p->written[page][column])
                fail(p, "RAM page %d column %d never written: it shows power-up noise", page,
                     column);
    return p->fault[0] ? p->fault : NULL;
}
