// kestrin-rom: the editor's data layer on the command line, for scripts.
#include <iostream>

#include "cli.h"

int main(int argc, char* argv[]) { return kestrin::rom_tool::RunKestrinRom(argc, argv, std::cout, std::cerr); }
