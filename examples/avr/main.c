/*
 * Reads the picture that tesselon made back from flash and sends it over the
 * UART, as a start for your own display code.
 *
 * picture.h is tesselon's output:  tesselon mypicture.bmp > picture.h
 *
 * The picture is sent as hexadecimal text, 16 bytes a line (width, height,
 * then the rows), followed by a line "END". Replace send_picture() with
 * calls into your display driver: picture_pixel() tells, for every pixel,
 * whether it is set.
 */
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <avr/sleep.h>
#include <stdint.h>

#include "picture.h"

#define BAUD 38400UL
#include <util/setbaud.h>

static void uart_init(void)
{
    UBRR0H = UBRRH_VALUE;
    UBRR0L = UBRRL_VALUE;
#if USE_2X
    UCSR0A |= _BV(U2X0);
#else
    UCSR0A &= ~_BV(U2X0);
#endif
    UCSR0B = _BV(TXEN0);
    UCSR0C = _BV(UCSZ01) | _BV(UCSZ00); /* 8 data bits, no parity, 1 stop bit */
}

static void uart_putc(char c)
{
    loop_until_bit_is_set(UCSR0A, UDRE0);
    UDR0 = c;
}

static void uart_puthex(uint8_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    uart_putc(digits[value >> 4]);
    uart_putc(digits[value & 15]);
}

/* Width and height in pixels: the first two bytes of the array. */
static uint8_t picture_width(void) { return pgm_read_byte(&bmppic[0]); }
static uint8_t picture_height(void) { return pgm_read_byte(&bmppic[1]); }

/* Whether the pixel at column x, row y (0, 0 at the top left) is set. */
static uint8_t picture_pixel(uint8_t x, uint8_t y)
{
    uint16_t bytes_per_row = (picture_width() + 7) / 8;
    uint8_t byte = pgm_read_byte(&bmppic[2 + y * bytes_per_row + x / 8]);
    return (byte >> (7 - x % 8)) & 1;
}

static void send_picture(void)
{
    for (uint16_t i = 0; i < sizeof bmppic; i++) {
        uart_puthex(pgm_read_byte(&bmppic[i]));
        if (i % 16 == 15 || i + 1 == sizeof bmppic)
            uart_putc('\n');
    }
}

/* Counts the set pixels through picture_pixel(), as a display loop would
 * visit them. */
static uint16_t count_set_pixels(void)
{
    uint16_t count = 0;
    for (uint8_t y = 0; y < picture_height(); y++)
        for (uint8_t x = 0; x < picture_width(); x++)
            count += picture_pixel(x, y);
    return count;
}

int main(void)
{
    uart_init();
    send_picture();
    uint16_t count = count_set_pixels();
    uart_puthex(count >> 8);
    uart_puthex(count & 0xFF);
    uart_putc('\n');
    uart_putc('E');
    uart_putc('N');
    uart_putc('D');
    uart_putc('\n');
    /* Done: sleep for good (the simulator ends here). */
    cli();
    sleep_mode();
    return 0;
}
