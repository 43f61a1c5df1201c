/*
 * Shows the picture that tesselon made on an SSD1306 OLED.
 *
 * picture.h is tesselon's output:  tesselon mypicture.bmp > picture.h
 *
 * The picture is centred unless PICTURE_X and PICTURE_Y give the panel
 * column and row of its top left pixel.
 */
#include <avr/interrupt.h>
#include <avr/pgmspace.h>
#include <avr/sleep.h>

#include "picture.h"
#include "ssd1306.h"

#ifndef PICTURE_X
#define PICTURE_X ((SSD1306_COLUMNS - (int16_t)pgm_read_byte(&bmppic[0])) / 2)
#endif
#ifndef PICTURE_Y
#define PICTURE_Y ((SSD1306_ROWS - (int16_t)pgm_read_byte(&bmppic[1])) / 2)
#endif

int main(void)
{
    ssd1306_init();
    ssd1306_draw(bmppic, PICTURE_X, PICTURE_Y);
    /* Done: the panel keeps the picture while the chip sleeps for good
     * (the simulator ends here). */
    set_sleep_mode(SLEEP_MODE_PWR_DOWN);
    cli();
    sleep_mode();
    return 0;
}
