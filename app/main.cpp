// The program entry: everything happens in the program block of the user interface.
#include "core/ProbePool.h"
#include "platform/TerminationSignals.h"
#include "ui/main/ProgramStart.h"

int main(int argc, char** argv) {
    HoldTerminationSignals();
    // Many hosts are probed at once, each with sockets of its own: the open-file limit goes up
    // from its soft to its hard value before anything is opened.
    RaiseOpenFileLimit();
    return RunProgram(argc, argv);
}
