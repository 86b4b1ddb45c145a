#include "tts/workerwarmup.h"

#include "common/qt_osdirs.h"
#include "tts/engine/ortsession.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// An ONNX model (IR 7, opset 13) with one Identity node from float[1] "x" to float[1] "y".
const unsigned char kIdentityModel[] = {
    0x08, 0x07, 0x3a, 0x37, 0x0a, 0x10, 0x0a, 0x01, 0x78, 0x12, 0x01, 0x79, 0x22, 0x08, 0x49, 0x64, 0x65,
    0x6e, 0x74, 0x69, 0x74, 0x79, 0x12, 0x01, 0x77, 0x5a, 0x0f, 0x0a, 0x01, 0x78, 0x12, 0x0a, 0x0a, 0x08,
    0x08, 0x01, 0x12, 0x04, 0x0a, 0x02, 0x08, 0x01, 0x62, 0x0f, 0x0a, 0x01, 0x79, 0x12, 0x0a, 0x0a, 0x08,
    0x08, 0x01, 0x12, 0x04, 0x0a, 0x02, 0x08, 0x01, 0x42, 0x04, 0x0a, 0x00, 0x10, 0x0d};

} // namespace

void tts_worker_warmup() {
    const std::string tmp = sysTempDir();
    if (tmp.empty()) {
        return;
    }
    std::string path = tmp + "/parlona-warmup-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) {
        return;
    }
    const bool written =
        ::write(fd, kIdentityModel, sizeof(kIdentityModel)) == static_cast<ssize_t>(sizeof(kIdentityModel));
    ::close(fd);
    if (written) {
        OrtSession session;
        std::string error;
        session.load(path, OrtSession::Options{}, error);
    }
    ::unlink(path.c_str());
}
