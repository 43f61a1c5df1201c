/* A virtual SH1106: see sh1106.h. */
#include "sh1106.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "avr_ioport.h"
#include "avr_spi.h"
#include "avr_twi.h"

static void fail(sh1106_t *p, const char *format, ...)
{
    if (p->fault[0])
        return; /* the first fault is the one to see */
    va_list ap;
    va_start(ap, format);
    vsnprintf(p->fault, sizeof p->fault, format, ap);
    va_end(ap);
}

/* The registers' reset values (datasheet, "Commands"). */
static void reset(sh1106_t *p)
{
    p->page = p->column = p->awaiting = 0;
    p->display_on = p->reverse = p->entire_on = p->remap = p->scan_reverse = 0;
    p->start_line = p->offset = 0;
    p->dc_dc = 1;
}

void sh1106_init(avr_t *avr, sh1106_t *p)
{
    memset(p, 0, sizeof *p);
    p->avr = avr;
    srand(1306);
    for (int page = 0; page < SH1106_PAGES; page++)
        for (int column = 0; column < SH1106_COLUMNS; column++)
            p->ram[page][column] = rand();
    reset(p);
}

static void argument(sh1106_t *p, uint8_t command, uint8_t value)
{
    switch (command) {
    case 0xA8: /* multiplex ratio */
    case 0xD3: /* display offset */
        if (value > 0x3F)
            fail(p, "argument 0x%02X of 0x%02X is above 0x3F", value, command);
        if (command == 0xD3)
            p->offset = value;
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

static void command(sh1106_t *p, uint8_t byte)
{
    if (p->awaiting) {
        argument(p, p->awaiting, byte);
        p->awaiting = 0;
    } else if (byte <= 0x0F)
        p->column = (p->column & 0xF0) | byte;
    else if (byte <= 0x1F)
        p->column = (p->column & 0x0F) | (byte & 0x0F) << 4;
    else if (byte >= 0x30 && byte <= 0x33)
        ; /* pump voltage */
    else if (byte >= 0x40 && byte <= 0x7F)
        p->start_line = byte & 0x3F;
    else if (byte == 0x81 || byte == 0xA8 || byte == 0xAD || byte == 0xD3 || byte == 0xD5 ||
             byte == 0xD9 || byte == 0xDA || byte == 0xDB)
        p->awaiting = byte;
    else if (byte == 0xA0 || byte == 0xA1)
        p->remap = byte & 1;
    else if (byte == 0xA4 || byte == 0xA5)
        p->entire_on = byte & 1;
    else if (byte == 0xA6 || byte == 0xA7)
        p->reverse = byte & 1;
    else if (byte == 0xAE || byte == 0xAF)
        p->display_on = byte & 1;
    else if (byte >= 0xB0 && byte <= 0xB7)
        p->page = byte & 7;
    else if (byte >= 0xC0 && byte <= 0xCF)
        p->scan_reverse = byte >> 3 & 1;
    else if (byte == 0xE0 || byte == 0xEE || byte == 0xE3)
        ; /* read-modify-write start and end, NOP */
    else
        fail(p, "0x%02X is no SH1106 command", byte);
}

/* The column counter runs to 131 and stays in its page. */
static void data(sh1106_t *p, uint8_t byte)
{
    if (p->awaiting)
        fail(p, "data while command 0x%02X awaits its argument", p->awaiting);
    if (p->column >= SH1106_COLUMNS) {
        fail(p, "data past column 131 in page %d", p->page);
        return;
    }
    p->ram[p->page][p->column] = byte;
    p->written[p->page][p->column] = 1;
    p->column++;
}

/* A byte of an I2C write: control bytes decide what the next bytes are. */
static void twi_byte(sh1106_t *p, uint8_t byte)
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
    sh1106_t *p = param;
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

void sh1106_connect_twi(sh1106_t *p, uint8_t address)
{
    static const char *names[2] = {"sh1106.twi.in", "sh1106.twi.out"};
    p->address = address;
    p->irq = avr_alloc_irq(&p->avr->irq_pool, 0, 2, names);
    avr_irq_register_notify(p->irq + TWI_IRQ_OUTPUT, twi_hook, p);
    avr_connect_irq(avr_io_getirq(p->avr, AVR_IOCTL_TWI_GETIRQ(0), TWI_IRQ_OUTPUT),
                    p->irq + TWI_IRQ_OUTPUT);
    avr_connect_irq(p->irq + TWI_IRQ_INPUT,
                    avr_io_getirq(p->avr, AVR_IOCTL_TWI_GETIRQ(0), TWI_IRQ_INPUT));
}

/* The SPI clock the chip runs at, from SPCR and SPSR. */
static unsigned long spi_clock(const sh1106_t *p)
{
    const uint8_t spcr = p->avr->data[0x4C], spsr = p->avr->data[0x4D];
    const unsigned divider = (spcr & 3) == 3 ? 128 : 4u << 2 * (spcr & 3); /* 4, 16, 64, 128 */
    return p->avr->frequency / (divider >> (spsr & 1));                    /* halved by SPI2X */
}

static void spi_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    sh1106_t *p = param;
    if (p->cs)
        return; /* not selected */
    const unsigned long clock = spi_clock(p);
    if (clock > p->spi_clock)
        p->spi_clock = clock;
    if (clock > 4000000)
        fail(p, "SPI clock %lu Hz, above the SH1106's 4 MHz", clock);
    if (p->dc)
        data(p, value);
    else
        command(p, value);
}

static void cs_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    ((sh1106_t *)param)->cs = value;
}

static void dc_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    ((sh1106_t *)param)->dc = value;
}

static void reset_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    if (!value)
        reset(param);
}

void sh1106_connect_spi(sh1106_t *p, int cs_bit, int dc_bit, int reset_bit)
{
    p->cs = 1;
    avr_irq_register_notify(avr_io_getirq(p->avr, AVR_IOCTL_SPI_GETIRQ(0), SPI_IRQ_OUTPUT),
                            spi_hook, p);
    avr_irq_register_notify(avr_io_getirq(p->avr, AVR_IOCTL_IOPORT_GETIRQ('B'), cs_bit), cs_hook,
                            p);
    avr_irq_register_notify(avr_io_getirq(p->avr, AVR_IOCTL_IOPORT_GETIRQ('B'), dc_bit), dc_hook,
                            p);
    avr_irq_register_notify(avr_io_getirq(p->avr, AVR_IOCTL_IOPORT_GETIRQ('B'), reset_bit),
                            reset_hook, p);
}

/* With segment remap, column n drives SEG(131 - n); the glass's left edge
 * is SEG129, and its top row COM0 when the COM scan is reversed. */
int sh1106_lit(const sh1106_t *p, int x, int y)
{
    if (!p->display_on || !p->dc_dc)
        return 0;
    if (p->entire_on)
        return 1;
    const int segment = 129 - x;
    const int column = p->remap ? 131 - segment : segment;
    const int com = p->scan_reverse ? y : 63 - y;
    const int row = (com + p->start_line + p->offset) & 63;
    return (p->ram[row / 8][column] >> (row % 8) & 1) ^ p->reverse;
}

const char *sh1106_check(sh1106_t *p)
{
    for (int page = 0; page < SH1106_PAGES; page++)
        for (int column = 0; column < SH1106_COLUMNS; column++)
            if (p->display_on && !p->written[page][column])
                fail(p, "RAM page %d column %d never written: it shows power-up noise", page,
                     column);
    return p->fault[0] ? p->fault : NULL;
}
