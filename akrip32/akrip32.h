#pragma once

// akrip32: reading audio CDs digitally, block by block, through a handful of
// calls over caller-owned records. Every call answers 1 for success and 0 for
// failure; a handle of 0 is no drive.
//
//   1. GetCDList(&list): the drives, a disc image named by CORVANE_CD_DEVICE
//      first, then every CD drive of the system (links resolved, each once).
//   2. GetCDHandle(&request): opens the drive the request's host adapter,
//      target and logical unit name; returns its handle or 0.
//   3. ModifyCDParms(handle, CDP_MSF, on): whether ReadTOC gives addresses
//      as minute/second/frame (on) or as block numbers (off, the default).
//   4. ReadTOC(handle, &toc): the disc's table of contents.
//   5. ReadCDAudioLBA(handle, &buffer): buffer.blockCount raw audio blocks
//      (2352 bytes of 16-bit little-endian stereo each, as stored on the
//      disc) from block buffer.startBlock on.
//   6. CloseCDHandle(handle).
//
// Block numbers count from the start of the first track's program area (the
// 2-second pregap before it is not addressable): block 0 is the first audio
// block of a disc whose first track starts at once. A minute/second/frame
// address counts that pregap: block b is (b + 150) / 75 seconds.
//
// A read is refused (0, nothing written) when it would start before block 0,
// ask for no block, run past the lead-out, touch a data track or not fit the
// buffer. Disc images are opened only as BIN/CUE.
//
// Threads: any thread but the audio thread (reads do I/O); calls on one
// handle are serialised inside.

#include <cstdint>

// Blocks of CD audio: 2352 bytes, 588 stereo frames of 16 bits at 44100 Hz.
constexpr int CD_BLOCK_BYTES = 2352;
constexpr int CD_BLOCK_FRAMES = 588;
// Blocks per second, and the pregap's 150 blocks that minute/second/frame
// addresses count.
constexpr int CD_BLOCKS_PER_SECOND = 75;
constexpr int CD_PREGAP_BLOCKS = 150;
// One read: up to 54 blocks (0.72 s).
constexpr int CD_CHUNK_BLOCKS = 54;
constexpr int CD_CHUNK_BYTES = CD_CHUNK_BLOCKS * CD_BLOCK_BYTES;

// The parameter of ModifyCDParms that chooses the table of contents' address form.
constexpr int CDP_MSF = 36;

// The environment variable that names a disc image (a .cue file) or a drive.
constexpr const char* CD_DEVICE_VARIABLE = "CORVANE_CD_DEVICE";

using HCDROM = int;

constexpr int CD_MAX_DRIVES = 16;
constexpr int CD_DRIVE_NAME_BYTES = 256;

struct CDDRIVE
{
    uint8_t hostAdapter;
    uint8_t target;
    uint8_t lun;
    uint8_t isImage; // 1: a disc image file, 0: a drive
    char name[CD_DRIVE_NAME_BYTES];
};

struct CDLIST
{
    uint8_t capacity; // ignored: the list holds CD_MAX_DRIVES
    uint8_t count;
    CDDRIVE drives[CD_MAX_DRIVES];
};

struct GETCDHAND
{
    uint8_t size;    // 12
    uint8_t version; // 1
    uint8_t hostAdapter;
    uint8_t target;
    uint8_t lun;
    uint8_t readType; // 0: the drive's own audio read
    uint8_t reserved[6];
};
static_assert(sizeof(GETCDHAND) == 12);

// One entry of the table of contents; the address is 4 bytes, most
// significant first: a block number, or 0, minute, second, frame.
struct TOCTRACK
{
    uint8_t reserved1;
    uint8_t adrControl; // control in the low nibble: 0x04 marks a data track
    uint8_t trackNumber;
    uint8_t reserved2;
    uint8_t address[4];
};
constexpr uint8_t TOC_DATA_TRACK = 0x04;
constexpr uint8_t TOC_LEADOUT_TRACK = 0xAA;
constexpr int TOC_MAX_ENTRIES = 100;

struct TOC
{
    uint8_t length[2]; // bytes that follow, most significant first
    uint8_t firstTrack;
    uint8_t lastTrack;
    // Entry n-1 is track n (counting from firstTrack); the entry after the
    // last track is the lead-out.
    TOCTRACK tracks[TOC_MAX_ENTRIES];
};
static_assert(sizeof(TOC) == 804);

struct TRACKBUF
{
    int32_t startBlock;
    int32_t blockCount;
    int32_t capacityBytes; // CD_CHUNK_BYTES
    int32_t lengthBytes;   // set by a successful read
    int32_t status;        // 1 after a successful read, else 0
    int32_t startOffset;
    uint8_t audio[CD_CHUNK_BYTES];
};

int GetCDList(CDLIST* list);
HCDROM GetCDHandle(const GETCDHAND* request);
int ModifyCDParms(HCDROM handle, int parameter, int value);
int ReadTOC(HCDROM handle, TOC* toc);
int ReadCDAudioLBA(HCDROM handle, TRACKBUF* buffer);
int CloseCDHandle(HCDROM handle);
