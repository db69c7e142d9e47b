// Reads an AVI file back chunk by chunk, as a video tool would.
#ifndef TARN2_TESTS_AVI_READER_H
#define TARN2_TESTS_AVI_READER_H

#include <string>
#include <vector>

#include "test_support.h"

struct Chunk {
    std::string id;
    std::string type;   // for RIFF and LIST
    size_t offset = 0;  // of the id in the file
    std::string data;   // for plain chunks
    std::vector<Chunk> children;
};

inline DWORD Dword(const std::string& s, size_t at) {
    return (DWORD)(BYTE)s[at] | (DWORD)(BYTE)s[at + 1] << 8 | (DWORD)(BYTE)s[at + 2] << 16 |
           (DWORD)(BYTE)s[at + 3] << 24;
}

inline WORD Word(const std::string& s, size_t at) {
    return (WORD)((BYTE)s[at] | (BYTE)s[at + 1] << 8);
}

// Reads the chunks in [begin, end); false when one overruns its parent.
inline bool ReadChunks(const std::string& file, size_t begin, size_t end, std::vector<Chunk>* out) {
    size_t at = begin;
    while (at < end) {
        if (at + 8 > end) return false;
        Chunk chunk;
        chunk.id = file.substr(at, 4);
        chunk.offset = at;
        DWORD size = Dword(file, at + 4);
        if (at + 8 + size > end) return false;
        if (chunk.id == "RIFF" || chunk.id == "LIST") {
            chunk.type = file.substr(at + 8, 4);
            if (!ReadChunks(file, at + 12, at + 8 + size, &chunk.children)) return false;
        } else {
            chunk.data = file.substr(at + 8, size);
        }
        out->push_back(chunk);
        at += 8 + size + (size & 1);
    }
    return at == end;
}

// The frames of a whole AVI file: the RIFF spans the file, and the main
// header, the stream header, 'movi' and the index all count the same
// frames. -1 (with the reason) when the file is not that.
inline int AviFrames(const std::string& path, std::string* why) {
    std::string file = ReadFileText(path);
    std::vector<Chunk> top;
    if (!ReadChunks(file, 0, file.size(), &top) || top.size() != 1 || top[0].type != "AVI ") {
        *why = "not one RIFF AVI spanning the file of " + std::to_string(file.size()) + " bytes";
        return -1;
    }
    const std::vector<Chunk>& parts = top[0].children;
    if (parts.size() != 3 || parts[0].type != "hdrl" || parts[1].type != "movi" || parts[2].id != "idx1" ||
        parts[0].children.size() != 2 || parts[0].children[0].data.size() < 56 ||
        parts[0].children[1].children.empty() || parts[0].children[1].children[0].data.size() < 56) {
        *why = "not hdrl (with avih and strl), movi and idx1";
        return -1;
    }
    size_t frames = parts[1].children.size();
    DWORD main = Dword(parts[0].children[0].data, 16), stream = Dword(parts[0].children[1].children[0].data, 32);
    if (main != frames || stream != frames || parts[2].data.size() != frames * 16) {
        *why = "the counts differ: " + std::to_string(main) + " " + std::to_string(stream) + " " +
               std::to_string(frames) + " " + std::to_string(parts[2].data.size() / 16);
        return -1;
    }
    return (int)frames;
}

#endif
