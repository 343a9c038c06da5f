/* The serial link's packets: CRC, encoders, the streaming decoder and the device's dispatch. */
#include "dotreel_link.h"

#include <string.h>

uint16_t dotreel_link_crc(uint16_t crc, const uint8_t* bytes, size_t len) {
    size_t i;
    uint8_t bit;
    for (i = 0; i < len; ++i) {
        crc = (uint16_t)(crc ^ (uint16_t)((unsigned)bytes[i] << 8));
        for (bit = 0; bit < 8; ++bit)
            crc = (uint16_t)((crc & 0x8000u) ? ((unsigned)crc << 1) ^ 0x1021u : (unsigned)crc << 1);
    }
    return crc;
}

static void put16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)(v & 0xFFu);
    p[1] = (uint8_t)(v >> 8);
}
static void put32(uint8_t* p, uint32_t v) {
    put16(p, (uint16_t)(v & 0xFFFFu));
    put16(p + 2, (uint16_t)(v >> 16));
}
static uint16_t get16(const uint8_t* p) { return (uint16_t)(p[0] | ((uint16_t)p[1] << 8)); }
static uint32_t get32(const uint8_t* p) {
    return (uint32_t)get16(p) | ((uint32_t)get16(p + 2) << 16);
}

size_t dotreel_link_encode(uint8_t* out, uint8_t type, uint8_t number, const uint8_t* payload,
                           uint16_t length) {
    uint16_t crc;
    if (length > DOTREEL_LINK_MAX_PAYLOAD || (length > 0 && payload == NULL)) return 0;
    out[0] = DOTREEL_LINK_START;
    out[1] = type;
    out[2] = number;
    put16(out + 3, length);
    /* memmove: an encoder may build its payload in place, at out + 5 */
    if (length > 0) memmove(out + DOTREEL_LINK_HEADER_BYTES, payload, length);
    crc = dotreel_link_crc(DOTREEL_LINK_CRC_INIT, out + 1, (size_t)length + 4u);
    out[DOTREEL_LINK_HEADER_BYTES + length] = (uint8_t)(crc >> 8);
    out[DOTREEL_LINK_HEADER_BYTES + length + 1u] = (uint8_t)(crc & 0xFFu);
    return (size_t)DOTREEL_LINK_HEADER_BYTES + length + DOTREEL_LINK_CRC_BYTES;
}

size_t dotreel_link_encode_hello(uint8_t* out, uint8_t number) {
    return dotreel_link_encode(out, DOTREEL_LINK_HELLO, number, NULL, 0);
}

size_t dotreel_link_encode_show(uint8_t* out, uint8_t number, const uint8_t* frame) {
    return dotreel_link_encode(out, DOTREEL_LINK_SHOW, number, frame, DOTREEL_LINK_FRAME_BYTES);
}

static int block_fits(uint32_t address, uint8_t length) {
    return length >= 1u && length <= DOTREEL_LINK_BLOCK_BYTES &&
           address + length <= DOTREEL_LINK_STORE_BYTES &&
           address / DOTREEL_LINK_CHIP_BYTES == (address + length - 1u) / DOTREEL_LINK_CHIP_BYTES;
}
static int write_fits(uint32_t address, uint8_t length) {
    return block_fits(address, length) && address % DOTREEL_LINK_BLOCK_BYTES == 0u;
}

size_t dotreel_link_encode_write(uint8_t* out, uint8_t number, uint32_t address,
                                 const uint8_t* data, uint8_t length) {
    uint8_t* p = out + DOTREEL_LINK_HEADER_BYTES;
    if (!write_fits(address, length)) return 0;
    memmove(p + 4, data, length);
    put32(p, address);
    return dotreel_link_encode(out, DOTREEL_LINK_WRITE, number, p, (uint16_t)(4u + length));
}

size_t dotreel_link_encode_read(uint8_t* out, uint8_t number, uint32_t address, uint8_t length) {
    uint8_t p[5];
    if (!block_fits(address, length)) return 0;
    put32(p, address);
    p[4] = length;
    return dotreel_link_encode(out, DOTREEL_LINK_READ, number, p, 5);
}

static int play_fits(uint16_t start, uint16_t end, uint16_t interval_ms, uint8_t flags) {
    return start < DOTREEL_LINK_FRAMES && end < DOTREEL_LINK_FRAMES && interval_ms >= 1u &&
           interval_ms <= 1000u && (flags & (uint8_t)~DOTREEL_LINK_PLAY_FLAGS) == 0u;
}

size_t dotreel_link_encode_play(uint8_t* out, uint8_t number, uint16_t start, uint16_t end,
                                uint16_t interval_ms, uint8_t flags) {
    uint8_t p[7];
    if (!play_fits(start, end, interval_ms, flags)) return 0;
    put16(p, start);
    put16(p + 2, end);
    put16(p + 4, interval_ms);
    p[6] = flags;
    return dotreel_link_encode(out, DOTREEL_LINK_PLAY, number, p, 7);
}

size_t dotreel_link_encode_stop(uint8_t* out, uint8_t number) {
    return dotreel_link_encode(out, DOTREEL_LINK_STOP, number, NULL, 0);
}

size_t dotreel_link_encode_hello_answer(uint8_t* out, uint8_t number,
                                        const dotreel_link_hello_info* info) {
    uint8_t p[DOTREEL_LINK_HELLO_BYTES];
    p[0] = info->version;
    p[1] = info->width;
    p[2] = info->height;
    put32(p + 3, info->store_bytes);
    p[7] = info->eeproms;
    p[8] = info->firmware_major;
    p[9] = info->firmware_minor;
    p[10] = info->firmware_patch;
    return dotreel_link_encode(out, DOTREEL_LINK_HELLO | DOTREEL_LINK_ANSWER, number, p,
                               DOTREEL_LINK_HELLO_BYTES);
}

size_t dotreel_link_encode_done(uint8_t* out, uint8_t request, uint8_t number) {
    return dotreel_link_encode(out, (uint8_t)(request | DOTREEL_LINK_ANSWER), number, NULL, 0);
}

size_t dotreel_link_encode_write_answer(uint8_t* out, uint8_t number, uint32_t address) {
    uint8_t p[4];
    put32(p, address);
    return dotreel_link_encode(out, DOTREEL_LINK_WRITE | DOTREEL_LINK_ANSWER, number, p, 4);
}

size_t dotreel_link_encode_read_answer(uint8_t* out, uint8_t number, uint32_t address,
                                       const uint8_t* data, uint8_t length) {
    uint8_t* p = out + DOTREEL_LINK_HEADER_BYTES;
    if (!block_fits(address, length)) return 0;
    memmove(p + 4, data, length);
    put32(p, address);
    return dotreel_link_encode(out, DOTREEL_LINK_READ | DOTREEL_LINK_ANSWER, number, p,
                               (uint16_t)(4u + length));
}

size_t dotreel_link_encode_error(uint8_t* out, uint8_t request, uint8_t number, uint8_t code,
                                 uint8_t detail) {
    uint8_t p[3];
    p[0] = request;
    p[1] = code;
    p[2] = detail;
    return dotreel_link_encode(out, DOTREEL_LINK_ERROR, number, p, 3);
}

int dotreel_link_parse_hello_answer(const dotreel_link_packet* p, dotreel_link_hello_info* info) {
    if (p->type != (DOTREEL_LINK_HELLO | DOTREEL_LINK_ANSWER) || p->length < 1u) return 0;
    info->version = p->payload[0];
    /* a device of another version may lay out the rest otherwise: only the version is read */
    if (info->version != DOTREEL_LINK_VERSION) return 1;
    if (p->length != DOTREEL_LINK_HELLO_BYTES) return 0;
    info->width = p->payload[1];
    info->height = p->payload[2];
    info->store_bytes = get32(p->payload + 3);
    info->eeproms = p->payload[7];
    info->firmware_major = p->payload[8];
    info->firmware_minor = p->payload[9];
    info->firmware_patch = p->payload[10];
    return 1;
}

int dotreel_link_parse_address(const dotreel_link_packet* p, uint32_t* address) {
    if (p->length < 4u) return 0;
    *address = get32(p->payload);
    return 1;
}

int dotreel_link_parse_error(const dotreel_link_packet* p, uint8_t* request, uint8_t* code,
                             uint8_t* detail) {
    if (p->type != DOTREEL_LINK_ERROR || p->length != 3u) return 0;
    *request = p->payload[0];
    *code = p->payload[1];
    *detail = p->payload[2];
    return 1;
}

void dotreel_link_decoder_init(dotreel_link_decoder* d) { memset(d, 0, sizeof *d); }

void dotreel_link_decoder_gap(dotreel_link_decoder* d) {
    d->dropped = (uint16_t)(d->dropped + d->used - d->consumed);
    d->used = 0;
    d->consumed = 0;
}

/* Throws away the start marker of a packet that turned out broken, and everything up to the
 * next start marker among the bytes already received. */
static void resync(dotreel_link_decoder* d) {
    uint16_t i = 1;
    while (i < d->used && d->buffer[i] != DOTREEL_LINK_START) ++i;
    d->dropped = (uint16_t)(d->dropped + i);
    memmove(d->buffer, d->buffer + i, (size_t)(d->used - i));
    d->used = (uint16_t)(d->used - i);
}

/* Drops the packet handed out last, keeping the bytes that came after it. */
static void consume(dotreel_link_decoder* d) {
    if (d->consumed == 0u) return;
    memmove(d->buffer, d->buffer + d->consumed, (size_t)(d->used - d->consumed));
    d->used = (uint16_t)(d->used - d->consumed);
    d->consumed = 0;
}

/* A whole packet at the head of the buffer, dropping what cannot begin one. */
static int scan(dotreel_link_decoder* d, dotreel_link_packet* packet) {
    for (;;) {
        uint16_t length;
        uint16_t total;
        uint16_t crc;
        if (d->used > 0u && d->buffer[0] != DOTREEL_LINK_START) {
            resync(d);
            continue;
        }
        if (d->used < DOTREEL_LINK_HEADER_BYTES) return 0;
        length = get16(d->buffer + 3);
        if (length > DOTREEL_LINK_MAX_PAYLOAD) {
            resync(d);
            continue;
        }
        total = (uint16_t)(DOTREEL_LINK_HEADER_BYTES + length + DOTREEL_LINK_CRC_BYTES);
        if (d->used < total) return 0;
        crc = dotreel_link_crc(DOTREEL_LINK_CRC_INIT, d->buffer + 1, (size_t)length + 4u);
        if (d->buffer[total - 2u] == (uint8_t)(crc >> 8) &&
            d->buffer[total - 1u] == (uint8_t)(crc & 0xFFu)) {
            packet->type = d->buffer[1];
            packet->number = d->buffer[2];
            packet->length = length;
            packet->payload = d->buffer + DOTREEL_LINK_HEADER_BYTES;
            d->consumed = total;
            return 1;
        }
        ++d->crc_errors;
        resync(d);
    }
}

int dotreel_link_decoder_feed(dotreel_link_decoder* d, uint8_t byte, dotreel_link_packet* packet) {
    consume(d);
    if (d->used == 0u && byte != DOTREEL_LINK_START) {
        ++d->dropped;
        return 0;
    }
    d->buffer[d->used++] = byte;
    return scan(d, packet);
}

int dotreel_link_decoder_next(dotreel_link_decoder* d, dotreel_link_packet* packet) {
    consume(d);
    return scan(d, packet);
}

size_t dotreel_link_dispatch(const dotreel_link_device* device, const dotreel_link_packet* request,
                             uint8_t* out) {
    const uint8_t type = request->type;
    const uint8_t n = request->number;
    const uint8_t* p = request->payload;
    if (type & DOTREEL_LINK_ANSWER) return 0;
    switch (type) {
        case DOTREEL_LINK_HELLO: {
            dotreel_link_hello_info info;
            if (request->length != 0u)
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_LENGTH, 0);
            info.version = DOTREEL_LINK_VERSION;
            info.width = DOTREEL_LINK_WIDTH;
            info.height = DOTREEL_LINK_HEIGHT;
            info.store_bytes = DOTREEL_LINK_STORE_BYTES;
            info.eeproms = device->eeproms(device->context);
            info.firmware_major = device->firmware_major;
            info.firmware_minor = device->firmware_minor;
            info.firmware_patch = device->firmware_patch;
            return dotreel_link_encode_hello_answer(out, n, &info);
        }
        case DOTREEL_LINK_SHOW: {
            int r;
            if (request->length != DOTREEL_LINK_FRAME_BYTES)
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_LENGTH, 0);
            r = device->show(device->context, p);
            if (r != 0)
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_PANEL, (uint8_t)r);
            return dotreel_link_encode_done(out, type, n);
        }
        case DOTREEL_LINK_WRITE: {
            uint32_t address;
            uint8_t length;
            int r;
            if (request->length < 5u || request->length > 4u + DOTREEL_LINK_BLOCK_BYTES)
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_LENGTH, 0);
            address = get32(p);
            length = (uint8_t)(request->length - 4u);
            if (!write_fits(address, length))
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_ADDRESS, 0);
            r = device->write(device->context, address, p + 4, length);
            if (r != 0)
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_EEPROM, (uint8_t)r);
            return dotreel_link_encode_write_answer(out, n, address);
        }
        case DOTREEL_LINK_READ: {
            uint8_t data[DOTREEL_LINK_BLOCK_BYTES];
            uint32_t address;
            uint8_t length;
            int r;
            if (request->length != 5u)
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_LENGTH, 0);
            address = get32(p);
            length = p[4];
            if (!block_fits(address, length))
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_ADDRESS, 0);
            r = device->read(device->context, address, data, length);
            if (r != 0)
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_EEPROM, (uint8_t)r);
            return dotreel_link_encode_read_answer(out, n, address, data, length);
        }
        case DOTREEL_LINK_PLAY: {
            uint16_t start, end, interval;
            if (request->length != 7u)
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_LENGTH, 0);
            start = get16(p);
            end = get16(p + 2);
            interval = get16(p + 4);
            if (!play_fits(start, end, interval, p[6]))
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_ARGUMENT, 0);
            device->play(device->context, start, end, interval, p[6]);
            return dotreel_link_encode_done(out, type, n);
        }
        case DOTREEL_LINK_STOP:
            if (request->length != 0u)
                return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_LENGTH, 0);
            device->stop(device->context);
            return dotreel_link_encode_done(out, type, n);
        default:
            return dotreel_link_encode_error(out, type, n, DOTREEL_LINK_E_UNKNOWN, 0);
    }
}
