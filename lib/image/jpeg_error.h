#pragma once
// libjpeg's standard error manager with its fatal exit turned into a jump back
// to the caller; the reader and the writer share it.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace velk {

struct JpegErrorManager {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Sets up the manager; warnings are kept quiet, the fatal message is kept in
// `message` before the jump.
jpeg_error_mgr* InitJpegErrorManager(JpegErrorManager* error);

}  // namespace velk
