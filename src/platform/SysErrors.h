// The run-time's exceptions shared by every layer: the common base, the
// input/output error that carries the platform's code and the file, and the conversion error.
#pragma once

#include <exception>
#include <string>

namespace vantle {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const { return FMessage; }

private:
    std::string FMessage;
};

/// The code of an operation the device or file system failed (errno EIO).
constexpr int InOutDeviceError = 162;

/// A file failure. Codes follow the old run-time: 2 "File not found", 3 "Invalid
/// filename", 4 "Too many open files", 5 "File access denied", 100 "Read beyond end of
/// file", 101 "Disk full", 106 "Invalid numeric input", 162 "Input/output error" (a
/// device or file system that failed the operation), any other "I/O error %d".
/// The message is the code's text alone; the file it concerns is kept beside it, for
/// the places that show errors to a person (DescribeError).
class EInOutError : public Exception {
public:
    explicit EInOutError(int errorCode, std::string fileName = {});
    int ErrorCode() const { return FErrorCode; }
    /// The file the failure concerns; empty when none is known.
    const std::string& FileName() const { return FFileName; }
    static std::string TextOf(int errorCode);

protected:
    /// A failure with a message of its own rather than the code's text.
    EInOutError(int errorCode, std::string fileName, std::string message);

private:
    int FErrorCode;
    std::string FFileName;
};

/// The run-time code for an errno value (ENOENT gives 2, EACCES 5, ENOSPC 101, ...).
int InOutCodeFromErrno(int err);
/// The plain reason for an errno value, in lower case for use inside a sentence:
/// "access denied", "file not found", "invalid argument", ...
std::string PlainErrorText(int err);
/// Throws EInOutError for errno `err`, about `fileName` when it concerns a file.
[[noreturn]] void RaiseInOutError(int err, const std::string& fileName = {});
/// The error's message as a person should see it: for an input/output error about a
/// file, the file first ("/home/a/vantle.LOG: File access denied"); else what().
std::string DescribeError(const std::exception& error);

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

} // namespace vantle
