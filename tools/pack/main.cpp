#include <iostream>

#include "tools/pack/pack_commands.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // "cat" writes entries byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return RunPackCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
