/* The 24C512 EEPROMs on an I2C bus: block reads and page writes that always return, with a
 * status code, whatever the bus does; the player reads its frames through them and a loader
 * writes them through the same calls.
 *
 * What the bus can do wrong, and what is done about it:
 *  - a chip that does not answer its address (absent, or busy in its write cycle): NACK;
 *  - a bus controller that never finishes (SDA held low by a chip that was cut off mid-read when
 *    the board reset, a missing pull-up): every wait of the port has a time limit (TIMEOUT), and
 *    the bus is recovered: SCL clocked up to 9 times until SDA is released, then a STOP
 *    (BUS_STUCK when SDA stays low);
 *  - a read that fails is tried again, DOTREEL_EEPROM_TRIES times in all, recovering the bus
 *    before each new try.
 *
 * C99, no dynamic memory, no floating point. */
#ifndef DOTREEL_EEPROM_H
#define DOTREEL_EEPROM_H

#include <stdint.h>

typedef enum {
    DOTREEL_I2C_OK = 0,
    DOTREEL_I2C_NACK = 2,          /* no chip acknowledged its address or a byte */
    DOTREEL_I2C_BUS_STUCK = 3,     /* SDA still low after 9 clocks: the bus cannot be used */
    DOTREEL_I2C_TIMEOUT = 4,       /* the bus controller did not finish a step in time */
    DOTREEL_I2C_WRITE_TIMEOUT = 5, /* the chip did not finish its write cycle in time */
    DOTREEL_I2C_BAD_REQUEST = 6    /* length 0, or a page write over 128 bytes or two pages */
} dotreel_i2c_status;

#define DOTREEL_EEPROM_PAGE_BYTES 128u
#define DOTREEL_EEPROM_TRIES 3u
/* The 24C512's write cycle takes at most 5 ms (Microchip DS21754, tWC); a page write polls for
 * the chip's acknowledge for up to twice that. */
#define DOTREEL_EEPROM_WRITE_LIMIT_US 10000u
#define DOTREEL_EEPROM_POLL_GAP_US 100u

/* --- Port these for the board ----------------------------------------------------------------
 * Each returns within a bounded time, whatever the bus does. */

/* START (or a repeated START after an unfinished transfer), then the address byte (7-bit device
 * address << 1 | read). OK when acknowledged, NACK when not, TIMEOUT when the controller did
 * not get through. */
dotreel_i2c_status dotreel_port_i2c_start(uint8_t address_byte);
/* One byte out: OK when acknowledged. */
dotreel_i2c_status dotreel_port_i2c_write(uint8_t byte);
/* One byte in, acknowledged when `ack` (more to come), not on the last. */
dotreel_i2c_status dotreel_port_i2c_read(uint8_t* byte, uint8_t ack);
/* STOP; frees the bus. */
void dotreel_port_i2c_stop(void);
/* Bus recovery: with the controller off, clock SCL up to 9 times until SDA reads high, then
 * make a STOP, and start the controller again. OK when SDA is free, else BUS_STUCK. */
dotreel_i2c_status dotreel_port_i2c_recover(void);
void dotreel_port_delay_us(uint16_t us);

/* --- The EEPROM side -------------------------------------------------------------------------- */

/* A sequential read of `len` bytes from `address` on of the chip at 7-bit address `device`
 * (a 24C512 wraps to its address 0 after 65535: keep reads within the chip). Tries
 * DOTREEL_EEPROM_TRIES times; the status of the last try. */
dotreel_i2c_status dotreel_eeprom_read(uint8_t device, uint16_t address, uint8_t* buffer,
                                       uint16_t len);

/* A page write of 1..128 bytes that stay within one 128-byte page (address / 128 the same for
 * the first and the last byte), then acknowledge polling until the chip has finished its write
 * cycle, at most DOTREEL_EEPROM_WRITE_LIMIT_US. Not retried: a write that failed is reported
 * and the caller decides. */
dotreel_i2c_status dotreel_eeprom_write_page(uint8_t device, uint16_t address, const uint8_t* data,
                                             uint8_t len);

/* Acknowledge polling alone: OK as soon as the chip answers its address, WRITE_TIMEOUT when it
 * has not within DOTREEL_EEPROM_WRITE_LIMIT_US. */
dotreel_i2c_status dotreel_eeprom_wait_ready(uint8_t device);

#endif /* DOTREEL_EEPROM_H */
