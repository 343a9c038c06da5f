// The board's side of the firmware on the host: the port functions of the SG12232 driver and of
// the I2C bus, wired to one simulated panel and one simulated EEPROM bus, with a clock that each
// bus step moves on by the time it takes on the example's board. Include it in one file of a
// test program.
#pragma once

#include "firmware/simparts.h"

extern "C" {
#include "dotreel_player.h"
}

namespace hostboard {

inline firmwaresim::Panel* panel = nullptr;
inline firmwaresim::EepromBus* bus = nullptr;
inline firmwaresim::Ns now = 0;

// An LCD write or status read: one write cycle. An I2C byte at 400 kHz: 9 bits of 2.5 us.
constexpr firmwaresim::Ns kLcdCycleNs = 1000;
constexpr firmwaresim::Ns kI2cByteNs = 22500;

inline void attach(firmwaresim::Panel& p, firmwaresim::EepromBus& b) {
    panel = &p;
    bus = &b;
    now = 0;
}

}  // namespace hostboard

extern "C" void sg12232_port_command(uint8_t chip, uint8_t command) {
    hostboard::panel->command(chip, command, hostboard::now);
    hostboard::now += hostboard::kLcdCycleNs;
}
extern "C" void sg12232_port_data(uint8_t chip, uint8_t data) {
    hostboard::panel->data(chip, data, hostboard::now);
    hostboard::now += hostboard::kLcdCycleNs;
}
extern "C" void sg12232_port_delay_us(uint16_t us) { hostboard::now += firmwaresim::Ns(us) * 1000; }
extern "C" void sg12232_port_res(uint8_t high) {
    hostboard::panel->res(high != 0, hostboard::now);
    hostboard::now += hostboard::kLcdCycleNs;
}
extern "C" uint8_t sg12232_port_status(uint8_t chip) {
    const uint8_t s = hostboard::panel->status(chip, hostboard::now);
    hostboard::now += hostboard::kLcdCycleNs;
    return s;
}

// A START cannot be made while SDA or SCL is held low: the controller times out.
extern "C" dotreel_i2c_status dotreel_port_i2c_start(uint8_t address_byte) {
    hostboard::now += hostboard::kI2cByteNs + 2500;
    if (!hostboard::bus->usable()) {
        ++hostboard::bus->transactions;
        return DOTREEL_I2C_TIMEOUT;
    }
    return hostboard::bus->start(address_byte, hostboard::now) ? DOTREEL_I2C_OK : DOTREEL_I2C_NACK;
}
extern "C" dotreel_i2c_status dotreel_port_i2c_write(uint8_t byte) {
    hostboard::now += hostboard::kI2cByteNs;
    return hostboard::bus->write(byte) ? DOTREEL_I2C_OK : DOTREEL_I2C_NACK;
}
extern "C" dotreel_i2c_status dotreel_port_i2c_read(uint8_t* byte, uint8_t) {
    hostboard::now += hostboard::kI2cByteNs;
    *byte = hostboard::bus->read();
    return DOTREEL_I2C_OK;
}
extern "C" void dotreel_port_i2c_stop(void) {
    hostboard::now += 2500;
    hostboard::bus->stop(hostboard::now);
}
extern "C" dotreel_i2c_status dotreel_port_i2c_recover(void) {
    ++hostboard::bus->recoveries;
    for (int i = 0; i < 9 && !hostboard::bus->sdaHigh(); ++i) {
        hostboard::bus->clock();
        hostboard::now += 10000;
    }
    hostboard::bus->stop(hostboard::now);
    return hostboard::bus->sdaHigh() ? DOTREEL_I2C_OK : DOTREEL_I2C_BUS_STUCK;
}
extern "C" void dotreel_port_delay_us(uint16_t us) { hostboard::now += firmwaresim::Ns(us) * 1000; }
