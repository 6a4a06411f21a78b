// main.cpp - process entry point of binscope.
#include "run.hpp"

int main(int argc, char** argv) { return binscope::run_main(argc, argv); }
