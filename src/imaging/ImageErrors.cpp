#include "imaging/ImageErrors.h"

const char* ImageErrorText(uint32_t iCode)
{
    switch (iCode) {
    case IMG_OK: return "";
    case IMG_INVALID_TIFF_ARGUMENTS: return "Invalid tiff-arguments";
    case IMG_TIF_OUT_OF_MEMORY: return "tif out of memory";
    case IMG_CANT_OPEN_TIF: return "Can't open tif-file";
    case IMG_CANT_WRITE_TIF: return "Can't write tif-file";
    case IMG_CANT_SEEK_TIF: return "Can't seek tif-file";
    case IMG_CANT_OPEN_ICC: return "Can't open icc-file";
    case IMG_CANT_READ_TIF: return "Can't read tif-file";
    case IMG_CANT_WRITE_ICC: return "Can't write icc-file";
    case IMG_TIF_FORMAT_ERROR: return "Tif format error";
    case IMG_TIF_READ_TOO_LONG: return "Tif read too long";
    case IMG_UNSUPPORTED_TIF: return "Unsupported tif format";
    case IMG_INVALID_HUFFMAN_ARGUMENTS: return "Invalid huffman coder-arguments";
    case IMG_FILE_EXCEEDS_LIMIT: return "File exceeds format limit";
    case IMG_PACKBIT_CANT_READ: return "packbit-decoder cant read";
    case IMG_PACKBIT_FORMAT_ERROR: return "packbit-decoder format error";
    case IMG_NONE_CANT_READ: return "none-decoder cant read";
    case IMG_LZW_FORMAT_ERROR: return "lzw-decoder format error";
    case IMG_HUFFMAN_FORMAT_ERROR: return "huffman-decoder format error";
    case IMG_HUFFMAN_CANT_READ: return "huffman-decoder cant read";
    default: return "Unknown image error";
    }
}
