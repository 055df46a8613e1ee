#include "lib/image/jpeg_error.h"

#include <cstring>

namespace velk {

namespace {

[[noreturn]] void ExitToCaller(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

void QuietMessage(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* InitJpegErrorManager(JpegErrorManager* error) {
    jpeg_std_error(&error->manager);
    error->manager.error_exit = ExitToCaller;
    error->manager.output_message = QuietMessage;
    error->message[0] = '\0';
    return &error->manager;
}

}  // namespace velk
