/* The contract between the archive component and its extraction engine module DelZip179.dll:
 * the six exports, the command record handed to DZ_UnzExec, the entry names it
 * points to, and the callback record the engine passes back for every progress step, message,
 * question and request.
 *
 * The records are little-endian wire formats. Fields are fixed-width integers and pointers in
 * this order, so on 32-bit targets every offset is the one noted beside it (checked below); on
 * 64-bit targets the pointers widen and the fields after them move. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define DZ_CALL __stdcall
#else
#define DZ_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The engine's interface version that the component accepts, and the one it writes into every
 * command. */
enum { DZ_MIN_VERSION = 179, DZ_MAX_VERSION = 300 };

/* The module's file name and the names of its exports. */
#define DZ_MODULE_NAME "DelZip179.dll"

typedef struct CallbackRecord CallbackRecord;

/* The component's callback: the command's caller value and the engine's record. Returns
 * DZ_CB_CONTINUE, DZ_CB_CANCEL or DZ_CB_HANDLER_FAILED; on the last two the command stops. */
typedef int32_t(DZ_CALL* DZ_Callback)(void* caller, CallbackRecord* record);

enum {
    DZ_CB_CONTINUE = 0,
    DZ_CB_CANCEL = 1,
    DZ_CB_HANDLER_FAILED = 10106,
};

/* One entry name or wildcard pattern to extract (32 bytes on 32-bit targets). */
typedef struct FileSpecEntry {
    const char* FileSpec; /* 0x00: zero-terminated text */
    uint8_t Reserved[28]; /* 0x04: zero */
} FileSpecEntry;

/* The command of one DZ_UnzExec call (152 bytes on 32-bit targets). The component zero-fills
 * it before setting it up. */
typedef struct UnzipCommand {
    void* ParentWindow;       /* 0x00: the program's window; 0 when unattended */
    void* Caller;             /* 0x04: handed back as the callback's first argument */
    int32_t Version;          /* 0x08: DZ_MIN_VERSION */
    DZ_Callback Callback;     /* 0x0C */
    int32_t Trace;            /* 0x10: 1 for trace messages */
    int32_t CodePage;         /* 0x14: name conversion: 0 auto, 1 none, 2 OEM */
    int32_t Reserved18;       /* 0x18 */
    const char* Password;     /* 0x1C: zero-terminated, at most 81 characters; may be null */
    int32_t TestOnly;         /* 0x20: 1: check the entries, write nothing */
    int32_t Reserved24;       /* 0x24 */
    int32_t Reserved28;       /* 0x28 */
    int32_t Fixed2C;          /* 0x2C: 1 */
    int32_t Verbose;          /* 0x30: 1 for informational messages */
    int32_t Update;           /* 0x34: 1: replace only older files, add missing ones */
    int32_t Freshen;          /* 0x38: 1: replace only older existing files */
    int32_t DirNames;         /* 0x3C: 1: keep the entries' folders */
    int32_t Overwrite;        /* 0x40: 1: replace existing files without asking */
    int32_t SpecCount;        /* 0x44: used entries of FileSpecs; 0 means every entry */
    const char* ArchiveName;  /* 0x48: zero-terminated */
    FileSpecEntry* FileSpecs; /* 0x4C */
    int32_t Reserved50;       /* 0x50 */
    int32_t ToMemory;         /* 0x54: 1: the one entry goes into OutputBlock */
    void* OutputBlock;        /* 0x58 */
    uint32_t OutputSize;      /* 0x5C */
    int32_t FromMemory;       /* 0x60: 1: the archive is InputBlock, not a file */
    const void* InputBlock;   /* 0x64 */
    uint32_t InputSize;       /* 0x68 */
    int32_t PasswordRequests; /* 0x6C: how often the engine may ask per entry (0..15) */
    const char* BaseDir;      /* 0x70: 261-byte buffer, zero-terminated; null for none */
    int32_t Reserved74[8];    /* 0x74 to 0x90 */
    int32_t Fixed94;          /* 0x94: 7 */
} UnzipCommand;

/* Actions of the callback record (the low 6 bits of ActionReply on the way in). */
enum {
    DZ_ACT_TICK = 0,
    DZ_ACT_ITEM = 1,     /* start of an item: Name, Size */
    DZ_ACT_PROGRESS = 2, /* bytes done for the item: Size */
    DZ_ACT_END_OF_BATCH = 3,
    DZ_ACT_MESSAGE = 4,      /* Number: error (0 for a note), Name: the text */
    DZ_ACT_COUNT = 5,        /* Number: items to process */
    DZ_ACT_SIZE = 6,         /* Size: bytes to process */
    DZ_ACT_NEW_NAME = 7,     /* adding */
    DZ_ACT_PASSWORD = 8,     /* Number: password requests left; reply: the password */
    DZ_ACT_CRC_ERROR = 9,    /* Number: found CRC, Number2: expected CRC */
    DZ_ACT_OVERWRITE = 10,   /* Number: overwrite by default, Number2: entry index, Age */
    DZ_ACT_SKIPPED = 11,     /* Number: error, Number2: skip reason + 1 */
    DZ_ACT_COMMENT = 12,     /* adding */
    DZ_ACT_STREAM_SIZE = 13, /* Size: bytes wanted; reply: Second = the block's address */
    DZ_ACT_EXTRA_DATA = 14,  /* adding */
    DZ_ACT_XITEM = 15,       /* start of an extra stage: Number: stage, Name, Size */
    DZ_ACT_XPROGRESS = 16,   /* bytes done in the extra stage: Number, Size */
    DZ_ACT_EXT_NAME = 17,    /* name of a file about to be written */
    DZ_ACT_ABORT_VALUE = 18, /* Number: the value DZ_Abort takes */
    DZ_ACT_MASK = 63,
};

/* Replies written to ActionReply. */
enum {
    DZ_REPLY_YES = -1,       /* use the answer, or continue */
    DZ_REPLY_NO = -2,        /* no, or refused */
    DZ_REPLY_NO_TO_ALL = -3, /* no for this one and those that follow */
};

/* Results of DZ_UnzExec below zero. */
enum {
    DZ_ERR_CANCELLED = -1,
    DZ_ERR_ABORTING = -2,
    DZ_ERR_HANDLER = -3,
    DZ_ERR_MEMORY = -4,
    DZ_ERR_STRUCTURE = -5,
};

/* Errors the engine reports: the Number of DZ_ACT_MESSAGE (0 for a note) and of
 * DZ_ACT_SKIPPED. */
enum {
    DZ_ERROR_NONE = 0,            /* a note, or an entry passed over by the options */
    DZ_ERROR_OPEN_ARCHIVE = 1,    /* the archive file cannot be opened */
    DZ_ERROR_NO_ARCHIVE = 2,      /* no zip archive, or its directory is damaged */
    DZ_ERROR_LOCAL_HEADER = 3,    /* no valid local header at the entry's offset */
    DZ_ERROR_OUTSIDE = 4,         /* the entry's data runs past the end of the archive's data */
    DZ_ERROR_OVERLAP = 5,         /* the entry's data overlaps another entry's */
    DZ_ERROR_METHOD = 6,          /* a compression method other than stored or deflated */
    DZ_ERROR_ENCRYPTION = 7,      /* a kind of encryption other than the traditional one */
    DZ_ERROR_PASSWORD = 8,        /* no password, or a wrong one */
    DZ_ERROR_HANDLER = 9,         /* an event handler of the component failed */
    DZ_ERROR_DATA = 10,           /* the compressed data is damaged or incomplete */
    DZ_ERROR_CRC = 12,            /* the content's CRC differs from the declared one */
    DZ_ERROR_UNSAFE_NAME = 13,    /* the name would place the file outside the base folder */
    DZ_ERROR_CREATE_FOLDER = 14,  /* a folder cannot be created */
    DZ_ERROR_CREATE_FILE = 15,    /* a file cannot be created (a folder has its name, ...) */
    DZ_ERROR_WRITE = 16,          /* writing the file failed (the disk may be full) */
    DZ_ERROR_REPLACE = 17,        /* the complete file cannot take the place of the one there,
                                     which a running program holds */
    DZ_ERROR_MEMORY = 18,         /* the entry does not fit into memory */
    DZ_ERROR_BASE_DIR = 19,       /* the base folder does not exist */
    DZ_ERROR_READ = 20,           /* read error in the archive */
    DZ_ERROR_SIZE = 21,           /* the content is longer or shorter than declared */
    DZ_ERROR_INVALID_NAME = 22,   /* a name no Windows file system takes (device names, ...) */
    DZ_ERROR_REPLACE_REFUSED = 23, /* the complete file cannot take the place of the one there,
                                      and no program holds it (a refused write) */
};

/* Why an entry was skipped: DZ_ACT_SKIPPED's Number2 is the reason + 1. */
enum {
    DZ_SKIP_EXISTS = 0,        /* the file exists and is not to be replaced */
    DZ_SKIP_NO_FILE = 1,       /* freshen: no file to replace */
    DZ_SKIP_NOT_NEWER = 2,     /* freshen or update: the file is not older */
    DZ_SKIP_NO_PASSWORD = 3,   /* encrypted, and no password given */
    DZ_SKIP_BAD_PASSWORD = 4,  /* encrypted, and every password given was wrong */
    DZ_SKIP_UNSUPPORTED = 5,   /* method or encryption not supported */
    DZ_SKIP_DAMAGED = 6,       /* header, data, size or CRC wrong */
    DZ_SKIP_UNSAFE_NAME = 7,   /* a name outside the base folder, or one Windows refuses */
    DZ_SKIP_WRITE_FAILED = 8,  /* a folder or file cannot be created, written or put in place */
    DZ_SKIP_NO_MEMORY = 9,     /* the output block cannot be had */
};

/* The longest text of the reply area, and the area's size with its terminator. */
enum { DZ_REPLY_AREA = 513 };

/* The record of one callback; the engine owns it and makes it at least 537 bytes long on
 * 32-bit targets. The fields from 0x18 on overlap the reply area the component writes. */
struct CallbackRecord {
    uint8_t EngineData[8]; /* 0x00: the engine's own */
    int32_t AddFlag;       /* 0x08: non-zero during an add command */
    int32_t ActionReply;   /* 0x0C: in: action; out: reply */
    int32_t Number;        /* 0x10 */
    const char* Name;      /* 0x14: zero-terminated name or message text */
    union {
        struct {
            int64_t Size;    /* 0x18 */
            int64_t Written; /* 0x20: adding: bytes written so far */
            void* Second;    /* 0x28: second text, data, or (out) an address */
            int32_t Number2; /* 0x2C */
            int32_t Age;     /* 0x30: the value 2 means the existing file is not older */
        } In;
        char Reply[DZ_REPLY_AREA]; /* 0x18: out: the answer text or data */
    } Data;
};

/* The exports. */
typedef int32_t(DZ_CALL* DZ_VersionFn)(void);
typedef int32_t(DZ_CALL* DZ_PrivVersionFn)(void);
typedef const char*(DZ_CALL* DZ_PathFn)(void);
typedef int32_t(DZ_CALL* DZ_UnzExecFn)(UnzipCommand* command);
typedef int32_t(DZ_CALL* DZ_ZipExecFn)(void* command);
typedef void(DZ_CALL* DZ_AbortFn)(int32_t abortValue);

#ifdef __cplusplus
}
#endif

#if defined(__cplusplus) && UINTPTR_MAX == 0xFFFFFFFFu
/* The wire offsets, where pointers are 32 bits wide. */
static_assert(sizeof(FileSpecEntry) == 32, "FileSpecEntry layout");
static_assert(sizeof(UnzipCommand) == 152, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, Callback) == 0x0C, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, Password) == 0x1C, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, Fixed2C) == 0x2C, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, Overwrite) == 0x40, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, ArchiveName) == 0x48, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, ToMemory) == 0x54, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, OutputSize) == 0x5C, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, InputSize) == 0x68, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, PasswordRequests) == 0x6C, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, BaseDir) == 0x70, "UnzipCommand layout");
static_assert(offsetof(UnzipCommand, Fixed94) == 0x94, "UnzipCommand layout");
static_assert(offsetof(CallbackRecord, AddFlag) == 0x08, "CallbackRecord layout");
static_assert(offsetof(CallbackRecord, ActionReply) == 0x0C, "CallbackRecord layout");
static_assert(offsetof(CallbackRecord, Number) == 0x10, "CallbackRecord layout");
static_assert(offsetof(CallbackRecord, Name) == 0x14, "CallbackRecord layout");
static_assert(offsetof(CallbackRecord, Data.In.Size) == 0x18, "CallbackRecord layout");
static_assert(offsetof(CallbackRecord, Data.In.Written) == 0x20, "CallbackRecord layout");
static_assert(offsetof(CallbackRecord, Data.In.Second) == 0x28, "CallbackRecord layout");
static_assert(offsetof(CallbackRecord, Data.In.Number2) == 0x2C, "CallbackRecord layout");
static_assert(offsetof(CallbackRecord, Data.In.Age) == 0x30, "CallbackRecord layout");
static_assert(offsetof(CallbackRecord, Data.Reply) == 0x18, "CallbackRecord layout");
static_assert(sizeof(CallbackRecord) >= 537, "CallbackRecord layout");
#endif
