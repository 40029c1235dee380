// Writes the resource movies into a folder: movie_gen OUTPUT-FOLDER
#include <fstream>
#include <iostream>

#include "tools/movies/movies.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: movie_gen OUTPUT-FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    const std::pair<const char*, std::string> movies[] = {
        {"setvolume.swf", SetVolumeMovie()},
        {"flvplayback.swf", PlaceholderMovie("flvplayback")},
        {"clearoverall.swf", PlaceholderMovie("skin clearoverall")},
        {"steel.swf", PlaceholderMovie("skin steel")},
        {"mojave.swf", PlaceholderMovie("skin mojave")},
    };
    for (const auto& [name, bytes] : movies) {
        std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out) {
            std::cerr << "movie_gen: cannot write " << folder << "/" << name << "\n";
            return 1;
        }
    }
    return 0;
}
