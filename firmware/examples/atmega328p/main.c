/* The Dotreel player on an ATmega328P at 16 MHz: frames from two 24C512 on the TWI bus, shown on
 * an SG12232 on an 8-bit parallel bus, with plain avr-libc; it answers the serial link
 * (dotreel_link.h) on its UART while it plays, so a host can show frames live, write and read
 * the store, and start or stop playback.
 *
 * Pins (see the README's wiring table):
 *   PC0..PC3  D0..D3 of the LCD      PD4..PD7  D4..D7 of the LCD
 *   PD0 RXD, PD1 TXD: the serial link (an Arduino-style board's USB-serial bridge is wired there)
 *   PB0       A0 (low: command, high: data)
 *   PB1       R/W (low: write; read only in the SG12232_BUSY_POLL build, else tie R/W to GND)
 *   PB2       E1 (left controller)   PB3  E2 (right controller)   PB4  RES
 *   PB5       the LED (Arduino pin 13): blinks a code while something is wrong
 *   PC4  SDA, PC5 SCL of both 24C512 (A0 of chip 1 tied high; A1, A2 of both to GND)
 *
 * The LED's codes, repeated: n short blinks, a pause. The link keeps answering meanwhile.
 *   1  a controller of the panel never became ready (busy poll builds only)
 *   2  an EEPROM did not answer (absent, wrong address pins)
 *   3  SDA stays low: a chip or a short holds the bus, 9 clocks did not free it
 *   4  the TWI did not get through in time (no pull-ups, SCL held low)
 *
 * The playback settings at power-up: those a host asked to keep (a play request with the keep
 * flag, held in the AVR's own EEPROM), else those of the header that `dotreel-tool export
 * --format c` writes, when DOTREEL_HEADER names it (make HEADER=frames.h), or of -D options, or
 * the defaults below. The baud rate: DOTREEL_BAUD (make BAUD=1000000), 115200 by default. */
#include <avr/eeprom.h>
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <util/delay.h>
#include <util/twi.h>

#include "dotreel_link.h"
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

#define FIRMWARE_MAJOR 1u
#define FIRMWARE_MINOR 1u
#define FIRMWARE_PATCH 0u

/* The UART runs at F_CPU / 8 / (UBRR + 1) with U2X: 115200 is 117647 (+2.1 %, within what an
 * 8N1 receiver takes), 1000000 is exact. */
#ifndef DOTREEL_BAUD
#define DOTREEL_BAUD 115200UL
#endif
#define UBRR_VALUE ((F_CPU + 4UL * (DOTREEL_BAUD)) / (8UL * (DOTREEL_BAUD)) - 1UL)
#define BAUD_ACTUAL (F_CPU / (8UL * (UBRR_VALUE + 1UL)))
#if (BAUD_ACTUAL > (DOTREEL_BAUD) ? BAUD_ACTUAL - (DOTREEL_BAUD) : (DOTREEL_BAUD)-BAUD_ACTUAL) * \
        1000UL >                                                                                 \
    25UL * (DOTREEL_BAUD)
#error "DOTREEL_BAUD is more than 2.5 % off at this F_CPU"
#endif

#define PIN_A0 _BV(PB0)
#define PIN_RW _BV(PB1)
#define PIN_E1 _BV(PB2)
#define PIN_E2 _BV(PB3)
#define PIN_RES _BV(PB4)
#define PIN_LED _BV(PB5)
#define PIN_SDA _BV(PC4)
#define PIN_SCL _BV(PC5)
/* The data bus: its low nibble on PC0..PC3, its high nibble on PD4..PD7. */
#define DATA_LOW 0x0Fu
#define DATA_HIGH 0xF0u

#define I2C_HZ 400000UL
/* A byte at 400 kHz takes 22.5 us; a TWI step that takes 1 ms will not finish. */
#define TWI_LIMIT_US 1000u

/* --- The LCD bus ------------------------------------------------------------------------------ */

static void bus_init(void) {
    DDRC |= DATA_LOW;
    PORTC &= (uint8_t)~DATA_LOW;
    DDRD |= DATA_HIGH;
    PORTD &= (uint8_t)~DATA_HIGH;
    DDRB |= PIN_A0 | PIN_RW | PIN_E1 | PIN_E2 | PIN_RES | PIN_LED;
    PORTB &= (uint8_t) ~(PIN_A0 | PIN_RW | PIN_E1 | PIN_E2 | PIN_LED);
}

/* One write cycle: A0 and data settle, E high for 500 ns (the SED1520 asks for less), data
 * taken on E's falling edge, then 1 us more, so one cycle lasts over 1.5 us against the 1 us the
 * controller needs (with the busy poll the status read before the next write waits instead). RES
 * stays high: the 68-family interface (E strobe) it selected at reset. Only the main loop
 * touches PORTB, PORTC and PORTD, so their read-modify-writes need no guard. */
static void bus_write(uint8_t chip, uint8_t a0, uint8_t value) {
    const uint8_t strobe = chip ? PIN_E2 : PIN_E1;
    PORTB = (uint8_t)((PORTB & (uint8_t) ~(PIN_A0 | PIN_RW)) | (a0 ? PIN_A0 : 0));
    PORTC = (uint8_t)((PORTC & (uint8_t)~DATA_LOW) | (value & DATA_LOW));
    PORTD = (uint8_t)((PORTD & (uint8_t)~DATA_HIGH) | (value & DATA_HIGH));
    PORTB |= strobe;
    __builtin_avr_delay_cycles(8);
    PORTB &= (uint8_t)~strobe;
#if !SG12232_BUSY_POLL
    __builtin_avr_delay_cycles(16); /* with the busy poll, the next status read waits instead */
#endif
}

static void pump(void);

/* A command comes before each row of 61 bytes: the UART's ring is emptied there too, so a
 * frame's 2.4 ms on the panel do not count as one stretch away from it. */
void sg12232_port_command(uint8_t chip, uint8_t command) {
    pump();
    bus_write(chip, 0, command);
}
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
    DDRC &= (uint8_t)~DATA_LOW;
    PORTC &= (uint8_t)~DATA_LOW;
    DDRD &= (uint8_t)~DATA_HIGH;
    PORTD &= (uint8_t)~DATA_HIGH;
    PORTB = (uint8_t)((PORTB & (uint8_t)~PIN_A0) | PIN_RW);
    PORTB |= strobe;
    __builtin_avr_delay_cycles(8);
    status = (uint8_t)((PINC & DATA_LOW) | (PIND & DATA_HIGH));
    PORTB &= (uint8_t)~strobe;
    PORTB &= (uint8_t)~PIN_RW;
    DDRC |= DATA_LOW;
    DDRD |= DATA_HIGH;
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

/* --- The stack's high-water mark ---------------------------------------------------------------
 * At reset, before .data and .bss are set up, the RAM between their end and the top of the stack
 * is filled with a pattern; whatever still holds it later was never reached by the stack (a
 * debugger or the simulator test reads the deepest point from it). */
#define STACK_PAINT 0xC5u
extern uint8_t __heap_start;
void paint_stack(void) __attribute__((naked, used, section(".init3")));
void paint_stack(void) {
    uint8_t* p = &__heap_start;
    while (p <= (uint8_t*)RAMEND) *p++ = STACK_PAINT;
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

/* --- The UART ----------------------------------------------------------------------------------
 * Received bytes go into a ring by interrupt; the main loop takes them out between the other
 * work. The longest the main loop is away from the ring is a request's own work: a page write
 * with its write cycle, up to 3 ms of bus and 10 ms of acknowledge polling (150 bytes at 115200
 * baud). A host keeps at most two store blocks in flight, so what arrives meanwhile is the next
 * request, 139 bytes at the most; the one after comes only once an answer is out. Bytes that
 * come anyway (a show request during a tick) are taken in between the pieces of the tick's frame
 * read (see read_pumping) and before each 61-byte row it writes to the panel, so the longest
 * stretch without that is one piece's read, about 1.6 ms: 20 bytes at 115200 baud, 160 at
 * 1000000. The CRC of a whole show request (about 2.5 ms) comes after its last byte, when the
 * host waits. 256 bytes, indices of one byte: an interrupt and the main loop never see half an
 * index. */
#define RX_RING_BYTES 256u

static uint8_t rx_ring[RX_RING_BYTES];
static volatile uint8_t rx_head; /* written by the interrupt */
static volatile uint8_t rx_tail; /* written by the main loop */
static volatile uint8_t rx_overflows;
static volatile uint8_t rx_line_errors; /* framing errors and overruns of the UART itself */

ISR(USART_RX_vect) {
    const uint8_t status = UCSR0A;
    const uint8_t byte = UDR0;
    const uint8_t next = (uint8_t)(rx_head + 1u);
    if (status & (_BV(FE0) | _BV(DOR0))) ++rx_line_errors; /* the CRC throws the packet out */
    if (next == rx_tail) {
        ++rx_overflows;
        return;
    }
    rx_ring[rx_head] = byte;
    rx_head = next;
}

/* Answers go out by the UDRE interrupt from two buffers, in the order they were written: while
 * one is on the wire the main loop carries out the next request into the other, so a read
 * block's 2.9 ms of I2C overlap the answer before it (12 ms at 115200 baud) instead of leaving
 * the line idle. A request after that waits in the ring until a buffer is free. */
static uint8_t tx_buffer[2][DOTREEL_LINK_MAX_ANSWER];
static volatile uint8_t tx_length[2]; /* 0: the buffer is free */
static volatile uint8_t tx_active;    /* the buffer the interrupt sends from */
static volatile uint8_t tx_sent;
static uint8_t tx_fill; /* the buffer the main loop writes next */

ISR(USART_UDRE_vect) {
    const uint8_t b = tx_active;
    UDR0 = tx_buffer[b][tx_sent];
    if (++tx_sent == tx_length[b]) {
        tx_length[b] = 0;
        tx_sent = 0;
        tx_active = (uint8_t)(b ^ 1u);
        if (tx_length[tx_active] == 0u) UCSR0B &= (uint8_t)~_BV(UDRIE0);
    }
}

/* The buffer for the next answer, once the interrupt is done with it. */
static uint8_t* tx_next(void) {
    while (tx_length[tx_fill] != 0u) {
    }
    return tx_buffer[tx_fill];
}

/* The answer written into tx_next()'s buffer goes out after those before it. */
static void tx_queue(uint8_t length) {
    const uint8_t sreg = SREG;
    cli();
    tx_length[tx_fill] = length;
    if ((UCSR0B & _BV(UDRIE0)) == 0u) {
        tx_active = tx_fill;
        tx_sent = 0;
        UCSR0B |= _BV(UDRIE0);
    }
    SREG = sreg;
    tx_fill = (uint8_t)(tx_fill ^ 1u);
}

static void uart_init(void) {
    /* U2X before the rate: simavr works the byte time out when UBRR is written (the chip does
     * not mind the order). */
    UCSR0A = _BV(U2X0);
    UBRR0H = (uint8_t)(UBRR_VALUE >> 8);
    UBRR0L = (uint8_t)(UBRR_VALUE & 0xFFu);
    UCSR0C = _BV(UCSZ01) | _BV(UCSZ00); /* 8N1 */
    UCSR0B = _BV(RXCIE0) | _BV(RXEN0) | _BV(TXEN0);
}

/* --- The LED ---------------------------------------------------------------------------------- */

static uint8_t blink_code;
static uint16_t blink_since;

static void blink(uint8_t code) {
    if (code == blink_code) return;
    blink_code = code;
    blink_since = now_ms();
    if (code == 0) PORTB &= (uint8_t)~PIN_LED;
}

/* `code` blinks of 150 ms on, 150 ms off, then 1 s dark, over and over, without waiting. */
static void blink_update(uint16_t now) {
    uint16_t phase;
    if (blink_code == 0) return;
    phase = (uint16_t)((uint16_t)(now - blink_since) % (uint16_t)(blink_code * 300u + 1000u));
    if (phase < blink_code * 300u && phase % 300u < 150u)
        PORTB |= PIN_LED;
    else
        PORTB &= (uint8_t)~PIN_LED;
}

#define BLINK_PANEL 1u

/* --- Playback settings kept in the AVR's EEPROM ------------------------------------------------
 * start, end, interval (2 bytes each, little-endian), flags, then the CRC-16 of those 7 bytes:
 * a fresh or half-written EEPROM never passes for settings. */
#define KEPT_ADDRESS 0u
#define KEPT_BYTES 9u

typedef struct {
    uint16_t start, end, interval_ms;
    uint8_t flags;
} settings;

static int settings_valid(const settings* s) {
    return s->start < DOTREEL_FRAME_COUNT && s->end < DOTREEL_FRAME_COUNT && s->interval_ms >= 1u &&
           s->interval_ms <= 1000u && (s->flags & (uint8_t)~DOTREEL_LINK_PLAY_REPEAT) == 0u;
}

static void settings_bytes(const settings* s, uint8_t* b) {
    uint16_t crc;
    b[0] = (uint8_t)(s->start & 0xFFu);
    b[1] = (uint8_t)(s->start >> 8);
    b[2] = (uint8_t)(s->end & 0xFFu);
    b[3] = (uint8_t)(s->end >> 8);
    b[4] = (uint8_t)(s->interval_ms & 0xFFu);
    b[5] = (uint8_t)(s->interval_ms >> 8);
    b[6] = s->flags;
    crc = dotreel_link_crc(DOTREEL_LINK_CRC_INIT, b, 7u);
    b[7] = (uint8_t)(crc >> 8);
    b[8] = (uint8_t)(crc & 0xFFu);
}

/* *s is left as it is unless the kept settings are whole and make sense. */
static int settings_load(settings* s) {
    uint8_t b[KEPT_BYTES];
    uint16_t crc;
    settings kept;
    eeprom_read_block(b, (const void*)KEPT_ADDRESS, KEPT_BYTES);
    crc = dotreel_link_crc(DOTREEL_LINK_CRC_INIT, b, 7u);
    if (b[7] != (uint8_t)(crc >> 8) || b[8] != (uint8_t)(crc & 0xFFu)) return 0;
    kept.start = (uint16_t)(b[0] | (uint16_t)b[1] << 8);
    kept.end = (uint16_t)(b[2] | (uint16_t)b[3] << 8);
    kept.interval_ms = (uint16_t)(b[4] | (uint16_t)b[5] << 8);
    kept.flags = b[6];
    if (!settings_valid(&kept)) return 0;
    *s = kept;
    return 1;
}

/* Byte by byte, each write cycle (3.4 ms) spent taking received bytes in: eeprom_update_block
 * would sit 30 ms with the UART's ring filling. Unchanged bytes are not written again. */
static void settings_store(const settings* s) {
    uint8_t b[KEPT_BYTES];
    uint8_t i;
    settings_bytes(s, b);
    for (i = 0; i < KEPT_BYTES; ++i) {
        while (!eeprom_is_ready()) pump();
        eeprom_update_byte((uint8_t*)(KEPT_ADDRESS + i), b[i]);
    }
}

/* --- The player and the link ------------------------------------------------------------------ */

static const dotreel_eeprom_pair chips = {{0x50, 0x51}};
static dotreel_source eeproms;
static dotreel_source source;
static dotreel_player player;
static uint16_t due;
static uint8_t panel_ok;

static dotreel_link_decoder decoder;
static dotreel_link_packet packet;
static uint8_t packet_held; /* `packet` points into the decoder and waits for dispatch */
static uint16_t last_byte_ms;

/* What a request leaves for after its answer is on its way. */
static settings play_asked;
static uint8_t play_pending;

/* Bytes from the ring into the decoder until it holds a whole packet. Inside a packet whose
 * header is in, the decoder does nothing with a byte but store it until the last one comes, so
 * those are copied straight into its buffer: at 1000000 baud a byte leaves 160 cycles, and the
 * decoder's call for each byte of a 495-byte show request would let the ring fall behind. */
static void pump(void) {
    uint8_t tail = rx_tail;
    if (tail == rx_head) return;
    last_byte_ms = now_ms();
    while (!packet_held && tail != rx_head) {
        if (decoder.consumed == 0u && decoder.used >= DOTREEL_LINK_HEADER_BYTES) {
            const uint16_t length =
                (uint16_t)(decoder.buffer[3] | (uint16_t)decoder.buffer[4] << 8);
            const uint16_t last =
                (uint16_t)(DOTREEL_LINK_HEADER_BYTES + length + DOTREEL_LINK_CRC_BYTES - 1u);
            if (length <= DOTREEL_LINK_MAX_PAYLOAD) {
                while (decoder.used < last && tail != rx_head) {
                    decoder.buffer[decoder.used++] = rx_ring[tail];
                    tail = (uint8_t)(tail + 1u);
                }
                rx_tail = tail;
                if (tail == rx_head) break;
            }
        }
        {
            const uint8_t byte = rx_ring[tail];
            tail = (uint8_t)(tail + 1u);
            rx_tail = tail;
            packet_held = (uint8_t)dotreel_link_decoder_feed(&decoder, byte, &packet);
        }
    }
}

/* The frame source of playback: the EEPROMs, read in pieces with the ring emptied between them,
 * so a request that comes during a tick's 11 ms of reading is not lost. */
#define READ_PIECE 64u
static int read_pumping(const void* context, int16_t frame, uint16_t offset, uint8_t* buffer,
                        uint16_t len) {
    (void)context;
    while (len > 0u) {
        const uint16_t n = len < READ_PIECE ? len : READ_PIECE;
        const int s = eeproms.read(eeproms.context, frame, offset, buffer, n);
        if (s != 0) return s;
        pump();
        offset = (uint16_t)(offset + n);
        buffer += n;
        len = (uint16_t)(len - n);
    }
    return 0;
}

static int link_show(void* context, const uint8_t* frame) {
    (void)context;
    if (!panel_ok) return BLINK_PANEL;
    dotreel_player_stop(&player);
    play_pending = 0;
    sg12232_show(frame);
    return 0;
}

/* A store address: chip 0 below 65536, chip 1 from there on. */
static int link_write(void* context, uint32_t address, const uint8_t* data, uint8_t length) {
    (void)context;
    /* The store is being rewritten: frames read from it now could be half old, half new. */
    dotreel_player_stop(&player);
    play_pending = 0;
    return dotreel_eeprom_write_page(chips.device[address >> 16], (uint16_t)(address & 0xFFFFu),
                                     data, length);
}

static int link_read(void* context, uint32_t address, uint8_t* data, uint8_t length) {
    (void)context;
    return dotreel_eeprom_read(chips.device[address >> 16], (uint16_t)(address & 0xFFFFu), data,
                               length);
}

/* Started after the answer is sent: the start frame's read and the kept settings' EEPROM
 * writes do not hold the answer back. */
static void link_play(void* context, uint16_t start, uint16_t end, uint16_t interval_ms,
                      uint8_t flags) {
    (void)context;
    dotreel_player_stop(&player);
    play_asked.start = start;
    play_asked.end = end;
    play_asked.interval_ms = interval_ms;
    play_asked.flags = flags;
    play_pending = 1;
}

static void link_stop(void* context) {
    (void)context;
    dotreel_player_stop(&player);
    play_pending = 0;
}

static uint8_t chip_answers(uint8_t device) {
    const dotreel_i2c_status s = dotreel_port_i2c_start((uint8_t)(device << 1));
    dotreel_port_i2c_stop();
    return s == DOTREEL_I2C_OK;
}

static uint8_t link_eeproms(void* context) {
    (void)context;
    return (uint8_t)(chip_answers(chips.device[0]) | chip_answers(chips.device[1]) << 1);
}

static const dotreel_link_device device = {
    0,         link_show,    link_write,     link_read,      link_play,
    link_stop, link_eeproms, FIRMWARE_MAJOR, FIRMWARE_MINOR, FIRMWARE_PATCH};

static void play_start(const settings* s) {
    blink(0);
    dotreel_player_init(&player, &source, (int16_t)s->start, (int16_t)s->end, s->interval_ms,
                        (uint8_t)(s->flags & DOTREEL_LINK_PLAY_REPEAT));
    due = now_ms();
    if (dotreel_player_start(&player) == DOTREEL_READ_FAILED) blink(player.error);
}

/* Answers every whole request received; then what the answers left to do. */
static void serve(void) {
    pump();
    while (packet_held) {
        const size_t length = dotreel_link_dispatch(&device, &packet, tx_next());
        packet_held = (uint8_t)dotreel_link_decoder_next(&decoder, &packet);
        if (length > 0u) tx_queue((uint8_t)length);
        if (play_pending) {
            play_pending = 0;
            if (play_asked.flags & DOTREEL_LINK_PLAY_KEEP) {
                play_asked.flags &= (uint8_t)~DOTREEL_LINK_PLAY_KEEP;
                settings_store(&play_asked);
            }
            play_start(&play_asked);
        }
        pump();
    }
    if (decoder.used > 0u && rx_tail == rx_head &&
        (uint16_t)(now_ms() - last_byte_ms) >= DOTREEL_LINK_BYTE_GAP_MS)
        dotreel_link_decoder_gap(&decoder);
}

/* Ticks come every interval after START; a tick handled late does not make up the ones it
 * missed, as in the editor. */
static void play_on(uint16_t now) {
    uint16_t after;
    if (!player.playing || (int16_t)(now - (uint16_t)(due + player.interval_ms)) < 0) return;
    due = (uint16_t)(due + player.interval_ms);
    if (dotreel_player_tick(&player) == DOTREEL_READ_FAILED) blink(player.error);
    after = now_ms();
    if ((int16_t)(after - due) >= (int16_t)player.interval_ms) due = after;
}

/* Idle sleep until the next interrupt (a byte, the millisecond): the check and the sleep cannot
 * be split by a byte arriving, since the instruction after sei runs before any interrupt. */
static void idle(void) {
    cli();
    if (rx_tail == rx_head && !packet_held) {
        sleep_enable();
        sei();
        sleep_cpu();
        sleep_disable();
    }
    sei();
}

int main(void) {
    dotreel_i2c_status bus;
    settings power_up = {DOTREEL_PLAY_START, DOTREEL_PLAY_END, DOTREEL_PLAY_INTERVAL_MS,
                         DOTREEL_PLAY_REPEAT ? DOTREEL_LINK_PLAY_REPEAT : 0u};

    bus_init();
    twi_init();
    uart_init();
    clock_init();
    set_sleep_mode(SLEEP_MODE_IDLE);
    dotreel_link_decoder_init(&decoder);
    eeproms = dotreel_eeprom_source(&chips);
    source.read = read_pumping;
    source.context = 0;
    dotreel_player_init(&player, &source, 0, 0, 1, 0);
    sei();
    /* A chip cut off mid-read by our reset may still hold SDA low: free the bus first. */
    bus = dotreel_port_i2c_recover();
    panel_ok = sg12232_init() == 0;
    if (!panel_ok)
        blink(BLINK_PANEL);
    else if (bus != DOTREEL_I2C_OK)
        blink((uint8_t)bus);
    (void)settings_load(&power_up);

    if (panel_ok && bus == DOTREEL_I2C_OK) {
        /* START on a millisecond edge, as every tick after it: the first interval is as long
         * as the others. */
        const uint16_t edge = now_ms();
        while (now_ms() == edge) {
        }
        play_start(&power_up);
    }
    for (;;) {
        serve();
        play_on(now_ms());
        blink_update(now_ms());
        idle();
    }
}
