/* Driver for the SG12232 122 x 32 dot LCD: two SED1520-type controllers, the left one (chip 0,
 * strobe E1) for screen columns 0..60 and the right one (chip 1, strobe E2) for 61..121, each
 * with 4 pages of 8 rows, bit 0 at the top, and a column address that moves on by one after each
 * data write.
 *
 * A frame is 488 bytes in the order the editor and dotreel-tool store it:
 *   byte k = half * 244 + page * 61 + columnInHalf   (half = chip 0..1, page 0..3, column 0..60)
 * so a frame is sent as it stands: 61 bytes per page, pages 0..3 of chip 0, then of chip 1.
 *
 * Module variants. Each controller has 80 RAM columns for its 80 segment outputs, of which a
 * 122 x 32 module wires 61. Modules come two ways (see SG12232_MAPPING):
 *   normal    ADC select 0xA0 (forward), screen column c of a half at RAM column c (0..60);
 *   inverted  ADC select 0xA1 (reverse), screen column c of a half at RAM column 19 + c (19..79),
 *             for modules whose halves are mounted with the segments running the other way.
 * The wrong choice shows each half mirrored.
 *
 * C99, no dynamic memory, no floating point. The bus is reached only through the port functions
 * below, which the user writes for the board. */
#ifndef SG12232_H
#define SG12232_H

#include <stdint.h>

#define SG12232_FRAME_BYTES 488u
#define SG12232_HALF_BYTES 244u
#define SG12232_PAGES 4u
#define SG12232_PAGE_COLUMNS 61u
#define SG12232_RAM_COLUMNS 80u

/* The SED1520 command set. */
#define SED1520_DISPLAY_OFF 0xAEu
#define SED1520_DISPLAY_ON 0xAFu
#define SED1520_START_LINE 0xC0u /* | line 0..31 */
#define SED1520_PAGE_SET 0xB8u   /* | page 0..3 */
#define SED1520_COLUMN_SET 0x00u /* | column 0..79 */
#define SED1520_ADC_NORMAL 0xA0u
#define SED1520_ADC_REVERSE 0xA1u
#define SED1520_STATIC_OFF 0xA4u
#define SED1520_STATIC_ON 0xA5u
#define SED1520_DUTY_16 0xA8u
#define SED1520_DUTY_32 0xA9u
#define SED1520_RMW_BEGIN 0xE0u
#define SED1520_RMW_END 0xEEu
#define SED1520_RESET 0xE2u

/* The status byte (a read with A0 low). */
#define SED1520_STATUS_BUSY 0x80u  /* executing a command or resetting: nothing is accepted */
#define SED1520_STATUS_ADC 0x40u   /* 1: forward (0xA0), 0: reverse */
#define SED1520_STATUS_OFF 0x20u   /* 1: display off */
#define SED1520_STATUS_RESET 0x10u /* 1: resetting */

/* --- Build options -------------------------------------------------------------------------- */
#define SG12232_MAPPING_NORMAL 0
#define SG12232_MAPPING_INVERTED 1
#ifndef SG12232_MAPPING
#define SG12232_MAPPING SG12232_MAPPING_NORMAL
#endif
/* 1 where R/W is wired to the board: the driver reads the busy flag before every write instead of
 * relying on fixed waits, and sg12232_init reports a controller that never becomes ready. */
#ifndef SG12232_BUSY_POLL
#define SG12232_BUSY_POLL 0
#endif
/* The host build (tests) sets SG12232_RUNTIME_OPTIONS to 1: both options are then chosen at run
 * time with sg12232_set_options, and the port must provide sg12232_port_status. */
#ifndef SG12232_RUNTIME_OPTIONS
#define SG12232_RUNTIME_OPTIONS 0
#endif
#if SG12232_RUNTIME_OPTIONS
void sg12232_set_options(uint8_t mapping, uint8_t busy_poll);
#endif

/* --- Port these for the board --------------------------------------------------------------
 * chip 0 is the left controller (E1), chip 1 the right one (E2). A command goes with A0 low, a
 * data byte with A0 high, R/W low. Without the busy poll each call must leave the controller
 * ready for the next one: at least the write cycle time (1 us) from one E strobe to the next. */
void sg12232_port_command(uint8_t chip, uint8_t command);
void sg12232_port_data(uint8_t chip, uint8_t data);
void sg12232_port_delay_us(uint16_t us);
/* The RES line of both controllers: 0 low, 1 high. Leave it empty where RES is not wired to the
 * board (an RC reset on the module); the driver's reset command and waits still apply. */
void sg12232_port_res(uint8_t high);
#if SG12232_BUSY_POLL || SG12232_RUNTIME_OPTIONS
/* Only with the busy poll: a status read of one controller (A0 low, R/W high, E strobed). */
uint8_t sg12232_port_status(uint8_t chip);
#endif

/* Resets both controllers (RES, then the reset command), sets 1/32 duty, the module's column
 * order, static drive off, start line 0, clears the whole display RAM of both, and only then
 * switches the display on, so no power-up garbage is ever shown. 0 on success; -1 when the busy
 * poll found a controller that never became ready (nothing else can be detected). */
int sg12232_init(void);

/* Writes one 61-byte page row of one controller: bytes[c] is column c, bit 0 the top row. */
void sg12232_write_page(uint8_t chip, uint8_t page, const uint8_t* bytes);

/* Shows a whole 488-byte frame held in memory. */
void sg12232_show(const uint8_t* frame);

#endif /* SG12232_H */
