/* Reads and page writes of the 24C512 over the ported I2C bus, with retries and bus recovery. */
#include "dotreel_eeprom.h"

/* The address phase of a random read or a write: START, device + write, address high, low. */
static dotreel_i2c_status begin(uint8_t device, uint16_t address) {
    dotreel_i2c_status s = dotreel_port_i2c_start((uint8_t)(device << 1));
    if (s == DOTREEL_I2C_OK) s = dotreel_port_i2c_write((uint8_t)(address >> 8));
    if (s == DOTREEL_I2C_OK) s = dotreel_port_i2c_write((uint8_t)(address & 0xFFu));
    return s;
}

static dotreel_i2c_status read_once(uint8_t device, uint16_t address, uint8_t* buffer,
                                    uint16_t len) {
    uint16_t i;
    dotreel_i2c_status s = begin(device, address);
    if (s == DOTREEL_I2C_OK) s = dotreel_port_i2c_start((uint8_t)((device << 1) | 1u));
    for (i = 0; s == DOTREEL_I2C_OK && i < len; ++i)
        s = dotreel_port_i2c_read(&buffer[i], (uint8_t)(i + 1u < len));
    dotreel_port_i2c_stop();
    return s;
}

dotreel_i2c_status dotreel_eeprom_read(uint8_t device, uint16_t address, uint8_t* buffer,
                                       uint16_t len) {
    dotreel_i2c_status s = DOTREEL_I2C_BAD_REQUEST;
    uint8_t try_count;
    if (len == 0) return s;
    for (try_count = 0; try_count < DOTREEL_EEPROM_TRIES; ++try_count) {
        if (try_count > 0) {
            /* A chip in its write cycle NACKs for up to 5 ms; a stuck bus needs clocking free. */
            const dotreel_i2c_status freed = dotreel_port_i2c_recover();
            if (freed != DOTREEL_I2C_OK) return freed;
            dotreel_port_delay_us(DOTREEL_EEPROM_POLL_GAP_US);
        }
        s = read_once(device, address, buffer, len);
        if (s == DOTREEL_I2C_OK) break;
    }
    return s;
}

dotreel_i2c_status dotreel_eeprom_wait_ready(uint8_t device) {
    uint16_t waited;
    for (waited = 0; waited <= DOTREEL_EEPROM_WRITE_LIMIT_US;
         waited = (uint16_t)(waited + DOTREEL_EEPROM_POLL_GAP_US)) {
        const dotreel_i2c_status s = dotreel_port_i2c_start((uint8_t)(device << 1));
        dotreel_port_i2c_stop();
        if (s == DOTREEL_I2C_OK) return s;
        if (s != DOTREEL_I2C_NACK) return s;
        dotreel_port_delay_us(DOTREEL_EEPROM_POLL_GAP_US);
    }
    return DOTREEL_I2C_WRITE_TIMEOUT;
}

dotreel_i2c_status dotreel_eeprom_write_page(uint8_t device, uint16_t address, const uint8_t* data,
                                             uint8_t len) {
    dotreel_i2c_status s;
    uint8_t i;
    if (len == 0 || len > DOTREEL_EEPROM_PAGE_BYTES ||
        (address / DOTREEL_EEPROM_PAGE_BYTES) !=
            (uint16_t)(address + len - 1u) / DOTREEL_EEPROM_PAGE_BYTES ||
        (uint32_t)address + len > 65536UL)
        return DOTREEL_I2C_BAD_REQUEST;
    s = begin(device, address);
    for (i = 0; s == DOTREEL_I2C_OK && i < len; ++i) s = dotreel_port_i2c_write(data[i]);
    dotreel_port_i2c_stop();
    /* The write cycle starts at the STOP; the chip NACKs its address until it is done. */
    if (s == DOTREEL_I2C_OK) s = dotreel_eeprom_wait_ready(device);
    return s;
}
