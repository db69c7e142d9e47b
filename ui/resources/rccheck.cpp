// Build tool, not part of the driver: reads the resource script with the
// POSIX layer's own reader before it is embedded, so that a malformed
// script stops the build with its file and line instead of failing when a
// dialog first opens. Usage: tarn2_rccheck SCRIPT [HEADER...]
#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/posix_windows.h"

static bool ReadFile(const char* path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream all;
    all << in.rdbuf();
    *text = all.str();
    return true;
}

static std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s SCRIPT [HEADER...]\n", argv[0]);
        return 2;
    }
    std::string script;
    if (!ReadFile(argv[1], &script)) {
        fprintf(stderr, "%s: cannot read it\n", argv[1]);
        return 1;
    }
    std::vector<std::string> names, texts;
    for (int i = 2; i < argc; ++i) {
        std::string text;
        if (!ReadFile(argv[i], &text)) {
            fprintf(stderr, "%s: cannot read it\n", argv[i]);
            return 1;
        }
        names.push_back(BaseName(argv[i]));
        texts.push_back(text);
    }
    std::vector<const char*> includes;
    for (size_t i = 0; i < names.size(); ++i) {
        includes.push_back(names[i].c_str());
        includes.push_back(texts[i].c_str());
    }
    char error[512];
    if (!PosixCheckResourceScript(argv[1], script.data(), script.size(), includes.data(),
                                  static_cast<int>(names.size()), error, sizeof error)) {
        fprintf(stderr, "%s\n", error);
        return 1;
    }
    return 0;
}
