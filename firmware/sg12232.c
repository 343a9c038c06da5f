/* The SG12232 driver: reset, initialisation and page writes over the ported bus.
 *
 * Timing. The Epson SED1520 manual: while a controller executes a command or resets, its status
 * reads Busy = 1 and "no new command will be accepted": a command sent then is lost, so a display
 * on sent too early leaves a half blank. The figures used here, each with its margin:
 *  - RES low for 1 ms, as u8g2's SED1520 driver holds it: far beyond the short pulse the chip
 *    needs, and it costs nothing once at start-up.
 *  - 5 ms after RES rises and after the reset command before the next command. The manual gives
 *    the reset only as a busy time to be polled; u8g2 waits milliseconds. We assume a reset takes
 *    at most 1 ms (the simulated panel of the tests is held to that) and wait five times as long.
 *  - 1 us from one write cycle to the next (the manual's write cycle time tCYC for the 68-family
 *    interface at 5 V); the port keeps it, the driver does not count it.
 * With SG12232_BUSY_POLL the driver reads the busy flag instead, and gives up after 10 ms. */
#include "sg12232.h"

#define SG12232_RES_LOW_US 1000u
#define SG12232_RESET_WAIT_US 5000u
#define SG12232_READY_LIMIT_US 10000u

#if SG12232_RUNTIME_OPTIONS
static uint8_t inverted_mapping = SG12232_MAPPING == SG12232_MAPPING_INVERTED;
static uint8_t busy_poll = SG12232_BUSY_POLL;
void sg12232_set_options(uint8_t mapping, uint8_t poll) {
    inverted_mapping = mapping == SG12232_MAPPING_INVERTED;
    busy_poll = poll != 0;
}
#define SG12232_INVERTED inverted_mapping
#define SG12232_POLLING busy_poll
#else
#define SG12232_INVERTED (SG12232_MAPPING == SG12232_MAPPING_INVERTED)
#define SG12232_POLLING SG12232_BUSY_POLL
#endif

/* The first RAM column of a half: 0 on a normal module, 80 - 61 = 19 on an inverted one. */
#define SG12232_FIRST_COLUMN \
    (SG12232_INVERTED ? (uint8_t)(SG12232_RAM_COLUMNS - SG12232_PAGE_COLUMNS) : 0u)

/* With the busy poll: waits until the controller is neither busy nor resetting, at most
 * `limit_us`; 0 when it is ready. Without it: waits `fixed_us` and trusts the figures above. */
static int wait_ready(uint8_t chip, uint16_t limit_us, uint16_t fixed_us) {
#if SG12232_BUSY_POLL || SG12232_RUNTIME_OPTIONS
    if (SG12232_POLLING) {
        uint16_t waited;
        for (waited = 0; waited < limit_us; ++waited) {
            if ((sg12232_port_status(chip) & (SED1520_STATUS_BUSY | SED1520_STATUS_RESET)) == 0)
                return 0;
            sg12232_port_delay_us(1);
        }
        return -1;
    }
#else
    (void)chip;
    (void)limit_us;
#endif
    if (fixed_us > 0) sg12232_port_delay_us(fixed_us);
    return 0;
}

static int command(uint8_t chip, uint8_t c) {
    const int ready = wait_ready(chip, SG12232_READY_LIMIT_US, 0);
    sg12232_port_command(chip, c);
    return ready;
}

static void data(uint8_t chip, uint8_t d) {
    (void)wait_ready(chip, SG12232_READY_LIMIT_US, 0);
    sg12232_port_data(chip, d);
}

static void address(uint8_t chip, uint8_t page, uint8_t column) {
    (void)command(chip, (uint8_t)(SED1520_PAGE_SET | (page & 3u)));
    (void)command(chip, (uint8_t)(SED1520_COLUMN_SET | column));
}

int sg12232_init(void) {
    uint8_t dead[2] = {0, 0}; /* a controller that never became ready is left alone */
    uint8_t chip;
    uint8_t page;
    uint8_t column;
    sg12232_port_res(0);
    sg12232_port_delay_us(SG12232_RES_LOW_US);
    sg12232_port_res(1);
    /* RES rising reset both controllers at once: one wait covers both. */
    for (chip = 0; chip < 2u; ++chip)
        if (wait_ready(chip, SG12232_READY_LIMIT_US, chip == 0 ? SG12232_RESET_WAIT_US : 0) != 0)
            dead[chip] = 1;
    for (chip = 0; chip < 2u; ++chip) {
        if (dead[chip]) continue;
        (void)command(chip, SED1520_RESET);
        if (wait_ready(chip, SG12232_READY_LIMIT_US, SG12232_RESET_WAIT_US) != 0) {
            dead[chip] = 1;
            continue;
        }
        (void)command(chip, SED1520_DISPLAY_OFF);
        (void)command(chip, SED1520_DUTY_32);
        (void)command(chip, SG12232_INVERTED ? SED1520_ADC_REVERSE : SED1520_ADC_NORMAL);
        (void)command(chip, SED1520_STATIC_OFF);
        (void)command(chip, SED1520_START_LINE | 0u);
        /* All 80 columns, the ones no segment shows included: whatever the mapping. */
        for (page = 0; page < SG12232_PAGES; ++page) {
            address(chip, page, 0);
            for (column = 0; column < SG12232_RAM_COLUMNS; ++column) data(chip, 0);
        }
    }
    for (chip = 0; chip < 2u; ++chip)
        if (!dead[chip] && command(chip, SED1520_DISPLAY_ON) != 0) dead[chip] = 1;
    return dead[0] || dead[1] ? -1 : 0;
}

void sg12232_write_page(uint8_t chip, uint8_t page, const uint8_t* bytes) {
    uint8_t column;
    address(chip, page, SG12232_FIRST_COLUMN);
    for (column = 0; column < SG12232_PAGE_COLUMNS; ++column) data(chip, bytes[column]);
}

void sg12232_show(const uint8_t* frame) {
    uint8_t chip;
    uint8_t page;
    for (chip = 0; chip < 2u; ++chip)
        for (page = 0; page < SG12232_PAGES; ++page)
            sg12232_write_page(chip, page,
                               frame + chip * SG12232_HALF_BYTES + page * SG12232_PAGE_COLUMNS);
}
