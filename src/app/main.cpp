// Telvara's entry point: WinMain's steps live in the shell.
#include "app/startup.h"

int main(int argc, char** argv) {
    return telvara::app::telvara_main(argc, argv);
}
