#include "editor_main.h"

int main(int argc, char* argv[]) { return kestrin::RunEditor(argc, argv); }
