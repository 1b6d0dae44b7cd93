#include "platform/Log.h"

#include <string>
#include <unistd.h>

namespace orvela {

void log(std::string_view text) {
    std::string line = "Orvela: ";
    line.append(text);
    line.push_back('\n');
    // One write per line, so lines from several threads never interleave.
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t written = ::write(STDERR_FILENO, data, left);
        if (written <= 0) return;
        data += written;
        left -= static_cast<size_t>(written);
    }
}

}  // namespace orvela
