/* The ATtiny85's USI as its datasheet describes it: see usi.h. */
#include "usi.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "avr_ioport.h"
#include "sim_cycle_timers.h"
#include "sim_io.h"

/* The registers in the data space (I/O + 0x20). */
#define USICR 0x2D
#define USISR 0x2E
#define USIDR 0x2F
#define PORTB 0x38
#define DDRB 0x37
#define PINB 0x36
#define SDA_BIT 0 /* DI */
#define DO_BIT 1
#define SCL_BIT 2 /* USCK */

/* Fast-mode's least SCL low, high and period, START hold and STOP set-up,
 * and bus free time, in ns, each a tenth longer: the driver keeps them on
 * a chip whose RC oscillator runs up to 10 % fast. */
#define MARGIN 1.1
#define LOW_NS (1300 * MARGIN)
#define HIGH_NS (600 * MARGIN)
#define PERIOD_NS (2500 * MARGIN)
#define FREE_NS (1300 * MARGIN)

static void fail(usi_t *u, const char *format, ...)
{
    if (u->fault[0])
        return;
    va_list ap;
    va_start(ap, format);
    vsnprintf(u->fault, sizeof u->fault, format, ap);
    va_end(ap);
}

static double ns_since(const usi_t *u, avr_cycle_count_t then)
{
    return (double)(u->avr->cycle - then) * 1e9 / u->avr->frequency;
}

static int mode(const usi_t *u) { return u->avr->data[USICR] >> 4 & 3; }
static int two_wire(const usi_t *u) { return mode(u) >= 2; }
static int bit(const usi_t *u, int address, int b) { return u->avr->data[address] >> b & 1; }

static void publish(usi_t *u) { u->avr->data[USISR] = u->flags | u->counter; }

/* What the chip reads on SDA while it is an input: a module's level.
 * simavr sets the pin from the pull-up when the direction changes, after
 * telling of it, so the level is set again a cycle later. */
static avr_cycle_count_t sda_level_again(struct avr_t *avr, avr_cycle_count_t when, void *param)
{
    (void)when;
    usi_t *u = param;
    if (!(avr->data[DDRB] & 1 << SDA_BIT))
        avr->data[PINB] = (uint8_t)((avr->data[PINB] & ~(1 << SDA_BIT)) | !u->stuck << SDA_BIT);
    return 0;
}

static void sda_pin(usi_t *u) { avr_cycle_timer_register(u->avr, 1, sda_level_again, u); }

/* ---- I2C ---- */

static void message(usi_t *u, uint8_t condition, uint8_t data)
{
    u->acknowledged = 0;
    avr_raise_irq(u->twi + TWI_IRQ_OUTPUT, avr_twi_irq_msg(condition, u->byte, data));
}

/* A module's acknowledge, from any device on the bus. */
static void acknowledge(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    usi_t *u = param;
    avr_twi_msg_irq_t reply;
    reply.u.v = value;
    if (reply.u.twi.msg & TWI_COND_ACK && reply.u.twi.data)
        u->acknowledged = 1;
}

static void scl_rises(usi_t *u, int sda)
{
    const double low = ns_since(u, u->scl_fell), period = ns_since(u, u->scl_rose);
    if (u->started && low < LOW_NS)
        fail(u, "SCL low %.0f ns, under Fast-mode's 1.3 us (and a tenth)", low);
    if (u->started && u->bits > 0 && u->bits < 9 && period < PERIOD_NS)
        fail(u, "SCL period %.0f ns: faster than 400 kHz (and a tenth)", period);
    if (u->started && (!u->scl_low_ns || low < u->scl_low_ns))
        u->scl_low_ns = low;
    if (u->started && u->bits > 0 && u->bits < 9 && (!u->scl_period_ns || period < u->scl_period_ns))
        u->scl_period_ns = period;
    u->scl_rose = u->avr->cycle;
    if (u->stuck && !--u->stuck) /* the stuck module's byte ends: SDA let go */
        sda_pin(u);
    u->usidr = (uint8_t)(u->usidr << 1 | sda); /* the shift register, on SCL's rising edge */
    if (u->started && u->bits < 8)
        u->byte = (uint8_t)(u->byte << 1 | sda), u->bits++;
    else if (u->started && u->bits == 8)
        u->bits = 9; /* the acknowledge's clock */
}

static void scl_falls(usi_t *u)
{
    const double high = ns_since(u, u->scl_rose);
    if (u->started && high < HIGH_NS)
        fail(u, "SCL high %.0f ns, under Fast-mode's 0.6 us (and a tenth)", high);
    if (u->started && (!u->scl_high_ns || high < u->scl_high_ns))
        u->scl_high_ns = high;
    if (u->started && !u->addressed && !u->bits && ns_since(u, u->sda_changed) < HIGH_NS)
        fail(u, "a START held %.0f ns, under 0.6 us", ns_since(u, u->sda_changed));
    u->scl_fell = u->avr->cycle;
    u->out_latch = u->usidr >> 7;
    if (u->started && u->bits == 8) { /* a byte: to the modules, which may acknowledge */
        if (!u->addressed) {
            u->addressed = 1;
            message(u, TWI_COND_START, 0);
        } else {
            message(u, TWI_COND_WRITE, u->byte);
        }
        u->module_low = u->acknowledged;
    } else if (u->bits == 9) {
        u->module_low = 0;
        u->bits = 0;
    }
}

static void sda_changes_while_scl_high(usi_t *u, int sda)
{
    if (!sda) { /* a START */
        if (ns_since(u, u->sda_changed) < FREE_NS && u->sda_changed)
            fail(u, "a START %.0f ns after a STOP: the bus was not free 1.3 us",
                 ns_since(u, u->sda_changed));
        u->started = 1, u->addressed = 0, u->bits = 0;
    } else if (u->started) { /* a STOP */
        if (ns_since(u, u->scl_rose) < HIGH_NS)
            fail(u, "a STOP %.0f ns after SCL rose, under 0.6 us", ns_since(u, u->scl_rose));
        if (u->addressed)
            message(u, TWI_COND_STOP, 0);
        u->started = 0;
    }
    u->sda_changed = u->avr->cycle;
}

/* The lines from the chip's pins, the USI's output latch and a module's
 * acknowledge; each change on them, in order. */
static void lines_change(usi_t *u)
{
    int sda = 1, scl = 1;
    if (bit(u, DDRB, SDA_BIT) && (!bit(u, PORTB, SDA_BIT) || (two_wire(u) && !u->out_latch)))
        sda = 0;
    if (u->module_low || u->stuck)
        sda = 0;
    if (bit(u, DDRB, SCL_BIT) && !bit(u, PORTB, SCL_BIT))
        scl = 0;
    if (!two_wire(u)) { /* the pins plain: only a stuck module counts SCL's clocks */
        if (scl && !u->scl && u->stuck && !--u->stuck)
            sda_pin(u);
        u->sda = sda, u->scl = scl;
        return;
    }
    if (scl != u->scl) {
        u->scl = scl;
        if (scl)
            scl_rises(u, sda);
        else
            scl_falls(u);
        lines_change(u); /* the latch or an acknowledge may move SDA */
        return;
    }
    if (sda != u->sda) {
        u->sda = sda;
        if (scl)
            sda_changes_while_scl_high(u, sda);
    }
}

/* ---- SPI: the three-wire mode ---- */

static void usck_edge(usi_t *u, int rising)
{
    if (u->spi_edge) {
        const unsigned long clock =
            (unsigned long)(u->avr->frequency / (2.0 * (u->avr->cycle - u->spi_edge)));
        if (clock > u->spi_clock)
            u->spi_clock = clock;
    }
    u->spi_edge = u->avr->cycle;
    if (rising) { /* the module takes DO; the shift register DI */
        u->byte = (uint8_t)(u->byte << 1 | u->out_latch);
        u->usidr = (uint8_t)(u->usidr << 1 | bit(u, PORTB, SDA_BIT));
    } else {
        u->out_latch = u->usidr >> 7;
    }
}

/* ---- The registers ---- */

static void count(usi_t *u)
{
    u->counter = (u->counter + 1) & 15;
    if (!u->counter) {
        u->flags |= 0x40; /* USIOIF */
        if (mode(u) == 1)
            avr_raise_irq(u->spi + SPI_IRQ_OUTPUT, u->byte);
    }
}

static void usicr_write(struct avr_t *avr, avr_io_addr_t address, uint8_t value, void *param)
{
    usi_t *u = param;
    (void)address;
    avr->data[USICR] = value & 0xFC; /* USICLK and USITC read as 0 */
    const int clock_source = value >> 2 & 3, usiclk = value >> 1 & 1, usitc = value & 1;
    if (usitc) { /* toggles USCK/SCL */
        avr->data[PORTB] ^= 1 << SCL_BIT;
        const int rising = bit(u, PORTB, SCL_BIT);
        if (mode(u) == 1 && bit(u, DDRB, SCL_BIT))
            usck_edge(u, rising);
        lines_change(u);
        if (clock_source == 2 && usiclk)
            count(u);
    }
    if (usitc && clock_source != 2)
        fail(u, "USITC with clock source %d: the driver clocks with the external clock", clock_source);
    publish(u);
}

static void usisr_write(struct avr_t *avr, avr_io_addr_t address, uint8_t value, void *param)
{
    usi_t *u = param;
    (void)avr, (void)address;
    u->flags &= ~(value & 0xF0);
    u->counter = value & 15;
    publish(u);
}

static void usidr_write(struct avr_t *avr, avr_io_addr_t address, uint8_t value, void *param)
{
    usi_t *u = param;
    (void)address;
    u->usidr = value;
    if (!bit(u, PORTB, SCL_BIT) || !two_wire(u)) /* the latch is open while the clock is low */
        u->out_latch = value >> 7;
    avr->data[USIDR] = value;
    lines_change(u);
}

static uint8_t usidr_read(struct avr_t *avr, avr_io_addr_t address, void *param)
{
    (void)avr, (void)address;
    return ((usi_t *)param)->usidr;
}

/* simavr raises the port's and the direction's irqs before it stores
 * them: the new value is the irq's. */
static void port_changes(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    usi_t *u = param;
    u->avr->data[PORTB] = (uint8_t)value;
    lines_change(u);
}

static void direction_changes(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    usi_t *u = param;
    u->avr->data[DDRB] = (uint8_t)value;
    if (u->stuck)
        sda_pin(u);
    lines_change(u);
}

void usi_init(avr_t *avr, usi_t *u, int stuck)
{
    static const char *twi_names[TWI_IRQ_COUNT] = {"usi.twi.in", "usi.twi.out", "usi.twi.status"};
    static const char *spi_names[SPI_IRQ_COUNT] = {"usi.spi.in", "usi.spi.out"};
    memset(u, 0, sizeof *u);
    u->avr = avr;
    u->sda = !stuck, u->scl = 1;
    u->stuck = stuck;
    u->twi = avr_alloc_irq(&avr->irq_pool, 0, TWI_IRQ_COUNT, twi_names);
    u->spi = avr_alloc_irq(&avr->irq_pool, 0, SPI_IRQ_COUNT, spi_names);
    avr_irq_register_notify(u->twi + TWI_IRQ_INPUT, acknowledge, u);
    avr_register_io_write(avr, USICR, usicr_write, u);
    avr_register_io_write(avr, USISR, usisr_write, u);
    avr_register_io_write(avr, USIDR, usidr_write, u);
    avr_register_io_read(avr, USIDR, usidr_read, u);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('B'), IOPORT_IRQ_PIN_ALL),
                            port_changes, u);
    avr_irq_register_notify(
        avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('B'), IOPORT_IRQ_DIRECTION_ALL),
        direction_changes, u);
}

const char *usi_check(const usi_t *u) { return u->fault[0] ? u->fault : NULL; }
