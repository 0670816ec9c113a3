// Another KesV as JACK sees it, for the tests that need two programs on one server: opens the
// output device named by the first argument as the program does, plays the key of the second
// argument to it, prints "played" and keeps its client until SIGTERM. Exit status 1 when the
// device is not listed or does not open.
#include "midi/mididevicelist.h"
#include "midi/midioutport.h"
#include "midi/midisetup.h"
#include "settings/userfolders.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    PrepareMidiEnvironment();
    InitUserFolders();
    // Every thread started from here on leaves SIGTERM to sigwait below.
    sigset_t end;
    sigemptyset(&end);
    sigaddset(&end, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &end, nullptr);

    const std::string output = argv[1];
    const auto key = uint32_t(std::atoi(argv[2]));
    CMidiDeviceList list;
    int position = list.FindByName(output.c_str(), false);
    for (int i = 0; i < 100 && position < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        list.Refresh();
        position = list.FindByName(output.c_str(), false);
    }
    if (position < 0) {
        std::printf("not listed\n");
        return 1;
    }
    CMidiOutPort port;
    if (!port.Open(list.GetOutput(position).deviceId) || !port.ShortMsg(0x400090 | key << 8) ||
        !port.ShortMsg(0x000080 | key << 8)) {
        std::printf("not opened\n");
        return 1;
    }
    std::printf("played\n");
    std::fflush(stdout);
    int signal = 0;
    sigwait(&end, &signal);
    return 0;
}
