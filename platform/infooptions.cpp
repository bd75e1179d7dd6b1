#include "infooptions.h"

#include <cstring>

namespace platform {

const char* programVersion() {
    return QM_VERSION;
}

int answerInfoOptions(int argc, char** argv, const char* program, const char* summary,
                      std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0)
            break;
        int written = 0;
        if (std::strcmp(a, "--version") == 0)
            written = std::fprintf(out, "%s %s\n", program, programVersion());
        else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0)
            written = std::fprintf(out,
                                   "Usage: %s [--help] [--version]\n%s\n\n"
                                   "  -h, --help   this text\n"
                                   "  --version    the version of %s\n",
                                   program, summary, program);
        else
            continue;
        return written < 0 || std::fflush(out) != 0 ? 2 : 0;
    }
    return -1;
}

} // namespace platform
