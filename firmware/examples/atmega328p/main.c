/* The Dotreel player on an ATmega328P at 16 MHz: frames from two 24C512 on the TWI bus, shown on
 * an SG12232 on an 8-bit parallel bus, with plain avr-libc.
 *
 * Pins (see the README's wiring table):
 *   PD0..PD7  D0..D7 of the LCD      PB0  A0 (low: command, high: data)
 *   PB1       R/W (low: write; read only in the SG12232_BUSY_POLL build, else tie R/W to GND)
 *   PB2       E1 (left controller)   PB3  E2 (right controller)   PB4  RES
 *   PB5       the LED (Arduino pin 13): blinks a code when playback cannot go on
 *   PC4  SDA, PC5 SCL of both 24C512 (A0 of chip 1 tied high; A1, A2 of both to GND)
 *
 * The LED's codes, repeated: n short blinks, a pause.
 *   1  a controller of the panel never became ready (busy poll builds only)
 *   2  an EEPROM did not answer (absent, wrong address pins)
 *   3  SDA stays low: a chip or a short holds the bus, 9 clocks did not free it
 *   4  the TWI did not get through in time (no pull-ups, SCL held low)
 *
 * The playback settings come from the header that `dotreel-tool export --format c` writes, when
 * DOTREEL_HEADER names it (make HEADER=frames.h), or from -D options, or the defaults below. */
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <util/delay.h>
#include <util/twi.h>

#include "dotreel_player.h"

#ifdef DOTREEL_HEADER
/* Only the playback macros are used here; the frames come from the EEPROMs. */
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-variable"
/* cppcheck-suppress preprocessorErrorDirective */
#include DOTREEL_HEADER
#pragma GCC diagnostic pop
#endif

#ifndef DOTREEL_PLAY_START
#define DOTREEL_PLAY_START 0
#endif
#ifndef DOTREEL_PLAY_END
#define DOTREEL_PLAY_END 47
#endif
#ifndef DOTREEL_PLAY_INTERVAL_MS
#define DOTREEL_PLAY_INTERVAL_MS 60
#endif
#ifndef DOTREEL_PLAY_REPEAT
#define DOTREEL_PLAY_REPEAT 1
#endif

#define PIN_A0 _BV(PB0)
#define PIN_RW _BV(PB1)
#define PIN_E1 _BV(PB2)
#define PIN_E2 _BV(PB3)
#define PIN_RES _BV(PB4)
#define PIN_LED _BV(PB5)
#define PIN_SDA _BV(PC4)
#define PIN_SCL _BV(PC5)

#define I2C_HZ 400000UL
/* A byte at 400 kHz takes 22.5 us; a TWI step that takes 1 ms will not finish. */
#define TWI_LIMIT_US 1000u

/* --- The LCD bus ------------------------------------------------------------------------------ */

static void bus_init(void) {
    DDRD = 0xFF;
    PORTD = 0;
    DDRB |= PIN_A0 | PIN_RW | PIN_E1 | PIN_E2 | PIN_RES | PIN_LED;
    PORTB &= (uint8_t) ~(PIN_A0 | PIN_RW | PIN_E1 | PIN_E2 | PIN_LED);
}

/* One write cycle: A0 and data settle, E high for 500 ns (the SED1520 asks for less), data
 * taken on E's falling edge, then 1 us more, so one cycle lasts over 1.5 us against the 1 us the
 * controller needs (with the busy poll the status read before the next write waits instead). RES
 * stays high: the 68-family interface (E strobe) it selected at reset. */
static void bus_write(uint8_t chip, uint8_t a0, uint8_t value) {
    const uint8_t strobe = chip ? PIN_E2 : PIN_E1;
    PORTB = (uint8_t)((PORTB & (uint8_t) ~(PIN_A0 | PIN_RW)) | (a0 ? PIN_A0 : 0));
    PORTD = value;
    PORTB |= strobe;
    __builtin_avr_delay_cycles(8);
    PORTB &= (uint8_t)~strobe;
#if !SG12232_BUSY_POLL
    __builtin_avr_delay_cycles(16); /* with the busy poll, the next status read waits instead */
#endif
}

void sg12232_port_command(uint8_t chip, uint8_t command) { bus_write(chip, 0, command); }
void sg12232_port_data(uint8_t chip, uint8_t data) { bus_write(chip, 1, data); }
void sg12232_port_delay_us(uint16_t us) {
    while (us-- > 0) _delay_us(1);
}
void sg12232_port_res(uint8_t high) {
    if (high)
        PORTB |= PIN_RES;
    else
        PORTB &= (uint8_t)~PIN_RES;
}

#if SG12232_BUSY_POLL
/* A status read: D0..D7 as inputs, R/W high, A0 low; the data is valid while E is high. */
uint8_t sg12232_port_status(uint8_t chip) {
    const uint8_t strobe = chip ? PIN_E2 : PIN_E1;
    uint8_t status;
    DDRD = 0;
    PORTD = 0;
    PORTB = (uint8_t)((PORTB & (uint8_t)~PIN_A0) | PIN_RW);
    PORTB |= strobe;
    __builtin_avr_delay_cycles(8);
    status = PIND;
    PORTB &= (uint8_t)~strobe;
    PORTB &= (uint8_t)~PIN_RW;
    DDRD = 0xFF;
    return status;
}
#endif

/* --- TWI (I2C master, polled, every wait bounded) -----------------------------------------------
 */

static void twi_init(void) {
    TWSR = 0; /* prescaler 1 */
    TWBR = (uint8_t)((F_CPU / I2C_HZ - 16) / 2);
    TWCR = _BV(TWEN);
}

/* Starts a TWI step and waits for its end; the status, or 0xFF after the time limit. */
static uint8_t twi_go(uint8_t control) {
    uint16_t waited;
    TWCR = (uint8_t)(control | _BV(TWINT) | _BV(TWEN));
    for (waited = 0; waited < TWI_LIMIT_US; ++waited) {
        if (TWCR & _BV(TWINT)) return TW_STATUS;
        _delay_us(1);
    }
    return 0xFFu;
}

static dotreel_i2c_status twi_outcome(uint8_t status, uint8_t ack, uint8_t nack) {
    if (status == ack) return DOTREEL_I2C_OK;
    if (status == nack) return DOTREEL_I2C_NACK;
    return DOTREEL_I2C_TIMEOUT; /* no answer in time, lost arbitration, bus error */
}

dotreel_i2c_status dotreel_port_i2c_start(uint8_t address_byte) {
    const uint8_t status = twi_go(_BV(TWSTA));
    if (status != TW_START && status != TW_REP_START) return DOTREEL_I2C_TIMEOUT;
    TWDR = address_byte;
    if (address_byte & 1u) return twi_outcome(twi_go(0), TW_MR_SLA_ACK, TW_MR_SLA_NACK);
    return twi_outcome(twi_go(0), TW_MT_SLA_ACK, TW_MT_SLA_NACK);
}

dotreel_i2c_status dotreel_port_i2c_write(uint8_t byte) {
    TWDR = byte;
    return twi_outcome(twi_go(0), TW_MT_DATA_ACK, TW_MT_DATA_NACK);
}

dotreel_i2c_status dotreel_port_i2c_read(uint8_t* byte, uint8_t ack) {
    const uint8_t status = twi_go(ack ? _BV(TWEA) : 0);
    *byte = TWDR;
    return twi_outcome(status, ack ? TW_MR_DATA_ACK : TW_MR_DATA_NACK, 0xFEu);
}

void dotreel_port_i2c_stop(void) {
    uint16_t waited;
    TWCR = _BV(TWINT) | _BV(TWEN) | _BV(TWSTO);
    for (waited = 0; waited < TWI_LIMIT_US && (TWCR & _BV(TWSTO)); ++waited) _delay_us(1);
}

/* Half a clock at 100 kHz, slow enough for any chip on the bus. */
#define RECOVER_HALF_US 5

/* The pins as open drain: an output bit of DDRC pulls the line low, an input lets the pull-up
 * raise it. The TWI is off meanwhile. */
dotreel_i2c_status dotreel_port_i2c_recover(void) {
    uint8_t clocks;
    dotreel_i2c_status s;
    TWCR = 0;
    PORTC &= (uint8_t) ~(PIN_SDA | PIN_SCL);
    DDRC &= (uint8_t) ~(PIN_SDA | PIN_SCL);
    _delay_us(RECOVER_HALF_US);
    for (clocks = 0; clocks < 9u && !(PINC & PIN_SDA); ++clocks) {
        DDRC |= PIN_SCL;
        _delay_us(RECOVER_HALF_US);
        DDRC &= (uint8_t)~PIN_SCL;
        _delay_us(RECOVER_HALF_US);
    }
    s = (PINC & PIN_SDA) ? DOTREEL_I2C_OK : DOTREEL_I2C_BUS_STUCK;
    /* STOP: SDA rises while SCL is high. */
    DDRC |= PIN_SCL;
    _delay_us(RECOVER_HALF_US);
    DDRC |= PIN_SDA;
    _delay_us(RECOVER_HALF_US);
    DDRC &= (uint8_t)~PIN_SCL;
    _delay_us(RECOVER_HALF_US);
    DDRC &= (uint8_t)~PIN_SDA;
    _delay_us(RECOVER_HALF_US);
    twi_init();
    return s;
}

void dotreel_port_delay_us(uint16_t us) { sg12232_port_delay_us(us); }

/* --- Milliseconds from timer 0 ---------------------------------------------------------------- */

static volatile uint16_t milliseconds;

ISR(TIMER0_COMPA_vect) { ++milliseconds; }

static void clock_init(void) {
    TCCR0A = _BV(WGM01); /* CTC */
    OCR0A = (uint8_t)(F_CPU / 64 / 1000 - 1);
    TCCR0B = _BV(CS01) | _BV(CS00); /* F_CPU / 64 */
    TIMSK0 = _BV(OCIE0A);
}

static uint16_t now_ms(void) {
    uint16_t t;
    const uint8_t sreg = SREG;
    cli();
    t = milliseconds;
    SREG = sreg;
    return t;
}

static void halt(void) {
    cli();
    set_sleep_mode(SLEEP_MODE_PWR_DOWN);
    sleep_enable();
    sleep_cpu();
    for (;;) {
    }
}

/* Blinks `code` forever: n blinks of 150 ms, then 1 s dark. */
static void blink_forever(uint8_t code) {
    for (;;) {
        uint8_t i;
        for (i = 0; i < code; ++i) {
            PORTB |= PIN_LED;
            _delay_ms(150);
            PORTB &= (uint8_t)~PIN_LED;
            _delay_ms(150);
        }
        _delay_ms(1000);
    }
}

#define BLINK_PANEL 1u

/* --- The player ------------------------------------------------------------------------------- */

static const dotreel_eeprom_pair chips = {{0x50, 0x51}};

int main(void) {
    dotreel_source source = dotreel_eeprom_source(&chips);
    dotreel_player player;
    uint16_t due;
    dotreel_i2c_status bus;

    bus_init();
    twi_init();
    clock_init();
    sei();
    /* A chip cut off mid-read by our reset may still hold SDA low: free the bus first. */
    bus = dotreel_port_i2c_recover();
    if (sg12232_init() != 0) blink_forever(BLINK_PANEL);
    if (bus != DOTREEL_I2C_OK) blink_forever((uint8_t)bus);

    dotreel_player_init(&player, &source, DOTREEL_PLAY_START, DOTREEL_PLAY_END,
                        DOTREEL_PLAY_INTERVAL_MS, DOTREEL_PLAY_REPEAT);
    /* START on a millisecond edge, as every tick after it: the first interval is as long as
     * the others. */
    due = now_ms();
    while (now_ms() == due) {
    }
    due = now_ms();
    if (dotreel_player_start(&player) == DOTREEL_REFUSED) halt();
    /* Ticks come every interval after START; a tick handled late does not make up the ones it
     * missed, as in the editor. */
    while (player.playing) {
        uint16_t now;
        due = (uint16_t)(due + player.interval_ms);
        while ((int16_t)(now_ms() - due) < 0) {
        }
        dotreel_player_tick(&player);
        now = now_ms();
        if ((int16_t)(now - due) >= (int16_t)player.interval_ms) due = now;
    }
    if (player.error != 0) blink_forever(player.error);
    halt();
    return 0;
}
