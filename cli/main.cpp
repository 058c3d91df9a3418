#include "cli/Commands.h"

int main(int argc, char** argv) { return vellum::cli::runVellum(argc, argv); }
