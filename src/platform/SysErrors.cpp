#include "platform/SysErrors.h"

#include "platform/TextUtils.h"

#include <cerrno>
#include <cstring>

namespace vantle {

EInOutError::EInOutError(int errorCode, std::string fileName)
    : Exception(TextOf(errorCode)), FErrorCode(errorCode), FFileName(std::move(fileName)) {}

EInOutError::EInOutError(int errorCode, std::string fileName, std::string message)
    : Exception(std::move(message)), FErrorCode(errorCode), FFileName(std::move(fileName)) {}

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
    case InOutDeviceError:
        return "Input/output error";
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
    case EIO: // passed through, it would read as 5, "File access denied"
        return InOutDeviceError;
    default:
        return err;
    }
}

std::string PlainErrorText(int err) {
    switch (err) {
    case EPERM:
    case EACCES:
        return "access denied";
    case ENOENT:
        return "file not found";
    case EINVAL:
        return "invalid argument";
    default: {
        std::string text = std::strerror(err);
        if (!text.empty())
            text[0] = AsciiLower(text[0]);
        return text;
    }
    }
}

void RaiseInOutError(int err, const std::string& fileName) {
    throw EInOutError(InOutCodeFromErrno(err), fileName);
}

std::string DescribeError(const std::exception& error) {
    const auto* io = dynamic_cast<const EInOutError*>(&error);
    if (io == nullptr || io->FileName().empty())
        return error.what();
    return io->FileName() + ": " + io->Message();
}

} // namespace vantle
