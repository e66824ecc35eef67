// SPDX-License-Identifier: MIT
/* brask: the G00 and PDT picture decoder, for programs.
 *
 * Opens a picture from memory or from a path, describes it, and decodes exactly what is
 * stored: RGBA with straight alpha for every mode, the indexes and palette of the indexed
 * modes, and each part of a type-2 G00 on its own.
 *
 * Usable from C, C++ and Python's ctypes: plain C types, opaque handles, explicit lengths,
 * no callbacks. No exception crosses this boundary and the library keeps no global mutable
 * state: any number of threads may use it at once, each with its own handles. One handle is
 * used by one thread at a time.
 *
 * Nothing in a file is trusted. A header that claims more memory than the handle's limit is
 * refused before anything is allocated; a truncated stream decodes what it holds, and every
 * pixel it does not reach is given a defined value; no unwritten memory reaches the caller.
 */
#ifndef BRASK_BRASK_H
#define BRASK_BRASK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define BRASK_API
#else
#define BRASK_API __attribute__((visibility("default")))
#endif

/* The interface version: the library's soname carries the major number, which changes only
 * when the interface breaks; brask_version() gives the release's version. */
#define BRASK_VERSION_MAJOR 1
#define BRASK_VERSION_MINOR 0

/* The default memory limit of a handle: output and work buffers together. */
#define BRASK_DEFAULT_MEMORY_LIMIT ((uint64_t)1 << 30)

typedef enum brask_result {
  BRASK_OK = 0,
  BRASK_INVALID_ARGUMENT = 1,   /* a null pointer, a stride or buffer that cannot be right */
  BRASK_NOT_SUPPORTED = 2,      /* not a G00 or PDT picture */
  BRASK_OVER_MEMORY_LIMIT = 3,  /* the header claims more memory than the handle allows */
  BRASK_OUT_OF_MEMORY = 4,      /* the system refused an allocation */
  BRASK_FILE_ERROR = 5,         /* the path could not be opened or read */
  BRASK_BUFFER_TOO_SMALL = 6,   /* the caller's buffer cannot hold the result */
  BRASK_NO_SUCH_PART = 7,       /* a part number at or beyond part_count */
  BRASK_NOT_INDEXED = 8,        /* indexes asked of a mode that stores none */
  BRASK_TOO_MANY_COLOURS = 9,   /* an indexed mode given more than 256 colours */
  BRASK_TOO_LARGE = 10,         /* a size or position beyond what the file's fields can say */
  BRASK_ALPHA_NOT_STORED = 11,  /* alpha below 255 given to a mode without alpha */
  BRASK_DAMAGED = 12            /* a G00 or PDT picture that is damaged or cut short */
} brask_result;

typedef enum brask_format {
  BRASK_FORMAT_G00 = 1,
  BRASK_FORMAT_PDT = 2
} brask_format;

typedef enum brask_mode {
  BRASK_MODE_G00_TYPE0 = 1,   /* 24-bit colour */
  BRASK_MODE_G00_TYPE1 = 2,   /* 8-bit indexed */
  BRASK_MODE_G00_TYPE2 = 3,   /* parts of colour-plus-alpha blocks */
  BRASK_MODE_PDT10 = 4,       /* 24-bit colour */
  BRASK_MODE_PDT10_MASKED = 5,/* 24-bit colour with an 8-bit alpha mask */
  BRASK_MODE_PDT11 = 6        /* 8-bit indexed */
} brask_mode;

/* What a picture is. All fields are 32-bit, so the layout is the same everywhere. */
typedef struct brask_info {
  uint32_t format;        /* brask_format */
  uint32_t mode;          /* brask_mode */
  uint32_t width;         /* of the picture as decoded; type 2: the composed picture */
  uint32_t height;
  uint32_t has_alpha;     /* 1 for masked PDT10 and type-2 G00, else 0 */
  uint32_t palette_size;  /* entries of the palette (at most 256); 0 without one, or for a
                             type-1 G00 that stores an empty palette */
  uint32_t part_count;    /* type-2 G00: the parts that take part in the picture; else 0 */
} brask_info;

/* One part of a type-2 G00, in directory order. */
typedef struct brask_part {
  uint32_t index;    /* the entry's index in the directory, counting from 0 */
  int32_t width;     /* as stored; a part narrower than 1 pixel has no picture of its own */
  int32_t height;    /* as stored, never negative for a listed part */
  uint32_t origin_x; /* the stored origin that block positions are relative to */
  uint32_t origin_y;
  uint32_t top;      /* the part's top row in the composed picture */
} brask_part;

typedef struct brask_picture brask_picture;

/* Opens a picture from `length` bytes, which the handle copies. G00 has no signature: it is
 * recognised by a `name_hint` ending in ".g00" (any case); PDT by its signature whatever the
 * name. `name_hint` may be null. `memory_limit` bounds the bytes of output and work buffers
 * the handle may use, 0 meaning BRASK_DEFAULT_MEMORY_LIMIT; the handle's copy of the input and
 * a type-2 G00's part directory count too. The costliest decode (RGBA) is measured at open, so
 * a picture over the limit is refused here, and a handle once open never exceeds it. On
 * success *out is a handle to close with brask_close; on failure it is null. Bytes that are
 * not a G00 or PDT picture answer BRASK_NOT_SUPPORTED; a G00 or PDT picture whose header runs
 * past the data or contradicts itself, or a type-2 G00 without a part to show, answers
 * BRASK_DAMAGED (brask_open_memory_explained says where). */
BRASK_API brask_result brask_open_memory(const void* data, size_t length, const char* name_hint,
                                         uint64_t memory_limit, brask_picture** out);

/* As brask_open_memory, reading the file at `path`; its name is the hint. A file larger than
 * the memory limit is refused before it is read. */
BRASK_API brask_result brask_open_path(const char* path, uint64_t memory_limit,
                                       brask_picture** out);

/* As brask_open_memory and brask_open_path; besides, `why` (`why_size` bytes, null when
 * why_size is 0) receives a sentence for a person saying what went wrong, in the file's own
 * terms, cut to fit and always terminated (BRASK_EXPLANATION_SIZE holds any of them):
 *   BRASK_NOT_SUPPORTED  "not a G00 or PDT picture: a PDT starts with ..."
 *   BRASK_DAMAGED        "a G00 picture cut short: its header and compressed data need 5013
 *                         bytes, the file holds 100", "a damaged PDT picture: its header gives
 *                         a size of 0 x 4 pixels"
 *   any other result     brask_result_text's words.
 * On success `why` is the empty string. Nothing else differs from the plain calls. */
#define BRASK_EXPLANATION_SIZE 256
BRASK_API brask_result brask_open_memory_explained(const void* data, size_t length,
                                                   const char* name_hint, uint64_t memory_limit,
                                                   brask_picture** out, char* why,
                                                   size_t why_size);
BRASK_API brask_result brask_open_path_explained(const char* path, uint64_t memory_limit,
                                                 brask_picture** out, char* why,
                                                 size_t why_size);

/* Whether brask_open_* would take bytes that start with `head` (`length` bytes, at least 5
 * are needed) and a name for a picture: BRASK_FORMAT_G00 or BRASK_FORMAT_PDT, else 0. The
 * same rule as opening, from 5 bytes only; it allocates nothing, so it suits sniffing. */
BRASK_API uint32_t brask_recognise(const void* head, size_t length, const char* name_hint);

/* Frees the handle and everything it holds. A null handle is ignored. */
BRASK_API void brask_close(brask_picture* picture);

BRASK_API brask_result brask_get_info(const brask_picture* picture, brask_info* out);

/* Part `n` (0 <= n < part_count) of a type-2 G00. */
BRASK_API brask_result brask_get_part(const brask_picture* picture, uint32_t n,
                                      brask_part* out);

/* Decodes the whole picture as RGBA8, straight alpha, top row first: height rows of
 * width * 4 bytes, each starting `stride` bytes after the previous. Bytes between rows are
 * not written. Opaque modes give alpha 255; masked PDT10 gives the mask as alpha and the
 * colour as stored, even where alpha is 0; type-2 G00 gives the composed picture, later blocks
 * copied over earlier ones, and (0, 0, 0, 0) where no block lies; the indexed modes give
 * their palette's colours. `size` is the buffer's length in bytes. */
BRASK_API brask_result brask_decode_rgba(brask_picture* picture, uint8_t* dst, size_t size,
                                         size_t stride);

/* Decodes an indexed picture (G00 type 1, PDT11): height rows of width index bytes, top row
 * first, `stride` bytes apart, and the palette as palette_size entries of red, green, blue
 * (3 bytes each) into `palette`, of `palette_bytes` bytes (which may be null when
 * palette_size is 0). An index at or beyond palette_size has no colour of its own; RGBA
 * decoding gives it opaque black. */
BRASK_API brask_result brask_decode_indexed(brask_picture* picture, uint8_t* dst, size_t size,
                                            size_t stride, uint8_t* palette,
                                            size_t palette_bytes);

/* Decodes part `n` of a type-2 G00 on its own: its own width x height as RGBA8, as in
 * brask_decode_rgba, with its blocks at their offsets from the part's origin, clipped to the
 * part. A part without a picture of its own (width below 1 or height 0) writes nothing and
 * answers BRASK_OK. */
BRASK_API brask_result brask_decode_part_rgba(brask_picture* picture, uint32_t n, uint8_t* dst,
                                              size_t size, size_t stride);

/* ---- Writing ------------------------------------------------------------------------- */

/* How hard an encoder works: levels 0 (fastest) to 9 (an optimal parse, the smallest files).
 * Level 4 is the lazy matcher of earlier versions; no level above it ever writes a larger
 * file. BRASK_ENCODE_DEFAULT_LEVEL is level 9, chosen by measurement (bench/encode_report):
 * files up to 12% smaller than level 4's, at 1.3 MB/s of RGBA input or more (flat art, the
 * slowest) and 5 to 40 MB/s on photographs. */
#define BRASK_ENCODE_DEFAULT_LEVEL (-1)

typedef struct brask_encode_options {
  int32_t level;        /* 0..9, or BRASK_ENCODE_DEFAULT_LEVEL */
  uint32_t drop_alpha;  /* modes without alpha: 1 ignores alpha; 0 refuses any alpha below
                           255 with BRASK_ALPHA_NOT_STORED */
} brask_encode_options;

/* Every encoder hands back a new file in *out (*out_size bytes), to free with brask_free;
 * on failure *out is null and *out_size 0. `options` may be null: the default level, alpha
 * refused. Nothing the caller gives can crash an encoder: bad arguments answer a result
 * (BRASK_INVALID_ARGUMENT for a null pointer, a zero size, a stride below a row, rows whose
 * extent overflows, an unknown mode or a level outside 0..9; BRASK_TOO_LARGE for a G00
 * side above 65535 or a PDT side above 2^31 - 1, or a file beyond 32-bit offsets;
 * BRASK_OUT_OF_MEMORY when an allocation fails). */

/* Encodes width x height RGBA8 pixels (straight alpha, top row first, rows `stride` bytes
 * apart) in `mode` (brask_mode). The alpha modes keep alpha and the colour under alpha 0;
 * the opaque modes keep the colours; the indexed modes build a palette of the colours used
 * (BRASK_TOO_MANY_COLOURS beyond 256). BRASK_MODE_G00_TYPE2 writes one part covering the
 * picture. Decoding the file gives back exactly what the mode keeps. */
BRASK_API brask_result brask_encode_rgba(uint32_t mode, const uint8_t* rgba, uint32_t width,
                                         uint32_t height, size_t stride,
                                         const brask_encode_options* options, uint8_t** out,
                                         size_t* out_size);

/* Encodes width x height palette indexes (one byte each, rows `stride` bytes apart) and
 * palette_size (at most 256) entries of red, green, blue in an indexed mode (G00 type 1 or
 * PDT11; another mode answers BRASK_NOT_INDEXED). Indexes at or beyond palette_size are
 * stored as given. PDT11 stores 256 entries, the missing ones black. */
BRASK_API brask_result brask_encode_indexed(uint32_t mode, const uint8_t* indexes,
                                            uint32_t width, uint32_t height, size_t stride,
                                            const uint8_t* palette, uint32_t palette_size,
                                            const brask_encode_options* options, uint8_t** out,
                                            size_t* out_size);

/* One part of a type-2 G00 to write: what brask_get_part and brask_decode_part_rgba give. */
typedef struct brask_encode_part {
  uint32_t index;      /* its place in the directory; strictly increasing from part to part,
                          places skipped are written as empty entries */
  int32_t width;       /* as stored; below 1: no picture of its own (rgba is not read) */
  int32_t height;      /* not negative; 0: no picture of its own */
  uint32_t origin_x;   /* the stored origin; origin + size must fit the file's 16-bit fields */
  uint32_t origin_y;
  const uint8_t* rgba; /* width x height RGBA8, straight alpha, rows `stride` bytes apart */
  size_t stride;
} brask_encode_part;

/* Writes a type-2 G00 of `count` (at least 1) parts, stacked in order as the format composes
 * them; the composed picture (as wide as the widest part, as high as all) must have pixels
 * and fit 65535 x 65535. Only pixels that are (0, 0, 0, 0) are left out of the blocks, so
 * every part decodes back exactly. */
BRASK_API brask_result brask_encode_g00_parts(const brask_encode_part* parts, uint32_t count,
                                              const brask_encode_options* options,
                                              uint8_t** out, size_t* out_size);

/* Frees what an encoder handed back. Null is ignored. */
BRASK_API void brask_free(void* memory);

/* The result in words, for messages: "out of memory", never null. */
BRASK_API const char* brask_result_text(brask_result result);

/* The release's version as "major.minor.patch", as brask --version and brask.pc give it.
 * The interface's own version is BRASK_VERSION_MAJOR and _MINOR above. */
BRASK_API const char* brask_version(void);

#ifdef __cplusplus
}
#endif

#endif /* BRASK_BRASK_H */
