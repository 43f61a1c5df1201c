/* Page bytes: a picture's rows of horizontal bytes turned into the
 * controller's pages of 8 vertical pixels, an 8 x 8 block at a time, in
 * registers, for the buses that send a byte at a time. */
#include "tesselon_driver.h"

/* Moves a picture row into 8 page bytes p0 to p7: each page byte's bits
 * move down one, and the row's pixels go in at their top bits, the
 * leftmost pixel's into p0; on the chip two instructions a pixel, through
 * the carry. */
#define ROW_IN_ASM                                                                                 \
    "lsl %[row]\n\tror %[p0]\n\tlsl %[row]\n\tror %[p1]\n\tlsl %[row]\n\tror %[p2]\n\t"            \
    "lsl %[row]\n\tror %[p3]\n\tlsl %[row]\n\tror %[p4]\n\tlsl %[row]\n\tror %[p5]\n\t"            \
    "lsl %[row]\n\tror %[p6]\n\tlsl %[row]\n\tror %[p7]\n\t"
#define PAGE_OPERANDS                                                                              \
    [p0] "+r"(p0), [p1] "+r"(p1), [p2] "+r"(p2), [p3] "+r"(p3), [p4] "+r"(p4), [p5] "+r"(p5),      \
        [p6] "+r"(p6), [p7] "+r"(p7)
#define PIXEL_IN(row, p) (p = (uint8_t)(p >> 1 | (row & 0x80)), row = (uint8_t)(row << 1))
#define ROW_IN_C(row)                                                                              \
    (PIXEL_IN(row, p0), PIXEL_IN(row, p1), PIXEL_IN(row, p2), PIXEL_IN(row, p3),                   \
     PIXEL_IN(row, p4), PIXEL_IN(row, p5), PIXEL_IN(row, p6), PIXEL_IN(row, p7))

/*
 * The 8 page bytes of the line's byte column at byte, the leftmost pixel's
 * first, to out: its rows go in from the top, then dark rows, 8 - from in
 * all, so that they end at the page's bits from..to - 1 and the bits above
 * and below them are dark. Each flash byte is read once, and the page bytes
 * are built in registers: on the chip 28 cycles a row.
 */
static void __attribute__((noinline))
page_bytes(const td_page_line *line, td_flash_place byte, uint8_t *out)
{
    const uint8_t step = line->step;
    uint8_t count = line->to - line->from, rows = 8 - line->from;
    uint8_t p0 = 0, p1 = 0, p2 = 0, p3 = 0, p4 = 0, p5 = 0, p6 = 0, p7 = 0, row;
#if defined(__AVR__) && !TD_FAR_FLASH
    __asm__ __volatile__("1: clr %[row]\n\t"
                         "cp %[count], __zero_reg__\n\t"
                         "breq 2f\n\t"
                         "lpm %[row], Z\n\t"
                         "add %A[byte], %[step]\n\t"
                         "adc %B[byte], __zero_reg__\n\t"
                         "dec %[count]\n\t"
                         "2: " ROW_IN_ASM "dec %[rows]\n\t"
                         "brne 1b\n\t"
                         "st %a[out]+, %[p0]\n\tst %a[out]+, %[p1]\n\tst %a[out]+, %[p2]\n\t"
                         "st %a[out]+, %[p3]\n\tst %a[out]+, %[p4]\n\tst %a[out]+, %[p5]\n\t"
                         "st %a[out]+, %[p6]\n\tst %a[out], %[p7]"
                         : [row] "=&r"(row), [byte] "+z"(byte), [count] "+r"(count),
                           [rows] "+r"(rows), [out] "+x"(out), PAGE_OPERANDS
                         : [step] "r"(step)
                         : "memory");
#else
    for (; rows; rows--) {
        row = 0;
        if (count) {
            row = TD_FLASH_BYTE(byte);
            byte += step;
            count--;
        }
        ROW_IN_C(row);
    }
    *out++ = p0, *out++ = p1, *out++ = p2, *out++ = p3;
    *out++ = p4, *out++ = p5, *out++ = p6, *out = p7;
#endif
}

void td_send_line_in_blocks(tesselon_display *display, td_page_line *line, td_send_fn send)
{
    uint8_t *const out = line->out;
    td_flash_place column = line->bytes;
    uint8_t first = line->skip, columns = line->columns;
    const uint8_t ink = td_ink(display, line);
    for (;;) {
        page_bytes(line, column++, out);
        if (ink) /* invert mode, where view.c is linked */
            for (uint8_t i = 0; i < 8; i++)
                out[i] ^= ink;
        uint8_t count = 8 - first;
        if (count > columns)
            count = columns;
        send(display, out + first, count, 0);
        if (!(columns -= count))
            return;
        first = 0;
    }
}
