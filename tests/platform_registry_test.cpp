// The registry hive: Win32 result codes and type rules, the REGEDIT4 text,
// sharing between processes, and damaged files.
#include <sys/wait.h>
#include <unistd.h>

#include "settings/registry.h"
#include "test_support.h"

namespace {

const char* const kSection = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\MARBECK\\TARN2]\n";

class Hive : public FreshHome {
protected:
    LONG Create(HKEY* key, REGSAM access, const char* path = TARN2_REGISTRY_KEY, DWORD* disposition = nullptr) {
        DWORD ignored;
        return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key,
                               disposition ? disposition : &ignored);
    }
    LONG Set(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
        return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    }
    // Waits for a child process; answers whether it exited with 0.
    static bool Reaped(pid_t child) {
        int status = 0;
        return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

TEST_F(Hive, KeysMustExistToOpenAndComeWithTheirParents) {
    HKEY key = nullptr, created = nullptr, again = nullptr;
    DWORD made = 0, found = 0;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    ASSERT_EQ(Create(&created, KEY_READ | KEY_WRITE, TARN2_REGISTRY_KEY, &made), ERROR_SUCCESS);
    ASSERT_EQ(Create(&again, KEY_READ, "software\\marbeck\\tarn2", &found), ERROR_SUCCESS);
    EXPECT_EQ((Results{made, found}), (Results{REG_CREATED_NEW_KEY, REG_OPENED_EXISTING_KEY}));
    // Each key closes once, and the parent came with the key.
    EXPECT_EQ((Results{RegCloseKey(again), RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\MARBECK", 0, KEY_READ, &key),
                       RegCloseKey(key), RegCloseKey(created), RegCloseKey(created)}),
              (Results{ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_INVALID_HANDLE}));
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(0x1234), "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
}

TEST_F(Hive, QueriesFollowTheWin32SizeRules) {
    HKEY key = nullptr;
    ASSERT_EQ(Create(&key, KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    DWORD number = 0x80000001, type = 0, size = 0, read = 0;
    ASSERT_EQ(Set(key, "FrameRate", REG_DWORD, &number, 4), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, "Language", REG_SZ, "Deutsch", 8), ERROR_SUCCESS);
    char small[4];
    BYTE* into = reinterpret_cast<BYTE*>(&read);
    // The size and type of a name in another case; a buffer too small: the size needed; a number; none; no size.
    EXPECT_EQ((Results{RegQueryValueExA(key, "language", nullptr, &type, nullptr, &size), type, size,
                       RegQueryValueExA(key, "Language", nullptr, &type, reinterpret_cast<BYTE*>(small), &(size = 4)),
                       size, RegQueryValueExA(key, "FRAMERATE", nullptr, &type, into, &(size = 4)), read,
                       RegQueryValueExA(key, "Missing", nullptr, &type, into, &size),
                       RegQueryValueExA(key, "FrameRate", nullptr, &type, into, nullptr)}),
              (Results{ERROR_SUCCESS, REG_SZ, 8, ERROR_MORE_DATA, 8, ERROR_SUCCESS, 0x80000001, ERROR_FILE_NOT_FOUND,
                       ERROR_INVALID_PARAMETER}));
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(Set(key, "FrameRate", REG_DWORD, &number, 4), ERROR_ACCESS_DENIED) << "opened for reading only";
    RegCloseKey(key);
    std::string text = ReadFileText(PosixHivePath());
    for (const char* line : {"REGEDIT4\n", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MARBECK\\TARN2]\n",
                             "\"FrameRate\"=dword:80000001\n", "\"Language\"=\"Deutsch\"\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
}

TEST_F(Hive, HandWrittenHivesAreRead) {
    WriteFileText(PosixHivePath(),
                  "REGEDIT4\r\n\r\n; written by hand\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\MARBECK\\TARN2]\r\n"
                  "\"DebugLevel\"=dword:22\r\n\"Language\"=\"Fran\xE7"
                  "ais \\\"fr\\\"\"\r\n\"Blob\"=hex:01,02,\\\r\n  03\r\n");
    EXPECT_EQ(ReadRegDword("DebugLevel", 0), 0x22u);
    char text[80];
    EXPECT_EQ(ReadRegString("Language", "U.S. English", text, sizeof text), 14u);
    EXPECT_STREQ(text,
                 "Fran\xE7"
                 "ais \"fr\"");
    EXPECT_EQ(ReadRegDword("Blob", 7), 7u) << "binary, not a number";
}

TEST_F(Hive, ADamagedHiveIsReadAsEmptyAndKeptAside) {
    std::string hive = PosixHivePath();
    for (const char* bad : {"dword:zz", "hex:1,zz"}) {
        WriteFileText(hive, kSection + std::string("\"A\"=") + bad + "\n");
        EXPECT_EQ(ReadRegDword("A", 5), 5u);
        std::string problem = PosixLastProblem();
        EXPECT_NE(problem.find("damaged at line 3"), std::string::npos) << problem;
        EXPECT_NE(problem.find(bad[0] == 'd' ? "dword" : "hex"), std::string::npos) << problem;
        EXPECT_TRUE(WriteRegDword("B", 1));
        EXPECT_EQ(ReadRegDword("B", 0), 1u);
    }
    // Each damaged hive is kept, none overwritten by the next.
    EXPECT_NE(ReadFileText(hive + ".damaged.1").find("dword:zz"), std::string::npos);
    EXPECT_NE(ReadFileText(hive + ".damaged.2").find("hex:1,zz"), std::string::npos);
    for (const char* junk : {"", "not a hive", "REGEDIT4\n\"x\"=dword:1\n", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n",
                             "REGEDIT4\n[K]\n\"x\"=\"open\n", "REGEDIT4\n[K]\n\"x\"=hex:1,2,\\\n"}) {
        WriteFileText(hive, junk);
        EXPECT_EQ(ReadRegDword("B", 9), 9u) << junk;
    }
}

// A change by another process, even one writing a file of the same size at once, or by hand is seen.
TEST_F(Hive, AnotherProcessesWritesAreKeptAndSeen) {
    ASSERT_TRUE(WriteRegDword("A", 1));
    const int kWrites = 40;
    auto writeAll = [](const char* who) {
        for (int i = 0; i < kWrites; i++) WriteRegDword((who + std::to_string(i)).c_str(), static_cast<DWORD>(i));
    };
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        writeAll("Child");
        _exit(0);
    }
    writeAll("Parent");
    ASSERT_TRUE(Reaped(child));
    for (int i = 0; i < kWrites; i++)
        for (const char* who : {"Child", "Parent"})
            EXPECT_EQ(ReadRegDword((who + std::to_string(i)).c_str(), 999), static_cast<DWORD>(i)) << who << i;
    ASSERT_EQ(ReadRegDword("A", 0), 1u);
    for (DWORD value : {2u, 3u, 4u}) {
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(WriteRegDword("A", value) ? 0 : 1);
        ASSERT_TRUE(Reaped(child));
        EXPECT_EQ(ReadRegDword("A", 0), value);
    }
    WriteFileText(PosixHivePath(), kSection + std::string("\"A\"=dword:7\n"));
    EXPECT_EQ(ReadRegDword("A", 0), 7u);
}

TEST_F(Hive, AHiveThatIsALinkIsWrittenThroughIt) {
    std::string target = HomeFile("elsewhere.reg");
    ASSERT_EQ(symlink(target.c_str(), PosixHivePath()), 0);
    EXPECT_TRUE(WriteRegDword("A", 1) && WriteRegDword("A", 2));
    char link[4096] = "";
    EXPECT_GT(readlink(PosixHivePath(), link, sizeof link - 1), 0) << "no longer a link";
    EXPECT_EQ(std::string(link), target);
    EXPECT_NE(ReadFileText(target).find("\"A\"=dword:00000002"), std::string::npos);
    EXPECT_EQ(ReadRegDword("A", 0), 2u);
}

class Settings : public Hive {};

// A value of the other type, the wrong size or too long for the buffer reads as the default.
TEST_F(Settings, ReadersFallBackToTheirDefaults) {
    char text[80];
    EXPECT_EQ(ReadRegDword("FrameRate", 3), 3u);
    EXPECT_EQ(ReadRegString("Language", "U.S. English", text, sizeof text), 0u);
    EXPECT_STREQ(text, "U.S. English");
    EXPECT_EQ((Results{WriteRegDword("Language", 3), ReadRegDword("Language", 0)}), (Results{1, 3}));
    EXPECT_EQ(ReadRegString("Language", "U.S. English", text, sizeof text), 0u) << "a number is not a string";
    EXPECT_STREQ(text, "U.S. English");
    HKEY key = nullptr;
    ASSERT_EQ(Create(&key, KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    Set(key, "Language", REG_SZ, std::string(100, 'x').c_str(), 101);
    Set(key, "Wide", REG_BINARY, "12345678", 8);
    Set(key, "Short", REG_DWORD, "12", 2);
    RegCloseKey(key);
    EXPECT_EQ(ReadRegDword("Language", 4), 4u) << "a string is not a number";
    EXPECT_EQ(ReadRegString("Language", "U.S. English", text, sizeof text), 0u) << "too long: default, not cut";
    EXPECT_STREQ(text, "U.S. English");
    EXPECT_EQ((Results{ReadRegDword("Wide", 6), ReadRegDword("Short", 6)}), (Results{6, 6}));
    EXPECT_EQ(ReadRegString("Missing", "a default longer than the room", text, 5), 0u);
    EXPECT_STREQ(text, "a de") << "bounded by the buffer";
    EXPECT_EQ((Results{WriteRegDword("Brightness", 0xFFFFFFFF), static_cast<int32_t>(ReadRegDword("Brightness", 0)),
                       WriteRegDword("Brightness", 50), ReadRegDword("Brightness", 0)}),
              (Results{1, -1, 1, 50}));
}

TEST_F(Settings, AnUnwritableHomeMakesWritesFailQuietly) {
    PosixSetWindowsDirectory("/proc/no-such-home");
    EXPECT_FALSE(WriteRegDword("X", 1));
    EXPECT_EQ(ReadRegDword("X", 2), 2u);
}

}  // namespace
