/* The SG12232 driver: initialisation and page writes over the ported bus. */
#include "sg12232.h"

/* The SED1520 needs no more than a few microseconds after a reset command before it takes the
 * next one; 50 us leaves a wide margin at no real cost, since it happens once. */
#define SG12232_RESET_WAIT_US 50u

void sg12232_init(void) {
    uint8_t chip;
    for (chip = 0; chip < 2u; ++chip) {
        sg12232_port_command(chip, SED1520_RESET);
        sg12232_port_delay_us(SG12232_RESET_WAIT_US);
        sg12232_port_command(chip, SED1520_DISPLAY_OFF);
        sg12232_port_command(chip, SED1520_DUTY_32);
        sg12232_port_command(chip, SED1520_ADC_NORMAL);
        sg12232_port_command(chip, SED1520_STATIC_OFF);
        sg12232_port_command(chip, SED1520_START_LINE | 0u);
        sg12232_port_command(chip, SED1520_DISPLAY_ON);
    }
}

void sg12232_write_page(uint8_t chip, uint8_t page, const uint8_t* bytes) {
    uint8_t column;
    sg12232_port_command(chip, (uint8_t)(SED1520_PAGE_SET | (page & 3u)));
    sg12232_port_command(chip, SED1520_COLUMN_SET | 0u);
    for (column = 0; column < SG12232_PAGE_COLUMNS; ++column)
        sg12232_port_data(chip, bytes[column]);
}

void sg12232_show(const uint8_t* frame) {
    uint8_t chip;
    uint8_t page;
    for (chip = 0; chip < 2u; ++chip)
        for (page = 0; page < SG12232_PAGES; ++page)
            sg12232_write_page(chip, page,
                               frame + chip * SG12232_HALF_BYTES + page * SG12232_PAGE_COLUMNS);
}
