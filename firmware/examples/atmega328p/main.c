/* The Dotreel player on an ATmega328P at 16 MHz: frames from two 24C512 on the TWI bus, shown on
 * an SG12232 on an 8-bit parallel bus, with plain avr-libc.
 *
 * Pins (see the README's wiring table):
 *   PD0..PD7  D0..D7 of the LCD      PB0  A0 (low: command, high: data)
 *   PB1       R/W (held low: write)  PB2  E1 (left controller)   PB3  E2 (right controller)
 *   PB4       RES                    PC4  SDA, PC5 SCL of both 24C512 (A0 of chip 1 tied high)
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

#define I2C_HZ 400000UL

/* --- The LCD bus ------------------------------------------------------------------------------ */

static void bus_init(void) {
    DDRD = 0xFF;
    PORTD = 0;
    DDRB |= PIN_A0 | PIN_RW | PIN_E1 | PIN_E2 | PIN_RES;
    PORTB &= (uint8_t) ~(PIN_A0 | PIN_RW | PIN_E1 | PIN_E2 | PIN_RES);
    /* RES low, then a rising edge: the SED1520 resets and takes the 68-family interface (E). */
    _delay_us(10);
    PORTB |= PIN_RES;
    _delay_us(10);
}

/* One write cycle: A0 and data settle, E high for >= 200 ns, data taken on E's falling edge;
 * the SED1520 needs 1 us between cycles, which the wait after the strobe gives. */
static void bus_write(uint8_t chip, uint8_t a0, uint8_t value) {
    const uint8_t strobe = chip ? PIN_E2 : PIN_E1;
    PORTB = (uint8_t)((PORTB & (uint8_t) ~(PIN_A0 | PIN_RW)) | (a0 ? PIN_A0 : 0));
    PORTD = value;
    PORTB |= strobe;
    __builtin_avr_delay_cycles(4);
    PORTB &= (uint8_t)~strobe;
    __builtin_avr_delay_cycles(16);
}

void sg12232_port_command(uint8_t chip, uint8_t command) { bus_write(chip, 0, command); }
void sg12232_port_data(uint8_t chip, uint8_t data) { bus_write(chip, 1, data); }
void sg12232_port_delay_us(uint16_t us) {
    while (us-- > 0) _delay_us(1);
}

/* --- TWI (I2C master, polled) ----------------------------------------------------------------- */

static void twi_init(void) {
    TWSR = 0; /* prescaler 1 */
    TWBR = (uint8_t)((F_CPU / I2C_HZ - 16) / 2);
    TWCR = _BV(TWEN);
}

static uint8_t twi_go(uint8_t control) {
    TWCR = (uint8_t)(control | _BV(TWINT) | _BV(TWEN));
    while (!(TWCR & _BV(TWINT))) {
    }
    return TW_STATUS;
}

static uint8_t twi_send(uint8_t byte) {
    TWDR = byte;
    return twi_go(0);
}

static void twi_stop(void) {
    TWCR = _BV(TWINT) | _BV(TWEN) | _BV(TWSTO);
    while (TWCR & _BV(TWSTO)) {
    }
}

int dotreel_port_i2c_read(uint8_t device, uint16_t address, uint8_t* buffer, uint8_t len) {
    uint8_t i;
    if (twi_go(_BV(TWSTA)) != TW_START) goto fail;
    if (twi_send((uint8_t)(device << 1)) != TW_MT_SLA_ACK) goto fail;
    if (twi_send((uint8_t)(address >> 8)) != TW_MT_DATA_ACK) goto fail;
    if (twi_send((uint8_t)(address & 0xFFu)) != TW_MT_DATA_ACK) goto fail;
    if (twi_go(_BV(TWSTA)) != TW_REP_START) goto fail;
    if (twi_send((uint8_t)((device << 1) | 1u)) != TW_MR_SLA_ACK) goto fail;
    for (i = 0; i < len; ++i) {
        const uint8_t last = (uint8_t)(i + 1u == len);
        const uint8_t status = twi_go(last ? 0 : _BV(TWEA));
        if (status != (last ? TW_MR_DATA_NACK : TW_MR_DATA_ACK)) goto fail;
        buffer[i] = TWDR;
    }
    twi_stop();
    return 0;
fail:
    twi_stop();
    return -1;
}

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

/* --- The player ------------------------------------------------------------------------------- */

static const dotreel_eeprom_pair chips = {{0x50, 0x51}};

int main(void) {
    dotreel_source source = dotreel_eeprom_source(&chips);
    dotreel_player player;
    uint16_t due;

    bus_init();
    twi_init();
    clock_init();
    sei();
    sg12232_init();

    dotreel_player_init(&player, &source, DOTREEL_PLAY_START, DOTREEL_PLAY_END,
                        DOTREEL_PLAY_INTERVAL_MS, DOTREEL_PLAY_REPEAT);
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
    halt();
    return 0;
}
