/*
 * simpanel: runs OLED firmware for the ATmega328P at 16 MHz in simavr,
 * with a virtual panel on the chip's I2C (TWI) or SPI bus, until the
 * firmware sleeps with interrupts off (or for -run cycles), and writes what
 * the panel's glass then shows as a PPM picture: lit pixels light, the
 * glass dark.
 *
 *   simpanel [-mcu NAME] [-frequency HZ] [-spi]
 *             [-controller ssd1306|sh1106|sh1107|ssd1309|st7567|uc1701|pcd8544|st7920]
 *             [-rows 32] [-columns 64] [-address A]
 *             [-upside-down] [-glass-column N] [-warm STATE] [-noreset]
 *             [-nopanel] [-eeprom] [-uart FILE] [-press S]... [-run N] [-seconds S]
 *             [-cycles N] [-scale N] [-text FILE] [-measure FUNCTION]
 *             firmware.elf|firmware.hex glass.ppm
 *
 * The SSD1306 is simavr's own part; the SH1106, SH1107,
 * SSD1309, ST7567, UC1701 and PCD8544 are the models in pagepanel.c (the
 * UC1701 and PCD8544 on SPI alone), the ST7920 (SPI alone, serial mode, no
 * D/C) the one in st7920.c, each failing the run on anything its datasheet does not
 * allow. The glass
 * is the module as it is usually mounted: the usual power-up sequence
 * (segment remap, COM scan from COM[N-1]) shows the first visible RAM
 * column at the left and RAM row 0 at the top. Display on/off, inverse
 * display, segment remap and COM scan direction act on it as the
 * datasheets say. SPI wiring: CS PB2, D/C PB1, RESET PB0. The PCD8544's
 * glass is 84 x 48.
 *
 * The firmware is an ELF file or an Intel hex file (what the Arduino IDE
 * exports), for the ATmega328P or the chip -mcu names (atmega2560: its
 * I2C is the same TWI; the SPI wiring above is the 328P's; attiny85: the
 * buses on its USI, usi.c, I2C on PB0 and PB2, SPI's MOSI on PB1 and SCK
 * on PB2 with CS PB3, D/C PB4, RESET PB0, and the LED counted on PB1),
 * at 16 MHz or the -frequency given; -stuck N has a module left mid-byte
 * hold SDA low there for N clocks. -run N or -seconds S stops after N
 * cycles or S simulated seconds, for firmware that never ends, such as an Arduino sketch; -text
 * writes the glass as text too, '#' for a lit pixel. -nopanel leaves the bus empty; -eeprom puts
 * simavr's 256-byte I2C EEPROM at address 0x50 beside the panel; -uart writes what the firmware
 * sends on its UART to FILE. -press S presses a button on PD2 (the Uno's pin 2) to GND at S
 * simulated seconds for 100 ms, as often as given; the pin is high otherwise, as the chip's
 * pull-up holds it. At the end, standard error tells how often the LED's pin (PB5 on an Uno)
 * changed, the SPI clock a model saw, and -measure the cycles and stack bytes of the first call of
 * FUNCTION. simavr's SSD1306 prints on standard output.
 *
 * -warm STATE starts the ST7920 as an earlier firmware left it (st7920.h
 * lists the states), and -noreset leaves its RESET unwired, as the library
 * allows for it. -columns 64 is the SH1107's 64 x 128 glass (128 x 128 by
 * default). A page panel's module may be mounted -upside-down, and
 * -glass-column N wires its glass to RAM column N while upright, instead of
 * the usual module's (2 on the SH1106, 4 on the ST7567, else 0).
 */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "avr_ioport.h"
#include "avr_twi.h"
#include "avr_uart.h"
#include "i2c_eeprom.h"
#include "pagepanel.h"
#include "sim_avr.h"
#include "sim_core.h"
#include "sim_elf.h"
#include "sim_hex.h"
#include "ssd1306_virt.h"
#include "st7920.h"
#include "usi.h"

static const unsigned char lit_colour[3] = {0xE0, 0xF0, 0xFF};
static const unsigned char dark_colour[3] = {0x10, 0x14, 0x18};

struct options {
    const char *mcu;
    unsigned long frequency;
    int spi;
    const char *controller;
    int rows;
    int address;
    int nopanel;
    int eeprom;
    const char *uart;
    double presses[8]; /* -press: when the button on PD2 goes down, in seconds */
    int press_count;
    unsigned long long run; /* 0: until the firmware sleeps */
    int scale;
    unsigned long long cycles;
    const char *measure;
    const char *text;
    const char *warm; /* the ST7920's state at the start, or NULL: cold */
    int noreset;
    int stuck; /* -stuck N: on the ATtiny85, a module holds SDA low for N clocks */
    int columns;      /* the SH1107's glass width */
    int upside_down;  /* a page panel's module mounted upside down */
    int glass_column; /* the RAM column at its glass's left edge upright, or -1: the usual */
    const char *firmware;
    const char *glass;
};

static void fail(const char *what, const char *detail)
{
    fprintf(stderr, "simpanel: %s%s\n", what, detail ? detail : "");
    exit(1);
}

/* simavr's own messages, but for its errors, are noise here. */
static void quiet_logger(avr_t *avr, const int level, const char *format, va_list ap)
{
    (void)avr;
    if (level <= LOG_ERROR)
        vfprintf(stderr, format, ap);
}

static struct options parse(int argc, char **argv)
{
    struct options o = {.mcu = "atmega328p",
                        .frequency = 16000000,
                        .controller = "ssd1306",
                        .rows = 64,
                        .address = 0x3C,
                        .scale = 1,
                        .columns = 128,
                        .glass_column = -1,
                        .cycles = 100000000ULL};
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; i++) {
        if (!strcmp(argv[i], "-mcu") && i + 1 < argc)
            o.mcu = argv[++i];
        else if (!strcmp(argv[i], "-frequency") && i + 1 < argc)
            o.frequency = strtoul(argv[++i], NULL, 10);
        else if (!strcmp(argv[i], "-spi"))
            o.spi = 1;
        else if (!strcmp(argv[i], "-nopanel"))
            o.nopanel = 1;
        else if (!strcmp(argv[i], "-warm") && i + 1 < argc)
            o.warm = argv[++i];
        else if (!strcmp(argv[i], "-stuck") && i + 1 < argc)
            o.stuck = atoi(argv[++i]);
        else if (!strcmp(argv[i], "-noreset"))
            o.noreset = 1;
        else if (!strcmp(argv[i], "-columns") && i + 1 < argc)
            o.columns = atoi(argv[++i]);
        else if (!strcmp(argv[i], "-upside-down"))
            o.upside_down = 1;
        else if (!strcmp(argv[i], "-glass-column") && i + 1 < argc)
            o.glass_column = atoi(argv[++i]);
        else if (!strcmp(argv[i], "-eeprom"))
            o.eeprom = 1;
        else if (!strcmp(argv[i], "-controller") && i + 1 < argc) {
            o.controller = argv[++i];
            if (strcmp(o.controller, "ssd1306") && strcmp(o.controller, "sh1106") &&
                strcmp(o.controller, "sh1107") && strcmp(o.controller, "ssd1309") &&
                strcmp(o.controller, "st7567") && strcmp(o.controller, "uc1701") &&
                strcmp(o.controller, "pcd8544") && strcmp(o.controller, "st7920"))
                fail("unknown controller ", o.controller);
        } else if (!strcmp(argv[i], "-address") && i + 1 < argc)
            o.address = (int)strtol(argv[++i], NULL, 0);
        else if (!strcmp(argv[i], "-uart") && i + 1 < argc)
            o.uart = argv[++i];
        else if (!strcmp(argv[i], "-press") && i + 1 < argc && o.press_count < 8)
            o.presses[o.press_count++] = atof(argv[++i]);
        else if (!strcmp(argv[i], "-run") && i + 1 < argc)
            o.run = strtoull(argv[++i], NULL, 10);
        else if (!strcmp(argv[i], "-seconds") && i + 1 < argc)
            o.run = (unsigned long long)(strtod(argv[++i], NULL) * 16000000.0);
        else if (!strcmp(argv[i], "-text") && i + 1 < argc)
            o.text = argv[++i];
        else if (!strcmp(argv[i], "-rows") && i + 1 < argc)
            o.rows = atoi(argv[++i]);
        else if (!strcmp(argv[i], "-scale") && i + 1 < argc)
            o.scale = atoi(argv[++i]);
        else if (!strcmp(argv[i], "-cycles") && i + 1 < argc)
            o.cycles = strtoull(argv[++i], NULL, 10);
        else if (!strcmp(argv[i], "-measure") && i + 1 < argc)
            o.measure = argv[++i];
        else
            fail("unknown option ", argv[i]);
    }
    if (!strcmp(o.controller, "pcd8544"))
        o.rows = 48;
    else if (!strcmp(o.controller, "sh1107"))
        o.rows = 128;
    else if (strcmp(o.controller, "ssd1306") && o.rows != 64)
        fail("only the SSD1306 comes with 32 rows", NULL);
    if (strcmp(o.controller, "sh1107") ? o.columns != 128 : o.columns != 128 && o.columns != 64)
        fail("only the SH1107 comes 64 columns wide", NULL);
    if (argc - i != 2 || o.scale < 1 || o.scale > 64)
        fail("usage: simpanel [-spi] [-controller NAME] [-rows 32|64] [-columns 64] "
             "[-mcu NAME] [-frequency HZ] [-stuck N] [-address A] [-upside-down] [-glass-column N] [-warm STATE] [-noreset] "
             "[-nopanel] [-eeprom] [-uart FILE] [-press S]... [-run N] [-seconds S] [-cycles N] "
             "[-scale N] "
             "[-text FILE] [-measure FUNCTION] firmware.elf|firmware.hex glass.ppm",
             NULL);
    o.firmware = argv[i];
    o.glass = argv[i + 1];
    return o;
}

static uint32_t symbol_address(const elf_firmware_t *firmware, const char *name)
{
    for (uint32_t i = 0; i < firmware->symbolcount; i++)
        if (!strcmp(firmware->symbol[i]->symbol, name))
            return firmware->symbol[i]->addr;
    fail("no such function in the firmware: ", name);
    return 0;
}

/* Whether simavr's SSD1306 lights its glass at column x, row y (0, 0 at the top left). */
static int ssd1306_lit(ssd1306_t *panel, int rows, int x, int y)
{
    if (!ssd1306_get_flag(panel, SSD1306_FLAG_DISPLAY_ON))
        return 0;
    /* SEG0 drives the rightmost column of the glass, COM0 its bottom row. */
    const int column = ssd1306_get_flag(panel, SSD1306_FLAG_SEGMENT_REMAP_0) ? 127 - x : x;
    const int row = ssd1306_get_flag(panel, SSD1306_FLAG_COM_SCAN_NORMAL) ? rows - 1 - y : y;
    const int on = panel->vram[row / 8][column] >> (row % 8) & 1;
    return on ^ ssd1306_get_flag(panel, SSD1306_FLAG_DISPLAY_INVERTED);
}

static ssd1306_t ssd1306;
static pagepanel_t pagepanel;
static st7920_t st7920;

static int is(const struct options *o, const char *controller)
{
    return !strcmp(o->controller, controller);
}

/* simavr's SSD1306, or a model of ours: the ST7920's, or a page panel's. */
static int modelled(const struct options *o) { return !o->nopanel && !is(o, "ssd1306"); }

static int width(const struct options *o)
{
    return is(o, "pcd8544") ? 84 : is(o, "sh1107") ? o->columns : 128;
}

static int lit(const struct options *o, int x, int y)
{
    if (o->nopanel)
        return 0;
    if (is(o, "ssd1306")) /* simavr's part, its module turned here */
        return o->upside_down ? ssd1306_lit(&ssd1306, o->rows, 127 - x, o->rows - 1 - y)
                              : ssd1306_lit(&ssd1306, o->rows, x, y);
    return is(o, "st7920") ? st7920_lit(&st7920, x, y) : pagepanel_lit(&pagepanel, x, y);
}

static FILE *uart;

static void uart_byte(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    (void)param;
    fputc((int)value, uart);
}

static void count_change(struct avr_irq_t *irq, uint32_t value, void *param)
{
    (void)irq;
    (void)value;
    ++*(uint32_t *)param;
}

/* The panel and the other parts on the chip's buses. */
static usi_t usi;

/* The chip's TWI and SPI irqs, or its USI's where it has no TWI: they carry
 * the same messages and bytes. */
static int on_usi(const struct options *o) { return !strncmp(o->mcu, "attiny", 6); }
static avr_irq_t *twi_irqs(avr_t *avr, const struct options *o)
{
    return on_usi(o) ? usi.twi : avr_io_getirq(avr, AVR_IOCTL_TWI_GETIRQ(0), 0);
}
static avr_irq_t *spi_irqs(avr_t *avr, const struct options *o)
{
    return on_usi(o) ? usi.spi : avr_io_getirq(avr, AVR_IOCTL_SPI_GETIRQ(0), 0);
}

/* simavr's SSD1306 on the USI, wired by hand as its own connect calls
 * wire it to a TWI or an SPI. */
static void ssd1306_on_usi(avr_t *avr, const struct options *o, const ssd1306_wiring_t *w)
{
    if (!o->spi) {
        avr_connect_irq(usi.twi + TWI_IRQ_OUTPUT, ssd1306.irq + IRQ_SSD1306_TWI_OUT);
        avr_connect_irq(ssd1306.irq + IRQ_SSD1306_TWI_IN, usi.twi + TWI_IRQ_INPUT);
        return;
    }
    avr_connect_irq(usi.spi + SPI_IRQ_OUTPUT, ssd1306.irq + IRQ_SSD1306_SPI_BYTE_IN);
    avr_connect_irq(avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ(w->chip_select.port),
                                  w->chip_select.pin),
                    ssd1306.irq + IRQ_SSD1306_ENABLE);
    avr_connect_irq(avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ(w->data_instruction.port),
                                  w->data_instruction.pin),
                    ssd1306.irq + IRQ_SSD1306_DATA_INSTRUCTION);
    avr_connect_irq(avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ(w->reset.port), w->reset.pin),
                    ssd1306.irq + IRQ_SSD1306_RESET);
}

static void connect(avr_t *avr, const struct options *o)
{
    /* PB0 is the reset pin on both buses: an I2C firmware never drives it.
     * On the ATtiny85 CS is PB3 and D/C PB4 (PB1 and PB2 are the USI's). */
    static ssd1306_wiring_t wiring = {{'B', 2}, {'B', 1}, {'B', 0}};
    if (on_usi(o)) {
        usi_init(avr, &usi, o->stuck);
        wiring.chip_select.pin = 3, wiring.data_instruction.pin = 4;
    }
    const int cs = wiring.chip_select.pin, dc = wiring.data_instruction.pin;
    if (o->nopanel)
        ;
    else if (is(o, "st7920")) {
        st7920_init(avr, &st7920);
        if (o->warm && st7920_warm(&st7920, o->warm) != 0)
            fail("no such warm state of the ST7920: ", o->warm);
        st7920_connect(&st7920, spi_irqs(avr, o), on_usi(o) ? &usi.spi_clock : NULL, cs,
                       o->noreset ? -1 : 0);
    } else if (modelled(o)) {
        pagepanel_init(avr, &pagepanel,
                       is(o, "sh1106")    ? SH1106
                       : is(o, "sh1107")  ? SH1107
                       : is(o, "ssd1309") ? SSD1309
                       : is(o, "st7567")  ? ST7567
                       : is(o, "uc1701")  ? UC1701
                                          : PCD8544,
                       o->columns);
        if (o->glass_column >= 0 || o->upside_down)
            pagepanel_wire(&pagepanel,
                           o->glass_column >= 0 ? o->glass_column : pagepanel.first_visible,
                           o->upside_down);
        if (o->spi || is(o, "pcd8544") || is(o, "uc1701"))
            pagepanel_connect_spi(&pagepanel, spi_irqs(avr, o), on_usi(o) ? &usi.spi_clock : NULL,
                                  cs, dc, 0);
        else
            pagepanel_connect_twi(&pagepanel, o->address, twi_irqs(avr, o));
    } else {
        ssd1306_init(avr, &ssd1306, 128, o->rows);
        if (on_usi(o))
            ssd1306_on_usi(avr, o, &wiring);
        else if (o->spi)
            ssd1306_connect(&ssd1306, &wiring);
        else
            ssd1306_connect_twi(&ssd1306, &wiring);
    }
    if (o->eeprom) {
        static i2c_eeprom_t eeprom;
        i2c_eeprom_init(avr, &eeprom, 0x50 << 1, 0x01, NULL, 256);
        i2c_eeprom_attach(avr, &eeprom, AVR_IOCTL_TWI_GETIRQ(0));
    }
    if (o->uart) {
        uart = fopen(o->uart, "wb");
        if (!uart)
            fail("cannot write ", o->uart);
        uint32_t flags = 0;
        avr_ioctl(avr, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
        flags &= ~AVR_UART_FLAG_STDIO;
        avr_ioctl(avr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
        avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT),
                                uart_byte, NULL);
    }
}

static void write_glass(const struct options *o)
{
    FILE *out = fopen(o->glass, "wb");
    if (!out)
        fail("cannot write ", o->glass);
    fprintf(out, "P6\n%d %d\n255\n", width(o) * o->scale, o->rows * o->scale);
    for (int y = 0; y < o->rows * o->scale; y++)
        for (int x = 0; x < width(o) * o->scale; x++)
            fwrite(lit(o, x / o->scale, y / o->scale) ? lit_colour : dark_colour, 1, 3, out);
    if (fclose(out) != 0)
        fail("cannot write ", o->glass);
}

/* The glass as text, a line a row: '#' for a lit pixel, '.' for a dark one. */
static void write_text(const struct options *o)
{
    FILE *out = fopen(o->text, "w");
    if (!out)
        fail("cannot write ", o->text);
    for (int y = 0; y < o->rows; y++) {
        for (int x = 0; x < width(o); x++)
            fputc(lit(o, x, y) ? '#' : '.', out);
        fputc('\n', out);
    }
    if (fclose(out) != 0)
        fail("cannot write ", o->text);
}

/* An ELF file, or an Intel hex file by its name. */
static void read_firmware(const char *name, elf_firmware_t *firmware)
{
    const size_t length = strlen(name);
    if (length > 4 && !strcmp(name + length - 4, ".hex")) {
        firmware->flash = read_ihex_file(name, &firmware->flashsize, &firmware->flashbase);
        if (!firmware->flash)
            fail("cannot read the firmware ", name);
    } else if (elf_read_firmware(name, firmware) != 0)
        fail("cannot read the firmware ", name);
}

int main(int argc, char **argv)
{
    const struct options o = parse(argc, argv);
    avr_global_logger_set(quiet_logger);

    static elf_firmware_t firmware;
    read_firmware(o.firmware, &firmware);
    avr_t *avr = avr_make_mcu_by_name(o.mcu);
    if (!avr || avr_init(avr) != 0)
        fail("no such chip in this simavr: ", o.mcu);
    avr_load_firmware(avr, &firmware);
    avr->frequency = o.frequency;

    connect(avr, &o);
    static uint32_t led_changes; /* the LED: PB5, the Uno's; PB1 on an ATtiny, the Digispark's */
    const int led = on_usi(&o) ? 1 : 5;
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('B'), led), count_change,
                            &led_changes);

    /* The button on PD2: open (high, the pull-up) but while pressed. */
    avr_irq_t *button = avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('D'), 2);
    if (button) /* an ATtiny85 has no port D */
        avr_raise_irq(button, 1);
    int pressed = 0;

    const uint32_t entry = o.measure ? symbol_address(&firmware, o.measure) : 0;
    int measuring = 0, measured = 0;
    avr_cycle_count_t start = 0;
    uint16_t entry_sp = 0, lowest_sp = 0;
    for (;;) {
        const int state = avr_run(avr);
        if (state == cpu_Done || (o.run && avr->cycle >= o.run))
            break;
        if (state == cpu_Crashed)
            fail("the firmware crashed", NULL);
        if (avr->cycle > o.cycles)
            fail("the firmware did not finish within the cycle limit", NULL);
        if (o.press_count && button) {
            const double now = (double)avr->cycle / avr->frequency;
            int down = 0;
            for (int p = 0; p < o.press_count; p++)
                down |= now >= o.presses[p] && now < o.presses[p] + 0.1;
            if (down != pressed)
                avr_raise_irq(button, !(pressed = down));
        }
        if (o.measure && !measured) {
            const uint16_t sp = _avr_sp_get(avr);
            if (!measuring && avr->pc == entry) {
                measuring = 1;
                start = avr->cycle;
                entry_sp = lowest_sp = sp;
            } else if (measuring && sp < lowest_sp) {
                lowest_sp = sp;
            } else if (measuring && sp > entry_sp) { /* returned */
                measured = 1;
                fprintf(stderr, "%s: %llu cycles, %u bytes of stack\n", o.measure,
                        (unsigned long long)(avr->cycle - start), entry_sp - lowest_sp + 2u);
            }
        }
    }
    if (o.measure && !measured)
        fail("the firmware never returned from ", o.measure);
    fprintf(stderr, "PB%d changed %u times\n", led, (unsigned)led_changes);
    const int st = is(&o, "st7920");
    if (modelled(&o) && (o.spi || st || is(&o, "pcd8544") || is(&o, "uc1701")))
        fprintf(stderr, "%s SPI clock: %lu Hz\n", st ? "ST7920" : pagepanel.name,
                st ? st7920.spi_clock : pagepanel.spi_clock);
    if (uart)
        fclose(uart);
    const char *fault = !modelled(&o) ? NULL
                        : st          ? st7920_check(&st7920)
                                      : pagepanel_check(&pagepanel);
    if (fault)
        fail("the panel saw a fault: ", fault);
    if (on_usi(&o) && usi_check(&usi))
        fail("the USI's bus saw a fault: ", usi_check(&usi));
    if (on_usi(&o) && usi.spi_clock)
        fprintf(stderr, "USI SPI clock: %lu Hz\n", usi.spi_clock);
    if (on_usi(&o) && usi.scl_period_ns)
        fprintf(stderr, "USI I2C SCL at the least: low %.0f ns, high %.0f ns, period %.0f ns\n",
                usi.scl_low_ns, usi.scl_high_ns, usi.scl_period_ns);
    write_glass(&o);
    if (o.text)
        write_text(&o);
    return 0;
}
