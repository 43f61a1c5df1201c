/* A virtual ST7920 in serial mode: see st7920.h. */
#include "st7920.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "avr_ioport.h"
#include "avr_spi.h"
#include "sim_time.h"

#define INSTRUCTION_US 72
#define FUNCTION_SET_US 100 /* the initialisation flow's */
#define CLEAR_US 10000      /* the flow's; the instruction itself takes 1.6 ms */
#define START_US 40000
#define MAX_CLOCK 2500000UL
/* simavr 1.6 hands a byte over every 100 us, whatever the SPI's clock: the
 * chip sees a byte's end (SPIF) then, and the wait for the next frame can
 * only start there. */
#define SIMAVR_SPI_BYTE_US 100

static void fail(st7920_t *p, const char *format, ...)
{
    if (p->fault[0])
        return; /* the first fault is the one to see */
    va_list ap;
    va_start(ap, format);
    int n = snprintf(p->fault, sizeof p->fault, "ST7920: ");
    vsnprintf(p->fault + n, sizeof p->fault - n, format, ap);
    va_end(ap);
}

/* The registers after power-up or a reset: basic instructions, display
 * and graphics off, no scroll, no line reversed, the address counting up;
 * the memories keep what they hold. */
static void reset(st7920_t *p)
{
    p->extended = p->graphics = p->display_on = p->asleep = 0;
    p->standby = p->scroll_select = p->scroll = p->reversed = p->decrement = 0;
    p->vertical_set = p->graphics_address = p->half = p->received = 0;
    p->ready = p->avr->cycle + avr_usec_to_cycles(p->avr, START_US);
}

/* A GDRAM row an earlier firmware set, its word still due. */
#define LEFT_HALF_SET 2

int st7920_warm(st7920_t *p, const char *state)
{
    p->display_on = p->text_cleared = 1;
    p->extended = p->graphics = 1;
    memset(p->written, 1, sizeof p->written); /* its picture, not noise */
    if (!strcmp(state, "asleep"))
        p->asleep = 1;
    else if (!strcmp(state, "basic-graphics"))
        p->extended = 0;
    else if (!strcmp(state, "scroll"))
        p->scroll_select = 1, p->scroll = 17;
    else if (!strcmp(state, "half-address"))
        p->vertical_set = LEFT_HALF_SET, p->vertical = 5;
    else if (!strcmp(state, "standby"))
        p->standby = 1;
    else if (!strcmp(state, "decrement"))
        p->extended = 0, p->decrement = 1;
    else if (!strcmp(state, "reversed"))
        p->reversed = 1 << 2;
    else if (strcmp(state, "graphics"))
        return -1;
    p->ready = 0; /* its power came up long ago */
    return 0;
}

void st7920_init(avr_t *avr, st7920_t *p)
{
    memset(p, 0, sizeof *p);
    p->avr = avr;
    srand(7920);
    for (int row = 0; row < 32; row++)
        for (int word = 0; word < 16; word++)
            p->gdram[row][word] = rand();
    reset(p);
}

/* The wait before the next frame, from the end of this one. */
static void wait(st7920_t *p, unsigned us) { p->wait_us = us; }

/* Function set: DL in bit 4, RE in bit 2, G in bit 1, read in the set it
 * arrives in (among the basic instructions bit 1 means nothing, so G
 * stays). DL and RE may not change at once, nor RE and G. */
static void function_set(st7920_t *p, uint8_t byte)
{
    const uint8_t extended = byte >> 2 & 1;
    if (!(byte & 0x10))
        fail(p, "function set 0x%02X: 4-bit frames", byte);
    if (extended != p->extended && p->extended && (byte & 0x02) != (p->graphics << 1))
        fail(p, "function set 0x%02X changes RE and G at once", byte);
    if (p->extended)
        p->graphics = byte >> 1 & 1;
    p->extended = extended;
    wait(p, FUNCTION_SET_US);
}

static void basic(st7920_t *p, uint8_t byte)
{
    if (byte == 0x01) {
        if (p->asleep)
            fail(p, "a clear while asleep (the datasheet does not say it is carried out)");
        p->text_cleared = 1; /* the text layer to blanks */
        p->graphics_address = 0;
        wait(p, CLEAR_US);
    } else if (byte >= 0x04 && byte <= 0x07)
        p->decrement = !(byte & 0x02); /* entry mode: I/D */
    else if (byte <= 0x03 || (byte >= 0x10 && byte <= 0x1F))
        ; /* home, cursor and display shift: the text layer's */
    else if (byte >= 0x08 && byte <= 0x0F)
        p->display_on = byte >> 2 & 1;
    else if (byte >= 0x20 && byte <= 0x3F)
        function_set(p, byte);
    else
        p->graphics_address = 0; /* a CGRAM or DDRAM address: the text layer's */
}

static void extended(st7920_t *p, uint8_t byte)
{
    if (byte >= 0x80) { /* GDRAM address: vertical, then horizontal */
        if (!p->vertical_set) {
            if ((byte & 0x7F) > 31)
                fail(p, "GDRAM row 0x%02X: the 128 x 64 glass has rows 0 to 31", byte & 0x7F);
            p->vertical = byte & 31;
            p->vertical_set = 1;
            p->graphics_address = 0;
        } else {
            if ((byte & 0x7F) > 15)
                fail(p, "GDRAM word 0x%02X: there are words 0 to 15", byte & 0x7F);
            p->horizontal = byte & 15;
            p->vertical_set = 0;
            p->graphics_address = 1;
            p->half = 0;
        }
        return;
    }
    /* The address's two bytes are written one after the other: another
     * instruction between them starts it anew. The driver never does so;
     * an earlier firmware may have. */
    if (p->vertical_set == 1)
        fail(p, "instruction 0x%02X where the GDRAM's word address was due", byte);
    p->vertical_set = 0;
    if (byte >= 0x20 && byte <= 0x3F)
        function_set(p, byte);
    else if (byte >= 0x08 && byte <= 0x0F)
        p->asleep = !(byte & 0x04);
    else if (byte >= 0x40 && p->scroll_select)
        p->scroll = byte & 0x3F; /* the vertical scroll's address */
    else if (byte >= 0x40)
        p->graphics_address = 0; /* an IRAM address */
    else if (byte >= 0x04)
        p->reversed ^= 1 << (byte & 3); /* each time a line's reverse toggles */
    else if (byte >= 0x02)
        p->scroll_select = byte & 1;
    else if (byte == 0x01)
        p->standby = 1;
    else if (byte > 0x07)
        fail(p, "0x%02X is no ST7920 extended instruction", byte);
}

/* In standby, any instruction ends it: taken here as doing nothing else
 * (the datasheet does not say that it is carried out). */
static void instruction(st7920_t *p, uint8_t byte)
{
    wait(p, INSTRUCTION_US);
    if (p->standby)
        p->standby = 0;
    else
        (p->extended ? extended : basic)(p, byte);
}

/* Two bytes a word, high byte first; the horizontal address then moves on. */
static void data(st7920_t *p, uint8_t byte)
{
    wait(p, INSTRUCTION_US);
    if (p->asleep)
        fail(p, "data 0x%02X while asleep (the datasheet does not say it is stored)", byte);
    if (!p->graphics_address) {
        fail(p, "data 0x%02X to the text layer (no GDRAM address set)", byte);
        return;
    }
    if (!p->half) {
        p->high_byte = byte;
        p->half = 1;
        return;
    }
    p->half = 0;
    if (p->horizontal > 15) {
        fail(p, "data past word 15 of GDRAM row %d", p->vertical);
        return;
    }
    p->gdram[p->vertical][p->horizontal] = (uint16_t)(p->high_byte << 8 | byte);
    p->written[p->vertical][p->horizontal] = 1;
    p->horizontal += p->decrement ? -1 : 1; /* past word 0 it is 255: a fault next */
}

/* The SPI clock the chip runs at, from SPCR and SPSR, and the cycles of a byte. */
static unsigned long spi_divider(const st7920_t *p)
{
    const uint8_t spcr = p->avr->data[0x4C], spsr = p->avr->data[0x4D];
    const unsigned divider = (spcr & 3) == 3 ? 128 : 4u << 2 * (spcr & 3); /* 4, 16, 64, 128 */
    return divider >> (spsr & 1);                                          /* halved by SPI2X */
}

static void spi_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    st7920_t *p = param;
    if (!p->cs)
        return; /* not selected: CS is active high */
    const unsigned long divider = p->bus_clock ? 0 : spi_divider(p),
                        clock = p->bus_clock ? *p->bus_clock : p->avr->frequency / divider;
    if (clock > p->spi_clock)
        p->spi_clock = clock;
    if (clock > MAX_CLOCK)
        fail(p, "SPI clock %lu Hz, above its 2.5 MHz", clock);
    const uint8_t byte = value;
    if (p->received == 0) {
        if (p->avr->cycle < p->ready)
            fail(p, "a frame %llu us before the one before has ended",
                 (unsigned long long)((p->ready - p->avr->cycle) * 1000000 / p->avr->frequency));
        if (byte != 0xF8 && byte != 0xFA) {
            fail(p, "0x%02X is no sync byte of a write (0xF8, 0xFA)", byte);
            return;
        }
    } else if (byte & 0x0F) {
        fail(p, "frame byte 0x%02X has bits set below its nibble", byte);
    }
    p->frame[p->received++] = byte;
    if (p->received < 3)
        return;
    p->received = 0;
    const uint8_t whole = p->frame[1] | p->frame[2] >> 4;
    (p->frame[0] == 0xFA ? data : instruction)(p, whole);
    /* The frame ends with its last byte: 8 clocks after it was written, or
     * when simavr hands it over, if later; a USI hands it over as it ends. */
    avr_cycle_count_t last = 8 * divider;
    if (!p->bus_clock && last < avr_usec_to_cycles(p->avr, SIMAVR_SPI_BYTE_US))
        last = avr_usec_to_cycles(p->avr, SIMAVR_SPI_BYTE_US);
    p->ready = p->avr->cycle + last + avr_usec_to_cycles(p->avr, p->wait_us);
}

static void cs_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    st7920_t *p = param;
    p->cs = value;
    if (!value)
        p->received = 0; /* CS low resets the serial counter */
}

/* Held in reset while RES is low; its 40 ms count from the pulse's end. */
static void reset_hook(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    (void)value;
    reset(param);
}

void st7920_connect(st7920_t *p, avr_irq_t *spi, const unsigned long *bus_clock, int cs_bit,
                    int reset_bit)
{
    p->bus_clock = bus_clock;
    avr_irq_register_notify(spi + SPI_IRQ_OUTPUT, spi_hook, p);
    avr_irq_register_notify(avr_io_getirq(p->avr, AVR_IOCTL_IOPORT_GETIRQ('B'), cs_bit), cs_hook,
                            p);
    if (reset_bit >= 0)
        avr_irq_register_notify(avr_io_getirq(p->avr, AVR_IOCTL_IOPORT_GETIRQ('B'), reset_bit),
                                reset_hook, p);
}

/* Rows 0 to 31 are words 0 to 7 of the 32 rows, rows 32 to 63 words 8 to
 * 15; a vertical scroll moves the rows up. */
int st7920_lit(const st7920_t *p, int x, int y)
{
    if (!p->display_on || !p->graphics || p->asleep || p->standby)
        return 0;
    y = (y + p->scroll) % 64;
    const uint16_t word = p->gdram[y & 31][x / 16 + (y >= 32 ? 8 : 0)];
    return word >> (15 - x % 16) & 1;
}

const char *st7920_check(st7920_t *p)
{
    if (p->standby || p->scroll || p->scroll_select || p->reversed || p->decrement)
        fail(p, "left as an earlier firmware set it: %s",
             p->standby         ? "in standby"
             : p->scroll        ? "a vertical scroll"
             : p->scroll_select ? "scroll addresses selected"
             : p->reversed      ? "a line reversed (only RESET or the power undoes it)"
                                : "the address counting down");
    const int shown = p->display_on && !p->asleep;
    if (shown && !p->text_cleared)
        fail(p, "the text layer was never cleared: its power-up content shows");
    for (int row = 0; row < 32; row++)
        for (int word = 0; word < 16; word++)
            if (shown && p->graphics && !p->written[row][word])
                fail(p, "GDRAM row %d word %d never written: it shows power-up noise", row, word);
    return p->fault[0] ? p->fault : NULL;
}
