/* The serial link between a host (dotreel-tool, the editor) and the player: one definition of the
 * wire for both ends. Packets are framed so that a receiver fed a line that drops, garbles or
 * inserts bytes finds the next whole packet again, and every request is answered with the
 * request number it carried, so a late answer is never taken for the answer to a newer request.
 *
 * A packet, in the order of the bytes on the wire:
 *
 *   0      0xA5                start marker (any byte value may also occur inside a packet)
 *   1      type                a request (0x01..0x06) or an answer (request | 0x80, or 0xFF)
 *   2      number              request number, echoed in the answer
 *   3..4   length              payload bytes, little-endian, 0..DOTREEL_LINK_MAX_PAYLOAD
 *   5..    payload
 *   then   CRC, 2 bytes        CRC-16/CCITT-FALSE over bytes 1 .. end of payload, high byte first
 *
 * CRC-16/CCITT-FALSE: polynomial 0x1021, initial value 0xFFFF, no reflection of input or output,
 * no final XOR; the CRC of the ASCII bytes "123456789" is 0x29B1.
 *
 * C99, no dynamic memory, no floating point. */
#ifndef DOTREEL_LINK_H
#define DOTREEL_LINK_H

#include <stddef.h>
#include <stdint.h>

#define DOTREEL_LINK_VERSION 1u
#define DOTREEL_LINK_START 0xA5u
#define DOTREEL_LINK_HEADER_BYTES 5u
#define DOTREEL_LINK_CRC_BYTES 2u
#define DOTREEL_LINK_FRAME_BYTES 488u
#define DOTREEL_LINK_MAX_PAYLOAD DOTREEL_LINK_FRAME_BYTES
#define DOTREEL_LINK_MAX_PACKET \
    (DOTREEL_LINK_HEADER_BYTES + DOTREEL_LINK_MAX_PAYLOAD + DOTREEL_LINK_CRC_BYTES)
#define DOTREEL_LINK_BLOCK_BYTES 128u /* a store block: one 24C512 page */
/* The longest answer (a read block's), so a device needs no packet-sized answer buffer. */
#define DOTREEL_LINK_MAX_ANSWER \
    (DOTREEL_LINK_HEADER_BYTES + 4u + DOTREEL_LINK_BLOCK_BYTES + DOTREEL_LINK_CRC_BYTES)
#define DOTREEL_LINK_STORE_BYTES 131072ul
#define DOTREEL_LINK_CHIP_BYTES 65536ul
#define DOTREEL_LINK_FRAMES 268u
#define DOTREEL_LINK_WIDTH 122u
#define DOTREEL_LINK_HEIGHT 32u
/* A receiver drops a packet whose bytes stop coming for this long. */
#define DOTREEL_LINK_BYTE_GAP_MS 100u
/* A host waits this long for an answer before it sends the request again (a page write takes
 * up to 10 ms on the device, and 495 bytes need 43 ms at 115200 baud). */
#define DOTREEL_LINK_ANSWER_TIMEOUT_MS 500u
#define DOTREEL_LINK_TRIES 4u
/* A host keeps at most this many write or read block requests unanswered at once (every other
 * request waits for its answer): a device takes the next request in while it carries out one. */
#define DOTREEL_LINK_BLOCKS_IN_FLIGHT 2u

typedef enum {
    DOTREEL_LINK_HELLO = 0x01,
    DOTREEL_LINK_SHOW = 0x02,
    DOTREEL_LINK_WRITE = 0x03,
    DOTREEL_LINK_READ = 0x04,
    DOTREEL_LINK_PLAY = 0x05,
    DOTREEL_LINK_STOP = 0x06,
    DOTREEL_LINK_ANSWER = 0x80, /* OR-ed into the request type for its answer */
    DOTREEL_LINK_ERROR = 0xFF
} dotreel_link_type;

/* The error answer's code (its payload: request type, code, detail). */
typedef enum {
    DOTREEL_LINK_E_UNKNOWN = 1,  /* no such request type */
    DOTREEL_LINK_E_LENGTH = 2,   /* payload length wrong for the request */
    DOTREEL_LINK_E_ADDRESS = 3,  /* block not page-aligned, over 128 bytes, past the store */
    DOTREEL_LINK_E_ARGUMENT = 4, /* play: frame outside 0..267, interval outside 1..1000 */
    DOTREEL_LINK_E_EEPROM = 5, /* the EEPROM failed; detail: the bus status (dotreel_i2c_status) */
    DOTREEL_LINK_E_PANEL = 6   /* the panel did not take the frame; detail from the device */
} dotreel_link_error;

/* A decoded packet: valid until the decoder is fed again. */
typedef struct {
    uint8_t type;
    uint8_t number;
    uint16_t length;
    const uint8_t* payload;
} dotreel_link_packet;

uint16_t dotreel_link_crc(uint16_t crc, const uint8_t* bytes, size_t len);
#define DOTREEL_LINK_CRC_INIT 0xFFFFu

/* --- Encoding: each writes one whole packet into `out` (DOTREEL_LINK_MAX_PACKET bytes are
 * always enough) and returns its length, or 0 when the arguments cannot be sent. */
size_t dotreel_link_encode(uint8_t* out, uint8_t type, uint8_t number, const uint8_t* payload,
                           uint16_t length);
size_t dotreel_link_encode_hello(uint8_t* out, uint8_t number);
size_t dotreel_link_encode_show(uint8_t* out, uint8_t number, const uint8_t* frame);
size_t dotreel_link_encode_write(uint8_t* out, uint8_t number, uint32_t address,
                                 const uint8_t* data, uint8_t length);
size_t dotreel_link_encode_read(uint8_t* out, uint8_t number, uint32_t address, uint8_t length);
/* Play's last byte: bit 0 repeat; bit 1 keep these settings as the ones played at power-up. */
#define DOTREEL_LINK_PLAY_REPEAT 0x01u
#define DOTREEL_LINK_PLAY_KEEP 0x02u
#define DOTREEL_LINK_PLAY_FLAGS (DOTREEL_LINK_PLAY_REPEAT | DOTREEL_LINK_PLAY_KEEP)
size_t dotreel_link_encode_play(uint8_t* out, uint8_t number, uint16_t start, uint16_t end,
                                uint16_t interval_ms, uint8_t flags);
size_t dotreel_link_encode_stop(uint8_t* out, uint8_t number);

/* What hello answers. eeproms: bit 0 set when chip 0 (0x50) answers, bit 1 for chip 1. */
typedef struct {
    uint8_t version;
    uint8_t width;
    uint8_t height;
    uint32_t store_bytes;
    uint8_t eeproms;
    uint8_t firmware_major, firmware_minor, firmware_patch;
} dotreel_link_hello_info;
#define DOTREEL_LINK_HELLO_BYTES 11u

size_t dotreel_link_encode_hello_answer(uint8_t* out, uint8_t number,
                                        const dotreel_link_hello_info* info);
/* An empty answer: show, play, stop. */
size_t dotreel_link_encode_done(uint8_t* out, uint8_t request, uint8_t number);
size_t dotreel_link_encode_write_answer(uint8_t* out, uint8_t number, uint32_t address);
size_t dotreel_link_encode_read_answer(uint8_t* out, uint8_t number, uint32_t address,
                                       const uint8_t* data, uint8_t length);
size_t dotreel_link_encode_error(uint8_t* out, uint8_t request, uint8_t number, uint8_t code,
                                 uint8_t detail);

/* --- Reading fields back: 0 when the packet is not of that kind or its length is wrong. */
int dotreel_link_parse_hello_answer(const dotreel_link_packet* p, dotreel_link_hello_info* info);
int dotreel_link_parse_address(const dotreel_link_packet* p, uint32_t* address);
int dotreel_link_parse_error(const dotreel_link_packet* p, uint8_t* request, uint8_t* code,
                             uint8_t* detail);

/* --- Decoding: fed one byte at a time; a packet whose length is over the limit or whose CRC
 * does not match is dropped, and the bytes after its start marker are searched again, so a
 * packet that follows garbage, or begins inside a broken one, is still found. */
typedef struct {
    uint8_t buffer[DOTREEL_LINK_MAX_PACKET];
    uint16_t used;
    uint16_t consumed; /* the packet handed out last, dropped at the next call */
    uint16_t dropped;  /* bytes thrown away since the decoder was made (garbage, bad packets) */
    uint16_t crc_errors;
} dotreel_link_decoder;

void dotreel_link_decoder_init(dotreel_link_decoder* d);
/* 1 when `byte` completed a packet (then *packet points into the decoder until the next call),
 * else 0. A broken packet can hide whole ones inside the length it claimed: after a packet,
 * call dotreel_link_decoder_next until it returns 0 for those already received. */
int dotreel_link_decoder_feed(dotreel_link_decoder* d, uint8_t byte, dotreel_link_packet* packet);
int dotreel_link_decoder_next(dotreel_link_decoder* d, dotreel_link_packet* packet);
/* No byte for DOTREEL_LINK_BYTE_GAP_MS: a packet begun is given up. */
void dotreel_link_decoder_gap(dotreel_link_decoder* d);

/* --- The device side: a request in, its answer out, through the board's own calls. */
typedef struct {
    void* context;
    /* 0 when shown, else a detail code for DOTREEL_LINK_E_PANEL */
    int (*show)(void* context, const uint8_t* frame);
    /* a store block: bus status, DOTREEL_I2C_OK (0) when written and its write cycle over */
    int (*write)(void* context, uint32_t address, const uint8_t* data, uint8_t length);
    int (*read)(void* context, uint32_t address, uint8_t* data, uint8_t length);
    /* flags: DOTREEL_LINK_PLAY_REPEAT, DOTREEL_LINK_PLAY_KEEP */
    void (*play)(void* context, uint16_t start, uint16_t end, uint16_t interval_ms, uint8_t flags);
    void (*stop)(void* context);
    uint8_t (*eeproms)(void* context); /* the hello's eeproms bits */
    uint8_t firmware_major, firmware_minor, firmware_patch;
} dotreel_link_device;

/* Carries out `request` and writes its answer into `out` (DOTREEL_LINK_MAX_ANSWER bytes);
 * returns the answer's length. Answers are always sent, never for a packet of another answer. */
size_t dotreel_link_dispatch(const dotreel_link_device* device, const dotreel_link_packet* request,
                             uint8_t* out);

#endif /* DOTREEL_LINK_H */
