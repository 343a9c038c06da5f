/* The Dotreel player: plays frames start..end of a frame store on the SG12232 with the editor's
 * playback rules, from a frame source (frames in program memory, or the two 24C512 EEPROMs).
 *
 * The rules, one tick at a time (the frame on show v, start s, end e):
 *  - at the end frame (v == e) playback stops, or with repeat goes back to the start frame;
 *  - otherwise s == e stops, s < e steps up by one frame, s > e steps down by one;
 *  - a frame on show beyond the end in the direction of travel, or a step that would leave
 *    frames 0..267, counts as arriving at the end, so playback never walks off the store;
 *  - repeat to a start frame outside 0..267 stops instead; so does a start that asks for one.
 * Each frame stays on show for one interval, the end frame included.
 *
 * C99, no dynamic memory, no floating point. */
#ifndef DOTREEL_PLAYER_H
#define DOTREEL_PLAYER_H

#include <stdint.h>

#include "dotreel_eeprom.h"
#include "sg12232.h"

#define DOTREEL_FRAME_COUNT 268
#define DOTREEL_LAST_FRAME 267
#define DOTREEL_CHIP_BYTES 65536UL /* one 24C512; chip 0 holds store bytes 0..65535 */

/* --- Frame sources ------------------------------------------------------------------------- */

/* Reads `len` bytes of frame `frame` from byte `offset` of the frame on; 0 on success, else
 * DOTREEL_NOT_IN_SOURCE or, from the EEPROMs, the bus's dotreel_i2c_status. */
typedef int (*dotreel_read_fn)(const void* context, int16_t frame, uint16_t offset, uint8_t* buffer,
                               uint16_t len);

#define DOTREEL_NOT_IN_SOURCE 1

typedef struct {
    dotreel_read_fn read;
    const void* context;
} dotreel_source;

/* Frames in program memory, as dotreel-tool's C header holds them: frames[i] is store frame
 * first + i * step (step +1, or -1 for a range exported backwards), count frames in all.
 * Where constant data needs a special read (AVR PROGMEM), define DOTREEL_PGM_BYTE(p). */
typedef struct {
    const uint8_t (*frames)[SG12232_FRAME_BYTES];
    int16_t first;
    int8_t step;
    uint16_t count;
} dotreel_pgm_frames;

dotreel_source dotreel_pgm_source(const dotreel_pgm_frames* frames);

/* The whole store in two 24C512, as `dotreel-tool export --split` writes it: store byte n is
 * byte n of chip 0 below 65536, byte n - 65536 of chip 1 from there on. device[] are the chips'
 * 7-bit I2C addresses (0x50 and 0x51 with A0 tied high on the second). */
typedef struct {
    uint8_t device[2];
} dotreel_eeprom_pair;

dotreel_source dotreel_eeprom_source(const dotreel_eeprom_pair* pair);

/* The EEPROM source reads through dotreel_eeprom_read (dotreel_eeprom.h): port the I2C bus
 * functions there. */

/* --- Playback ------------------------------------------------------------------------------ */

typedef enum {
    DOTREEL_TICK_SHOW, /* show `next` and run on */
    DOTREEL_TICK_KEEP, /* run on with the frame on show (repeat to the frame on show) */
    DOTREEL_TICK_STOP  /* stop with the frame on show */
} dotreel_tick_action;

/* The decision of one tick, for frame on show v, start s, end e; `next` is set for SHOW. */
dotreel_tick_action dotreel_playback_step(int16_t v, int16_t s, int16_t e, uint8_t repeat,
                                          int16_t* next);

typedef enum {
    DOTREEL_SHOWN,      /* a new frame is on the panel */
    DOTREEL_UNCHANGED,  /* still playing, nothing redrawn */
    DOTREEL_STOPPED,    /* playback stopped; the frame on show stays */
    DOTREEL_REFUSED,    /* start frame outside 0..267: nothing happened */
    DOTREEL_READ_FAILED /* the source failed (player.error says why); playback stopped with the
                           frame on show kept whole */
} dotreel_result;

typedef struct {
    /* Settings; read afresh at every tick, so they may change while playing. */
    int16_t start;
    int16_t end;
    uint16_t interval_ms;
    uint8_t repeat;
    /* State. */
    int16_t shown; /* frame on the panel, -1 before the first */
    uint8_t playing;
    uint8_t error; /* 0, or the code of the read that stopped playback (cleared by START) */
    const dotreel_source* source;
} dotreel_player;

void dotreel_player_init(dotreel_player* player, const dotreel_source* source, int16_t start,
                         int16_t end, uint16_t interval_ms, uint8_t repeat);

/* Shows the start frame (unless it is already on show) and starts playing; the first tick is due
 * one interval later. */
dotreel_result dotreel_player_start(dotreel_player* player);

/* One tick: call it every interval_ms while player->playing. */
dotreel_result dotreel_player_tick(dotreel_player* player);

void dotreel_player_stop(dotreel_player* player);

/* Reads the whole of frame `frame` from the source into RAM (488 bytes), and only then writes it
 * to the panel: on the example the panel changes within about 2 ms instead of over the 7.5 ms
 * that page reads took between page writes, and a read that fails leaves the frame on show
 * untouched. 0, or the source's code. */
int dotreel_show_frame(const dotreel_source* source, int16_t frame);

#endif /* DOTREEL_PLAYER_H */
