#pragma once
// Result codes of image-file operations: 0 for success, else 0x8447xxxx with a
// fixed message text the caller can show.
#include <cstdint>

enum EImageError : uint32_t {
    IMG_OK = 0,
    IMG_INVALID_TIFF_ARGUMENTS = 0x84470014,
    IMG_TIF_OUT_OF_MEMORY = 0x84470015,
    IMG_CANT_OPEN_TIF = 0x84470016,
    IMG_CANT_WRITE_TIF = 0x84470017,
    IMG_CANT_SEEK_TIF = 0x84470018,
    IMG_CANT_OPEN_ICC = 0x84470019,
    IMG_CANT_READ_TIF = 0x8447001A,
    IMG_CANT_WRITE_ICC = 0x8447001B,
    IMG_TIF_FORMAT_ERROR = 0x8447001C,
    IMG_TIF_READ_TOO_LONG = 0x8447001D,
    IMG_UNSUPPORTED_TIF = 0x8447001E,
    IMG_INVALID_HUFFMAN_ARGUMENTS = 0x84470028,
    IMG_FILE_EXCEEDS_LIMIT = 0x8447003C,
    IMG_PACKBIT_CANT_READ = 0x844703F8,
    IMG_PACKBIT_FORMAT_ERROR = 0x844703F9,
    IMG_NONE_CANT_READ = 0x844703FA,
    IMG_LZW_FORMAT_ERROR = 0x844703FB,
    IMG_HUFFMAN_FORMAT_ERROR = 0x844703FC,
    IMG_HUFFMAN_CANT_READ = 0x844703FD,
};

// The message of a code, "" for 0 and "Unknown image error" for codes outside the table.
const char* ImageErrorText(uint32_t iCode);

// Thrown by the buffered TIFF output when the disk refuses bytes in the middle
// of a row; the writer's receiver operations turn it back into its code.
struct CImageError {
    uint32_t m_iCode;
};
