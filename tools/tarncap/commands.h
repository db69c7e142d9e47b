// tarncap's commands and their shared options.
#ifndef TARNCAP_COMMANDS_H
#define TARNCAP_COMMANDS_H

#include <string>
#include <vector>

struct Options {
    std::string driver = "mbktarn2u.drv";
    std::string openString;
    std::vector<std::string> arguments;  // what follows the command
};

int RunProbe(const Options& options);
int RunGrab(const Options& options);
int RunCtrl(const Options& options);
int RunStream(const Options& options);
int RunDialog(const Options& options);
int RunCheck(const Options& options);
int RunFormats(const Options& options);
int RunTry(const Options& options);

#endif
