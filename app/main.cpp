// The program entry: everything happens in the program block of the user interface.
#include "ui/main/ProgramStart.h"

int main(int argc, char** argv) {
    return RunProgram(argc, argv);
}
