// tarncap probe: the driver's life as a host sees it, from load to free.
#include <stdio.h>

#include "commands.h"
#include "host.h"

int RunProbe(const Options& options) {
    Host host;
    if (!LoadDriver(host, options.driver.c_str())) {
        fprintf(stderr, "tarncap: %s\n", host.error.c_str());
        return 1;
    }
    printf("driver    %s loaded\n", options.driver.c_str());
    printf("DRV_LOAD    -> %ld\n", static_cast<long>(Send(host, 0, DRV_LOAD, 0, 0)));
    printf("DRV_ENABLE  -> %ld\n", static_cast<long>(Send(host, 0, DRV_ENABLE, 0, 0)));
    int failures = 0;
    DWORD_PTR handles[2] = {0, 0};
    const DWORD types[2] = {VIDEO_IN, VIDEO_EXTERNALIN};
    for (int i = 0; i < 2; i++) {
        DWORD error = 0;
        handles[i] = OpenChannel(host, types[i], options.openString.c_str(), &error);
        if (handles[i])
            printf("DRV_OPEN    %-17s -> channel 0x%08lx\n", ChannelName(types[i]),
                   static_cast<unsigned long>(handles[i]));
        else {
            printf("DRV_OPEN    %-17s -> refused, %s\n", ChannelName(types[i]), OpenRefusal(types[i], error).c_str());
            failures++;
        }
    }
    for (int i = 1; i >= 0; i--) {
        if (!handles[i]) continue;
        LRESULT closed = Send(host, handles[i], DRV_CLOSE, 0, 0);
        printf("DRV_CLOSE   %-17s -> %ld\n", ChannelName(types[i]), static_cast<long>(closed));
        if (closed != 1) failures++;
    }
    printf("DRV_DISABLE -> %ld\n", static_cast<long>(Send(host, 0, DRV_DISABLE, 0, 0)));
    printf("DRV_FREE    -> %ld\n", static_cast<long>(Send(host, 0, DRV_FREE, 0, 0)));
    UnloadDriver(host);
    printf("%s\n", failures ? "probe: the camera could not be opened" : "probe: ok");
    return failures ? 1 : 0;
}
