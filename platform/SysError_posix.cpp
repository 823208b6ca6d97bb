#include <cerrno>

#include "platform/SysError.h"

namespace platform {

std::string SystemErrorText(uint32_t code) {
    // The Windows numbers the POSIX platform layer reports, with the texts Windows gives them.
    switch (code) {
        case 0:
            return "The operation completed successfully.";
        case 1:
            return "Incorrect function.";
        case 2:
            return "The system cannot find the file specified.";
        case 3:
            return "The system cannot find the path specified.";
        case 4:
            return "The system cannot open the file.";
        case 5:
            return "Access is denied.";
        case 6:
            return "The handle is invalid.";
        case 8:
            return "Not enough memory resources are available to process this command.";
        case 15:
            return "The system cannot find the drive specified.";
        case 19:
            return "The media is write protected.";
        case 21:
            return "The device is not ready.";
        case 23:
            return "Data error (cyclic redundancy check).";
        case 25:
            return "The drive cannot locate a specific area or track on the disk.";
        case 29:
            return "The system cannot write to the specified device.";
        case 30:
            return "The system cannot read from the specified device.";
        case 31:
            return "A device attached to the system is not functioning.";
        case 32:
            return "The process cannot access the file because it is being used by another "
                   "process.";
        case 33:
            return "The process cannot access the file because another process has locked a "
                   "portion of the file.";
        case 38:
            return "Reached the end of the file.";
        case 39:
            return "The disk is full.";
        case 80:
            return "The file exists.";
        case 87:
            return "The parameter is incorrect.";
        case 112:
            return "There is not enough space on the disk.";
        case 126:
            return "The specified module could not be found.";
        case 123:
            return "The filename, directory name, or volume label syntax is incorrect.";
        case 145:
            return "The directory is not empty.";
        case 183:
            return "Cannot create a file when that file already exists.";
        case 193:
            return "%1 is not a valid Win32 application.";
        case 206:
            return "The filename or extension is too long.";
        default:
            return "";
    }
}

uint32_t LastSystemError() {
    switch (errno) {
        case 0:
            return 0;
        case ENOENT:
            return 2;
        case ENOTDIR:
            return 3;
        case EMFILE:
        case ENFILE:
            return 4;
        case EACCES:
        case EPERM:
        case EISDIR:
            return 5;
        case EBADF:
            return 6;
        case ENOMEM:
            return 8;
        case EROFS:
            return 19;
        case EBUSY:
        case ETXTBSY:
            return 32;
        case EEXIST:
            return 80;
        case EINVAL:
            return 87;
        case ENOSPC:
            return 112;
        case ENOTEMPTY:
            return 145;
        case ENAMETOOLONG:
            return 206;
        default:
            return 31;  // a device attached to the system is not functioning
    }
}

void ClearSystemError() {
    errno = 0;
}

}  // namespace platform
