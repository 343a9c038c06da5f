/* The player's rules, the frame sources and the frame transfer to the panel. */
#include "dotreel_player.h"

#ifndef DOTREEL_PGM_BYTE
#define DOTREEL_PGM_BYTE(p) (*(p))
#endif

static int is_frame(int frame) { return frame >= 0 && frame <= DOTREEL_LAST_FRAME; }

/* --- Sources ---------------------------------------------------------------------------------- */

static int pgm_read(const void* context, int16_t frame, uint16_t offset, uint8_t* buffer,
                    uint16_t len) {
    const dotreel_pgm_frames* f = (const dotreel_pgm_frames*)context;
    const int distance = f->step < 0 ? f->first - frame : frame - f->first;
    const uint8_t* from;
    uint16_t i;
    if (distance < 0 || distance >= (int)f->count) return DOTREEL_NOT_IN_SOURCE;
    if ((uint32_t)offset + len > SG12232_FRAME_BYTES) return DOTREEL_NOT_IN_SOURCE;
    from = f->frames[distance] + offset;
    for (i = 0; i < len; ++i) buffer[i] = DOTREEL_PGM_BYTE(from + i);
    return 0;
}

dotreel_source dotreel_pgm_source(const dotreel_pgm_frames* frames) {
    dotreel_source s;
    s.read = pgm_read;
    s.context = frames;
    return s;
}

/* A 24C512's sequential read wraps to its own address 0 at its end, so a read that crosses from
 * chip 0 into chip 1 (frame 134 does) is split into one read per chip. */
static int eeprom_read(const void* context, int16_t frame, uint16_t offset, uint8_t* buffer,
                       uint16_t len) {
    const dotreel_eeprom_pair* pair = (const dotreel_eeprom_pair*)context;
    uint32_t at;
    if (!is_frame(frame) || (uint32_t)offset + len > SG12232_FRAME_BYTES)
        return DOTREEL_NOT_IN_SOURCE;
    at = (uint32_t)frame * SG12232_FRAME_BYTES + offset;
    while (len > 0) {
        const uint8_t chip = (uint8_t)(at / DOTREEL_CHIP_BYTES);
        const uint16_t address = (uint16_t)(at % DOTREEL_CHIP_BYTES);
        const uint32_t room = DOTREEL_CHIP_BYTES - address;
        const uint16_t part = room < len ? (uint16_t)room : len;
        const dotreel_i2c_status s = dotreel_eeprom_read(pair->device[chip], address, buffer, part);
        if (s != DOTREEL_I2C_OK) return (int)s;
        buffer += part;
        at += part;
        len = (uint16_t)(len - part);
    }
    return 0;
}

dotreel_source dotreel_eeprom_source(const dotreel_eeprom_pair* pair) {
    dotreel_source s;
    s.read = eeprom_read;
    s.context = pair;
    return s;
}

/* One frame in RAM: static, so the stack stays small and avr-size counts it. */
static uint8_t frame_bytes[SG12232_FRAME_BYTES];

int dotreel_show_frame(const dotreel_source* source, int16_t frame) {
    const int s = source->read(source->context, frame, 0, frame_bytes, SG12232_FRAME_BYTES);
    if (s != 0) return s;
    sg12232_show(frame_bytes);
    return 0;
}

/* --- Rules ------------------------------------------------------------------------------------ */

static dotreel_tick_action arrive_at_end(int16_t v, int16_t s, uint8_t repeat, int16_t* next) {
    if (!repeat || !is_frame(s)) return DOTREEL_TICK_STOP;
    if (s == v) return DOTREEL_TICK_KEEP;
    *next = s;
    return DOTREEL_TICK_SHOW;
}

dotreel_tick_action dotreel_playback_step(int16_t v, int16_t s, int16_t e, uint8_t repeat,
                                          int16_t* next) {
    int direction;
    int beyond_end;
    int step;
    if (v == e) return arrive_at_end(v, s, repeat, next);
    if (s == e) return DOTREEL_TICK_STOP;
    direction = s < e ? 1 : -1;
    beyond_end = direction > 0 ? v > e : v < e;
    step = v + direction;
    if (beyond_end || !is_frame(step)) return arrive_at_end(v, s, repeat, next);
    *next = (int16_t)step;
    return DOTREEL_TICK_SHOW;
}

/* --- Player ----------------------------------------------------------------------------------- */

void dotreel_player_init(dotreel_player* player, const dotreel_source* source, int16_t start,
                         int16_t end, uint16_t interval_ms, uint8_t repeat) {
    player->start = start;
    player->end = end;
    player->interval_ms = interval_ms;
    player->repeat = repeat;
    player->shown = -1;
    player->playing = 0;
    player->error = 0;
    player->source = source;
}

static dotreel_result show(dotreel_player* player, int16_t frame) {
    const int s = dotreel_show_frame(player->source, frame);
    if (s != 0) {
        player->playing = 0;
        player->error = (uint8_t)s;
        return DOTREEL_READ_FAILED;
    }
    player->shown = frame;
    return DOTREEL_SHOWN;
}

dotreel_result dotreel_player_start(dotreel_player* player) {
    dotreel_result result = DOTREEL_UNCHANGED;
    if (!is_frame(player->start)) return DOTREEL_REFUSED;
    player->error = 0;
    if (player->shown != player->start) {
        result = show(player, player->start);
        if (result != DOTREEL_SHOWN) return result;
    }
    player->playing = 1;
    return result;
}

dotreel_result dotreel_player_tick(dotreel_player* player) {
    int16_t next = 0;
    if (!player->playing) return DOTREEL_STOPPED;
    switch (
        dotreel_playback_step(player->shown, player->start, player->end, player->repeat, &next)) {
        case DOTREEL_TICK_SHOW:
            return show(player, next);
        case DOTREEL_TICK_KEEP:
            return DOTREEL_UNCHANGED;
        case DOTREEL_TICK_STOP:
        default:
            player->playing = 0;
            return DOTREEL_STOPPED;
    }
}

void dotreel_player_stop(dotreel_player* player) { player->playing = 0; }
