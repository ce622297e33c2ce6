#include "platform/SysErrors.h"

#include <cerrno>

namespace vantle {

EInOutError::EInOutError(int errorCode) : Exception(TextOf(errorCode)), FErrorCode(errorCode) {}

std::string EInOutError::TextOf(int errorCode) {
    switch (errorCode) {
    case 2:
        return "File not found";
    case 3:
        return "Invalid filename";
    case 4:
        return "Too many open files";
    case 5:
        return "File access denied";
    case 100:
        return "Read beyond end of file";
    case 101:
        return "Disk full";
    case 106:
        return "Invalid numeric input";
    default:
        return "I/O error " + std::to_string(errorCode);
    }
}

int InOutCodeFromErrno(int err) {
    switch (err) {
    case ENOENT:
        return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return 5;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return 101;
    default:
        return err;
    }
}

void RaiseInOutError(int err) {
    throw EInOutError(InOutCodeFromErrno(err));
}

} // namespace vantle
