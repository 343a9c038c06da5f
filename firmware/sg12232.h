/* Driver for the SG12232 122 x 32 dot LCD: two SED1520-type controllers, the left one (chip 0,
 * strobe E1) for screen columns 0..60 and the right one (chip 1, strobe E2) for 61..121, each
 * with 4 pages of 8 rows, bit 0 at the top, and a column address that moves on by one after each
 * data write.
 *
 * A frame is 488 bytes in the order the editor and dotreel-tool store it:
 *   byte k = half * 244 + page * 61 + columnInHalf   (half = chip 0..1, page 0..3, column 0..60)
 * so a frame is sent as it stands: 61 bytes per page, pages 0..3 of chip 0, then of chip 1.
 *
 * C99, no dynamic memory, no floating point. The bus is reached only through the three port
 * functions below, which the user writes for the board. */
#ifndef SG12232_H
#define SG12232_H

#include <stdint.h>

#define SG12232_FRAME_BYTES 488u
#define SG12232_HALF_BYTES 244u
#define SG12232_PAGES 4u
#define SG12232_PAGE_COLUMNS 61u

/* The SED1520 commands the driver sends. */
#define SED1520_DISPLAY_OFF 0xAEu
#define SED1520_DISPLAY_ON 0xAFu
#define SED1520_START_LINE 0xC0u /* | line 0..31 */
#define SED1520_PAGE_SET 0xB8u   /* | page 0..3 */
#define SED1520_COLUMN_SET 0x00u /* | column 0..79 */
#define SED1520_ADC_NORMAL 0xA0u
#define SED1520_STATIC_OFF 0xA4u
#define SED1520_DUTY_32 0xA9u
#define SED1520_RESET 0xE2u

/* --- Port these for the board --------------------------------------------------------------
 * chip 0 is the left controller (E1), chip 1 the right one (E2). A command goes with A0 low, a
 * data byte with A0 high; R/W stays low (the driver never reads the panel). Each call must
 * leave the controller ready for the next one. */
void sg12232_port_command(uint8_t chip, uint8_t command);
void sg12232_port_data(uint8_t chip, uint8_t data);
void sg12232_port_delay_us(uint16_t us);

/* Resets both controllers by command, sets 1/32 duty, normal column order, static drive off,
 * start line 0, and switches the display on. The board's hardware reset, if it has one, comes
 * first (in the port's own set-up). */
void sg12232_init(void);

/* Writes one 61-byte page row of one controller: bytes[c] is column c, bit 0 the top row. */
void sg12232_write_page(uint8_t chip, uint8_t page, const uint8_t* bytes);

/* Shows a whole 488-byte frame held in memory. */
void sg12232_show(const uint8_t* frame);

#endif /* SG12232_H */
