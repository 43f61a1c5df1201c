/* How a display is viewed: turned by 180 degrees, its glass on other RAM
 * columns, drawn inverted. Linked only where a sketch calls one of these
 * (the library is an archive); the core then asks here for the glass's
 * column and the ink instead of its own weak answers. The displays whose
 * view is not their panel's own are kept in a table of two. */
#include "tesselon_driver.h"

#define VIEWED_DISPLAYS 2
#define VIEW_COLUMN 0x07   /* the RAM column at the glass's left edge, as turned now */
#define VIEW_FLIPPED 0x08  /* turned by 180 degrees */
#define VIEW_INVERTED 0x80 /* invert mode */

typedef struct viewed {
    const tesselon_display *display; /* NULL: a free room */
    uint8_t view;
} viewed;

static viewed views[VIEWED_DISPLAYS];

static viewed *viewed_of(const tesselon_display *display)
{
    for (uint8_t i = 0; i < VIEWED_DISPLAYS; i++)
        if (views[i].display == display)
            return &views[i];
    return 0;
}

/* The panel's own view: upright at its first column, not inverted. */
static uint8_t own_view(const tesselon_display *display)
{
    return pgm_read_byte(&display->panel->first_column);
}

static uint8_t view_of(const tesselon_display *display)
{
    const viewed *room = viewed_of(display);
    return room ? room->view : own_view(display);
}

uint8_t td_glass_column(const tesselon_display *display)
{
    return view_of(display) & VIEW_COLUMN;
}

uint8_t td_ink(const tesselon_display *display, const td_page_line *line)
{
    if (line && !line->bytes) /* cleared */
        return 0;
    return view_of(display) & VIEW_INVERTED ? 0xFF : 0;
}

void td_view_begun(tesselon_display *display)
{
    viewed *room = viewed_of(display);
    if (room)
        room->display = 0;
}

/* Where the display's view will be kept: its room, or a free one; none
 * needed for the panel's own view. With no room left the call is refused
 * (NULL). */
static viewed *room_for(tesselon_display *display, uint8_t view)
{
    viewed *room = viewed_of(display);
    if (!room && view != own_view(display)) {
        room = viewed_of(0);
        if (!room)
            td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
    }
    return room;
}

/* Keeps view as the display's, in the room room_for found. */
static void keep(tesselon_display *display, viewed *room, uint8_t view)
{
    if (!room)
        return;
    room->display = view == own_view(display) ? 0 : display;
    room->view = view;
}

uint8_t tesselon_display_invert_mode(tesselon_display *display, uint8_t on)
{
    if (td_refused(display, 0))
        return td_outcome(display);
    const uint8_t view = (view_of(display) & ~VIEW_INVERTED) | (on ? VIEW_INVERTED : 0);
    keep(display, room_for(display, view), view);
    return td_outcome(display);
}

/* The RAM's columns beyond the glass: the largest column offset. */
static uint8_t spare_columns(const tesselon_display *display)
{
    return pgm_read_byte(&display->panel->ram_columns) - pgm_read_byte(&display->panel->columns);
}

/* The view turned as flipped says, with the offset the upright glass has. */
static uint8_t turned_view(const tesselon_display *display, uint8_t view, uint8_t offset,
                           uint8_t flipped)
{
    return (view & VIEW_INVERTED) |
           (flipped ? VIEW_FLIPPED | (spare_columns(display) - offset) : offset);
}

/* The column offset of the glass upright. */
static uint8_t upright_offset(const tesselon_display *display, uint8_t view)
{
    const uint8_t column = view & VIEW_COLUMN;
    return view & VIEW_FLIPPED ? spare_columns(display) - column : column;
}

uint8_t tesselon_display_flip(tesselon_display *display, uint8_t flipped)
{
    if (td_refused(display, 0))
        return td_outcome(display);
    const uint8_t traits = pgm_read_byte(&display->panel->controller.traits);
    if (!(traits & TD_TURNS)) { /* upright it stays */
        if (flipped)
            td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return td_outcome(display);
    }
    const uint8_t view = view_of(display),
                  turned = turned_view(display, view, upright_offset(display, view), flipped);
    viewed *room = room_for(display, turned);
    if (td_outcome(display))
        return td_outcome(display);
    /* each direction the other way round from upright */
    const uint8_t turn = flipped ? TD_UPRIGHT_SEGMENTS_REVERSED | TD_UPRIGHT_COMS_REVERSED : 0,
                  directions[2] = {(uint8_t)(0xA0 | ((traits ^ turn) & 0x01)),
                                   (uint8_t)(0xC0 | ((traits ^ turn) & 0x08))};
    td_send_commands(display, directions, 2, 0);
    if (!td_outcome(display))
        keep(display, room, turned);
    return td_outcome(display);
}

uint8_t tesselon_display_column_offset(tesselon_display *display, uint8_t column)
{
    if (td_refused(display, 0))
        return td_outcome(display);
    if (column > spare_columns(display)) {
        td_fail(display, TESSELON_DISPLAY_ARGUMENT_ERROR);
        return td_outcome(display);
    }
    const uint8_t view = view_of(display),
                  moved = turned_view(display, view, column, view & VIEW_FLIPPED);
    keep(display, room_for(display, moved), moved);
    return td_outcome(display);
}
