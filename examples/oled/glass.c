/*
 * oledglass: runs SSD1306 firmware for the ATmega328P in simavr, with
 * simavr's virtual SSD1306 on the chip's I2C (TWI) or SPI bus, until the
 * firmware sleeps with interrupts off, and writes what the panel's glass
 * then shows as a PPM picture: lit pixels light, the glass dark.
 *
 *   oledglass [-spi] [-rows 32] [-scale N] [-cycles N] [-measure FUNCTION]
 *             firmware.elf glass.ppm
 *
 * The glass is the module as it is usually mounted: the usual power-up
 * sequence (segment remap to column 127, COM scan from COM[N-1]) shows
 * RAM column 0 at the left and RAM row 0 at the top. Display on/off,
 * inverse display, segment remap and COM scan direction act on it as the
 * SSD1306 datasheet says.
 *
 * -measure reports on standard error the cycles and stack bytes of the
 * first call of FUNCTION. The virtual panel prints on standard output.
 */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sim_avr.h"
#include "sim_core.h"
#include "sim_elf.h"
#include "ssd1306_virt.h"

static const unsigned char lit_colour[3] = {0xE0, 0xF0, 0xFF};
static const unsigned char dark_colour[3] = {0x10, 0x14, 0x18};

struct options {
    int spi;
    int rows;
    int scale;
    unsigned long long cycles;
    const char *measure;
    const char *firmware;
    const char *glass;
};

static void fail(const char *what, const char *detail)
{
    fprintf(stderr, "oledglass: %s%s\n", what, detail ? detail : "");
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
    struct options o = {0, 64, 1, 100000000ULL, NULL, NULL, NULL};
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; i++) {
        if (!strcmp(argv[i], "-spi"))
            o.spi = 1;
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
    if (argc - i != 2 || (o.rows != 64 && o.rows != 32) || o.scale < 1 || o.scale > 64)
        fail("usage: oledglass [-spi] [-rows 32|64] [-scale N] [-cycles N] [-measure FUNCTION] "
             "firmware.elf glass.ppm",
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

/* Whether the glass is lit at column x, row y (0, 0 at the top left). */
static int lit(ssd1306_t *panel, int rows, int x, int y)
{
    if (!ssd1306_get_flag(panel, SSD1306_FLAG_DISPLAY_ON))
        return 0;
    /* SEG0 drives the rightmost column of the glass, COM0 its bottom row. */
    const int column = ssd1306_get_flag(panel, SSD1306_FLAG_SEGMENT_REMAP_0) ? 127 - x : x;
    const int row = ssd1306_get_flag(panel, SSD1306_FLAG_COM_SCAN_NORMAL) ? rows - 1 - y : y;
    const int on = panel->vram[row / 8][column] >> (row % 8) & 1;
    return on ^ ssd1306_get_flag(panel, SSD1306_FLAG_DISPLAY_INVERTED);
}

static void write_glass(ssd1306_t *panel, const struct options *o)
{
    FILE *out = fopen(o->glass, "wb");
    if (!out)
        fail("cannot write ", o->glass);
    fprintf(out, "P6\n%d %d\n255\n", 128 * o->scale, o->rows * o->scale);
    for (int y = 0; y < o->rows * o->scale; y++)
        for (int x = 0; x < 128 * o->scale; x++)
            fwrite(lit(panel, o->rows, x / o->scale, y / o->scale) ? lit_colour : dark_colour, 1, 3,
                   out);
    if (fclose(out) != 0)
        fail("cannot write ", o->glass);
}

int main(int argc, char **argv)
{
    const struct options o = parse(argc, argv);
    avr_global_logger_set(quiet_logger);

    static elf_firmware_t firmware;
    if (elf_read_firmware(o.firmware, &firmware) != 0)
        fail("cannot read the firmware ", o.firmware);
    avr_t *avr = avr_make_mcu_by_name("atmega328p");
    if (!avr || avr_init(avr) != 0)
        fail("no ATmega328P in this simavr", NULL);
    avr_load_firmware(avr, &firmware);
    avr->frequency = 16000000;

    static ssd1306_t panel;
    ssd1306_init(avr, &panel, 128, o.rows);
    /* PB0 is the reset pin on both buses: an I2C firmware never drives it. */
    ssd1306_wiring_t wiring = {{'B', 2}, {'B', 1}, {'B', 0}};
    if (o.spi)
        ssd1306_connect(&panel, &wiring);
    else
        ssd1306_connect_twi(&panel, &wiring);

    const uint32_t entry = o.measure ? symbol_address(&firmware, o.measure) : 0;
    int measuring = 0, measured = 0;
    avr_cycle_count_t start = 0;
    uint16_t entry_sp = 0, lowest_sp = 0;
    for (;;) {
        const int state = avr_run(avr);
        if (state == cpu_Done)
            break;
        if (state == cpu_Crashed)
            fail("the firmware crashed", NULL);
        if (avr->cycle > o.cycles)
            fail("the firmware did not finish within the cycle limit", NULL);
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
    write_glass(&panel, &o);
    return 0;
}
