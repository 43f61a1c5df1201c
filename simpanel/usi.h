/*
 * The ATtiny25/45/85's USI, which simavr 1.6's tiny85 core lacks, written
 * here from the chip's datasheet (its USI chapter): USIDR, USISR (start,
 * overflow and stop flags, a 4-bit counter), USICR (wire mode, clock
 * source, the software strobes USICLK and USITC); the two-wire mode with
 * SDA (PB0) and SCL (PB2) as open-drain lines with pull-ups, and the
 * three-wire mode with DO (PB1) and USCK (PB2). The I2C it carries goes out
 * as simavr's TWI messages, and the SPI as its SPI bytes, so that the same
 * simulated panels take it. A run fails on what the bus would not take:
 * SCL faster than Fast-mode (low under 1.3 us, high under 0.6 us, a period
 * under 2.5 us), a START or STOP held too short, a byte clocked in a mode
 * the firmware did not set up.
 */
#ifndef USI_H
#define USI_H

#include "avr_spi.h"
#include "avr_twi.h"
#include "sim_avr.h"
#include "sim_irq.h"

typedef struct usi {
    avr_t *avr;
    avr_irq_t *twi; /* TWI_IRQ_COUNT irqs, as a TWI's: messages out, acknowledges in */
    avr_irq_t *spi; /* SPI_IRQ_COUNT irqs, as an SPI's: bytes out */
    uint8_t usidr, counter, flags, out_latch;
    int sda, scl; /* the lines as they are: 1 let go (pulled up), 0 low */
    int module_low; /* the module holds SDA low: its acknowledge */
    int bits, addressed, acknowledged, started;
    uint8_t byte;
    avr_cycle_count_t scl_rose, scl_fell, sda_changed, spi_edge;
    unsigned long spi_clock; /* the fastest USCK seen, in Hz */
    double scl_high_ns, scl_low_ns, scl_period_ns; /* the shortest seen in a transfer */
    int stuck; /* SCL clocks a module left mid-byte holds SDA low for yet */
    char fault[160];
} usi_t;

/* stuck: a module left mid-byte by the chip's reset holds SDA low for
 * that many SCL clocks (0: none). */
void usi_init(avr_t *avr, usi_t *usi, int stuck);

/* NULL, or what the bus would not have taken. */
const char *usi_check(const usi_t *usi);

#endif
