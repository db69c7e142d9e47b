// The registry hive: Win32 result codes and type rules, the REGEDIT4 text,
// sharing between processes, and damaged files.
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/registry.h"
#include "test_support.h"

namespace {

class Hive : public FreshHome {
protected:
    HKEY Create(const char* path = TARN2_REGISTRY_KEY, REGSAM access = KEY_READ | KEY_WRITE) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                                  &disposition),
                  ERROR_SUCCESS);
        return key;
    }
};

TEST_F(Hive, KeysMustExistToOpenAndComeWithTheirParents) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    HKEY created = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                              &created, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\marbeck\\tarn2", 0, nullptr, 0, KEY_READ, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\MARBECK", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(created), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(created), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(0x1234), "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
}

TEST_F(Hive, QueriesFollowTheWin32SizeRules) {
    HKEY key = Create();
    DWORD number = 0x80000001;
    ASSERT_EQ(RegSetValueExA(key, "FrameRate", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Language", 0, REG_SZ, reinterpret_cast<const BYTE*>("Deutsch"), 8), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "language", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 8u);
    char small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "Language", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    DWORD read = 0;
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "FRAMERATE", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
    EXPECT_EQ(read, 0x80000001u);
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "FrameRate", nullptr, &type, reinterpret_cast<BYTE*>(&read), nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(readOnly, "FrameRate", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4),
              ERROR_ACCESS_DENIED);
    RegCloseKey(readOnly);
    std::string text = ReadFileText(PosixHivePath());
    EXPECT_NE(text.find("REGEDIT4\n"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\MARBECK\\TARN2]\n"), std::string::npos);
    EXPECT_NE(text.find("\"FrameRate\"=dword:80000001\n"), std::string::npos);
    EXPECT_NE(text.find("\"Language\"=\"Deutsch\"\n"), std::string::npos);
}

TEST_F(Hive, HandWrittenHivesAreRead) {
    WriteFileText(PosixHivePath(),
                  "REGEDIT4\r\n\r\n; written by hand\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\MARBECK\\TARN2]\r\n"
                  "\"DebugLevel\"=dword:22\r\n\"Language\"=\"Fran\xE7"
                  "ais \\\"fr\\\"\"\r\n"
                  "\"Blob\"=hex:01,02,\\\r\n  03\r\n");
    EXPECT_EQ(ReadRegDword("DebugLevel", 0), 0x22u);
    char text[80];
    EXPECT_EQ(ReadRegString("Language", "U.S. English", text, sizeof text), 14u);
    EXPECT_STREQ(text,
                 "Fran\xE7"
                 "ais \"fr\"");
    EXPECT_EQ(ReadRegDword("Blob", 7), 7u);  // binary, not a number
}

TEST_F(Hive, ADamagedHiveIsReadAsEmptyAndKeptAside) {
    std::string hive = PosixHivePath();
    for (const char* bad : {"dword:zz", "hex:1,zz"}) {
        WriteFileText(hive,
                      std::string("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\MARBECK\\TARN2]\n\"A\"=") + bad + "\n");
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
        WriteFileText(PosixHivePath(), junk);
        EXPECT_EQ(ReadRegDword("B", 9), 9u) << junk;
    }
}

TEST_F(Hive, TwoProcessesWritingKeepEachOthersValues) {
    ASSERT_TRUE(WriteRegDword("Start", 1));
    const int kWrites = 40;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    char name[32];
    if (child == 0) {
        for (int i = 0; i < kWrites; i++) {
            snprintf(name, sizeof name, "Child%d", i);
            WriteRegDword(name, static_cast<DWORD>(i));
        }
        _exit(0);
    }
    for (int i = 0; i < kWrites; i++) {
        snprintf(name, sizeof name, "Parent%d", i);
        WriteRegDword(name, static_cast<DWORD>(i));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    for (int i = 0; i < kWrites; i++) {
        snprintf(name, sizeof name, "Child%d", i);
        EXPECT_EQ(ReadRegDword(name, 999), static_cast<DWORD>(i)) << name;
        snprintf(name, sizeof name, "Parent%d", i);
        EXPECT_EQ(ReadRegDword(name, 999), static_cast<DWORD>(i)) << name;
    }
}

// A hive that is a symbolic link (to a hive kept elsewhere) is written
// through the link: the link stays and its target has the values.
TEST_F(Hive, AHiveThatIsALinkIsWrittenThroughIt) {
    std::string target = HomeFile("elsewhere.reg");
    ASSERT_EQ(symlink(target.c_str(), PosixHivePath()), 0);
    EXPECT_TRUE(WriteRegDword("A", 1));
    EXPECT_TRUE(WriteRegDword("A", 2));
    char link[4096] = "";
    EXPECT_GT(readlink(PosixHivePath(), link, sizeof link - 1), 0) << "no longer a link";
    EXPECT_EQ(std::string(link), target);
    EXPECT_NE(ReadFileText(target).find("\"A\"=dword:00000002"), std::string::npos);
    EXPECT_EQ(ReadRegDword("A", 0), 2u);
}

// The hive is read again whenever the file changed: by another process
// (even one that writes a file of the same size at once) or by hand.
TEST_F(Hive, AChangeByAnotherProcessOrByHandIsSeen) {
    ASSERT_TRUE(WriteRegDword("A", 1));
    ASSERT_EQ(ReadRegDword("A", 0), 1u);
    for (DWORD value : {2u, 3u, 4u}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(WriteRegDword("A", value) ? 0 : 1);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(ReadRegDword("A", 0), value);
    }
    WriteFileText(PosixHivePath(), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\MARBECK\\TARN2]\n\"A\"=dword:7\n");
    EXPECT_EQ(ReadRegDword("A", 0), 7u);
}

class Settings : public Hive {};

TEST_F(Settings, ReadersFallBackToTheirDefaults) {
    char text[80];
    EXPECT_EQ(ReadRegDword("FrameRate", 3), 3u);
    EXPECT_EQ(ReadRegString("Language", "U.S. English", text, sizeof text), 0u);
    EXPECT_STREQ(text, "U.S. English");
    EXPECT_TRUE(WriteRegDword("Language", 3));
    EXPECT_EQ(ReadRegDword("Language", 0), 3u);
    EXPECT_EQ(ReadRegString("Language", "U.S. English", text, sizeof text), 0u);  // a number is not a string
    EXPECT_STREQ(text, "U.S. English");
    HKEY key = Create();
    std::string longText(100, 'x');
    RegSetValueExA(key, "Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(longText.c_str()), 101);
    RegSetValueExA(key, "Wide", 0, REG_BINARY, reinterpret_cast<const BYTE*>("12345678"), 8);
    RegSetValueExA(key, "Short", 0, REG_DWORD, reinterpret_cast<const BYTE*>("12"), 2);
    RegCloseKey(key);
    EXPECT_EQ(ReadRegDword("Language", 4), 4u);                                   // a string is not a number
    EXPECT_EQ(ReadRegString("Language", "U.S. English", text, sizeof text), 0u);  // too long: default, not cut
    EXPECT_STREQ(text, "U.S. English");
    EXPECT_EQ(ReadRegDword("Wide", 6), 6u);
    EXPECT_EQ(ReadRegDword("Short", 6), 6u);
    EXPECT_EQ(ReadRegString("Missing", "a default longer than the room", text, 5), 0u);
    EXPECT_STREQ(text, "a de");  // bounded by the buffer
}

TEST_F(Settings, NumbersRoundTripUnsigned) {
    EXPECT_TRUE(WriteRegDword("Brightness", 0xFFFFFFFF));
    EXPECT_EQ(static_cast<int32_t>(ReadRegDword("Brightness", 0)), -1);
    EXPECT_TRUE(WriteRegDword("Brightness", 50));
    EXPECT_EQ(ReadRegDword("Brightness", 0), 50u);
}

TEST_F(Settings, AnUnwritableHomeMakesWritesFailQuietly) {
    PosixSetWindowsDirectory("/proc/no-such-home");
    EXPECT_FALSE(WriteRegDword("X", 1));
    EXPECT_EQ(ReadRegDword("X", 2), 2u);
}

}  // namespace
