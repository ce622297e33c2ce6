#include "platform/ProgramStarter.h"

namespace vantle {

std::string StartErrorMeaning(std::uint32_t code) {
    const char* meaning = nullptr;
    switch (code) {
    case 0:
        meaning = "out of resources";
        break;
    case SE_ERR_FNF:
        meaning = "file not found";
        break;
    case SE_ERR_PNF:
        meaning = "path not found";
        break;
    case SE_ERR_ACCESSDENIED:
        meaning = "access denied";
        break;
    case SE_ERR_OOM:
        meaning = "out of memory";
        break;
    case ERROR_BAD_FORMAT:
        meaning = "not an executable";
        break;
    case SE_ERR_NOASSOC:
        meaning = "no application for the document";
        break;
    default:
        meaning = "error";
        break;
    }
    return meaning;
}

std::string StartErrorText(std::uint32_t code) {
    return StartErrorMeaning(code) + " (" + std::to_string(code) + ")";
}

} // namespace vantle
