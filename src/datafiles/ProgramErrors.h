#pragma once
// Program error codes: a number of the family's shared error list turned into
// a 32-bit result that carries the error's class, so callers can tell a
// failure (negative) from a warning (positive) without looking the text up.
#include <cstdint>
#include <string>

enum EErrorClass : int32_t {
    ERROR_CLASS_USER = 0,        // user correctable
    ERROR_CLASS_SUPPORT = 1,     // support correctable
    ERROR_CLASS_DEVELOPMENT = 2, // correctable by development
    ERROR_CLASS_WARNING = 3,
};

// Numbers this program raises.
enum EProgramErrorNumber : uint16_t {
    PERR_USER_CANCELLED = 120,
    PERR_LGO_MAX_LOOPS = 978,
    PERR_KPLATE_LINES_NOT_FOUND = 983,
    PERR_OFFSET_NOT_ADJUSTABLE = 984,
    PERR_GAIN_NOT_ADJUSTABLE = 985,
    PERR_KPLATE_BLACK_TOO_HIGH = 990,
    PERR_NO_DATA_IN_SCAN = 993,
    PERR_START_STOP_NOT_SAVED = 997,
    PERR_CCD_NOT_CENTERED = 998,
    PERR_SCANNER_SELFTEST = 1023,
    PERR_STITCH_ALIGNMENT_FAILED = 1025,
    PERR_REDO_CAMERA_ADJUSTMENT = 1029,
    PERR_ORIGINAL_MOVE_TIMEOUT = 1185,
    PERR_END_OF_MEDIA = 1199,
};

struct CErrorListEntry {
    uint16_t m_iNumber;
    int32_t m_iClass;
    int32_t m_iCategory;        // 2000 in every entry
    const char* m_szFirstText;  // empty in every entry
    const char* m_szSecondText; // empty in every entry

    std::string Message() const; // the text shown to the user
};

// The first list entry with that number (the list holds 1100 and 1101 twice),
// nullptr when the number is not in the list.
const CErrorListEntry* FindErrorListEntry(uint32_t iNumber);
size_t ErrorListSize();
const CErrorListEntry& ErrorListEntry(size_t i);

// The result code of a class and number: classes 0..2 set bit 31 and carry the
// class in bits 25-26; class 3 is a warning (top byte 0x06).
int32_t MakeErrorCode(int32_t iClass, uint32_t iFacility, uint32_t iNumber);
inline constexpr uint32_t ERROR_FACILITY_PROGRAM = 0x37;
inline constexpr uint32_t ERROR_FACILITY_IMAGE_FILE = 0x47;

// The result code of a number of the list. A number not in the list (never
// asked for by this program) is treated as a development-class failure.
int32_t MakeProgramError(uint32_t iNumber);
// The number in the low 16 bits of a code.
inline uint32_t ProgramErrorNumber(int32_t iCode) { return static_cast<uint32_t>(iCode) & 0xFFFFu; }
